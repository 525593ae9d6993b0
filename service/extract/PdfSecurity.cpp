#include "service/extract/PdfSecurity.h"

#include <algorithm>

namespace qv::service::pdf {
namespace {

const unsigned char kPadding[32] = {0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E,
                                    0x56, 0xFF, 0xFA, 0x01, 0x08, 0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68,
                                    0x3E, 0x80, 0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A};

std::string_view Padding() { return {reinterpret_cast<const char*>(kPadding), sizeof kPadding}; }

std::string Little32(std::uint32_t value) {
  std::string out;
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  return out;
}

}  // namespace

Security::Method Security::MethodOf(const Object& encrypt, const Object& filterName, int version) const {
  if (version < 4) return Method::Rc4;
  std::string name = filterName.Is(Object::Type::Name) ? filterName.text : "Identity";
  if (name == "Identity") return Method::None;
  const Object& filter = encrypt.Get("CF").Get(name);
  const Object& cfm = filter.Get("CFM");
  if (cfm.IsName("V2")) return Method::Rc4;
  if (cfm.IsName("AESV2")) return Method::Aes128;
  if (cfm.IsName("AESV3")) return Method::Aes256;
  return Method::None;
}

Security::Status Security::Open(const Object& encrypt, std::string_view id, Crypto& crypto) {
  crypto_ = &crypto;
  if (!encrypt.Get("Filter").IsName("Standard")) return Status::Unsupported;
  int version = encrypt.Get("V").Int(0);
  int revision = encrypt.Get("R").Int(0);
  const Object& metadata = encrypt.Get("EncryptMetadata");
  encryptMetadata_ = !(metadata.Is(Object::Type::Boolean) && metadata.number == 0);
  if (version < 1 || version > 5 || revision < 2 || revision > 6) return Status::Unsupported;
  strings_ = MethodOf(encrypt, encrypt.Get("StrF"), version);
  streams_ = MethodOf(encrypt, encrypt.Get("StmF"), version);
  bool open = false;
  if (revision <= 4) {
    int length = version == 1 ? 40 : encrypt.Get("Length").Int(40);
    if (length < 40 || length > 128 || length % 8 != 0) length = version >= 4 ? 128 : 40;
    open = OpenRevision4(encrypt, id, revision, length);
  } else {
    open = OpenRevision6(encrypt, revision);
  }
  return open ? Status::Open : Status::NeedsPassword;
}

bool Security::OpenRevision4(const Object& encrypt, std::string_view id, int revision, int length) {
  const std::string& owner = encrypt.Get("O").text;
  const std::string& user = encrypt.Get("U").text;
  if (owner.size() < 32 || user.size() < 32) return false;
  std::uint32_t permissions = static_cast<std::uint32_t>(static_cast<std::int64_t>(encrypt.Get("P").number));
  std::string input(Padding());
  input += owner.substr(0, 32);
  input += Little32(permissions);
  input += id;
  if (revision >= 4 && !encryptMetadata_) input += "\xFF\xFF\xFF\xFF";
  std::size_t keyLength = revision == 2 ? 5 : static_cast<std::size_t>(length / 8);
  std::string key = crypto_->Digest(Crypto::Hash::Md5, input);
  if (key.size() != 16) return false;
  if (revision >= 3) {
    for (int i = 0; i < 50; ++i) key = crypto_->Digest(Crypto::Hash::Md5, key.substr(0, keyLength));
  }
  key.resize(keyLength);
  if (revision == 2) {
    if (crypto_->Rc4(key, Padding()) != user.substr(0, 32)) return false;
  } else {
    std::string check = crypto_->Digest(Crypto::Hash::Md5, std::string(Padding()) + std::string(id));
    for (int i = 0; i < 20 && !check.empty(); ++i) {
      std::string round = key;
      for (char& c : round) c = static_cast<char>(c ^ i);
      check = crypto_->Rc4(round, check);
    }
    if (check.size() != 16 || check != user.substr(0, 16)) return false;
  }
  key_ = std::move(key);
  return true;
}

// The hash of revision 6 (revision 5 is one plain SHA-256).
std::string Security::Hardened(std::string_view password, std::string_view salt, std::string_view userKey) const {
  std::string k = crypto_->Digest(Crypto::Hash::Sha256, std::string(password) + std::string(salt) + std::string(userKey));
  for (int round = 0; k.size() >= 32; ++round) {
    std::string block = std::string(password) + k + std::string(userKey);
    std::string k1;
    for (int i = 0; i < 64; ++i) k1 += block;
    std::string e;
    if (!crypto_->Aes(true, std::string_view(k).substr(0, 16), std::string_view(k).substr(16, 16), k1, &e) || e.size() < 16) {
      return {};
    }
    unsigned sum = 0;
    for (int i = 0; i < 16; ++i) sum += static_cast<unsigned char>(e[static_cast<std::size_t>(i)]);
    Crypto::Hash next = sum % 3 == 0 ? Crypto::Hash::Sha256 : sum % 3 == 1 ? Crypto::Hash::Sha384 : Crypto::Hash::Sha512;
    k = crypto_->Digest(next, e);
    if (round >= 63 && static_cast<unsigned char>(e.back()) <= static_cast<unsigned>(round - 32)) break;
    if (round > 1000) return {};
  }
  return k.size() >= 32 ? k.substr(0, 32) : std::string();
}

bool Security::OpenRevision6(const Object& encrypt, int revision) {
  const std::string& user = encrypt.Get("U").text;
  const std::string& userKey = encrypt.Get("UE").text;
  if (user.size() < 48 || userKey.size() < 32) return false;
  std::string_view validationSalt = std::string_view(user).substr(32, 8);
  std::string_view keySalt = std::string_view(user).substr(40, 8);
  auto hash = [&](std::string_view salt) {
    return revision == 5 ? crypto_->Digest(Crypto::Hash::Sha256, salt) : Hardened({}, salt, {});
  };
  std::string check = hash(validationSalt);
  if (check.size() != 32 || check != user.substr(0, 32)) return false;
  std::string intermediate = hash(keySalt);
  if (intermediate.size() != 32) return false;
  std::string key;
  if (!crypto_->Aes(false, intermediate, std::string(16, '\0'), std::string_view(userKey).substr(0, 32), &key) ||
      key.size() != 32) {
    return false;
  }
  key_ = std::move(key);
  return true;
}

bool Security::Decrypt(Method method, std::uint32_t number, std::uint32_t generation, std::string* data) const {
  if (method == Method::None) return true;
  std::string key = key_;
  if (method != Method::Aes256) {
    std::string input = key_;
    for (int i = 0; i < 3; ++i) input.push_back(static_cast<char>((number >> (8 * i)) & 0xFF));
    for (int i = 0; i < 2; ++i) input.push_back(static_cast<char>((generation >> (8 * i)) & 0xFF));
    if (method == Method::Aes128) input += "sAlT";
    key = crypto_->Digest(Crypto::Hash::Md5, input);
    key.resize(std::min<std::size_t>(key_.size() + 5, 16));
  }
  if (method == Method::Rc4) {
    if (data->empty()) return true;
    std::string plain = crypto_->Rc4(key, *data);
    if (plain.size() != data->size()) return false;
    *data = std::move(plain);
    return true;
  }
  if (data->size() < 32 || data->size() % 16 != 0) {
    data->clear();
    return data->empty();
  }
  std::string plain;
  if (!crypto_->Aes(false, key, std::string_view(*data).substr(0, 16), std::string_view(*data).substr(16), &plain)) {
    return false;
  }
  unsigned pad = plain.empty() ? 0 : static_cast<unsigned char>(plain.back());
  if (pad >= 1 && pad <= 16 && pad <= plain.size()) plain.resize(plain.size() - pad);
  *data = std::move(plain);
  return true;
}

}  // namespace qv::service::pdf
