// The security handler's digests and ciphers from the platform (CNG).
#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "service/extract/PdfCrypto.h"

namespace qv::service::pdf {
namespace {

class Provider {
 public:
  Provider() = default;
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;
  ~Provider() {
    if (handle_) BCryptCloseAlgorithmProvider(handle_, 0);
  }
  BCRYPT_ALG_HANDLE Get(const wchar_t* algorithm, const wchar_t* mode = nullptr) {
    if (!handle_ && !failed_) {
      failed_ = !BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle_, algorithm, nullptr, 0));
      if (!failed_ && mode) {
        failed_ = !BCRYPT_SUCCESS(BCryptSetProperty(handle_, BCRYPT_CHAINING_MODE,
                                                    reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(mode)),
                                                    static_cast<ULONG>((wcslen(mode) + 1) * sizeof(wchar_t)), 0));
      }
    }
    return failed_ ? nullptr : handle_;
  }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
  bool failed_ = false;
};

class KeyHandle {
 public:
  ~KeyHandle() {
    if (handle) BCryptDestroyKey(handle);
  }
  BCRYPT_KEY_HANDLE handle = nullptr;
};

PUCHAR Bytes(std::string_view data) { return reinterpret_cast<PUCHAR>(const_cast<char*>(data.data())); }

class CngCrypto final : public Crypto {
 public:
  std::string Digest(Hash hash, std::string_view data) override {
    Provider* provider = &md5_;
    const wchar_t* name = BCRYPT_MD5_ALGORITHM;
    ULONG length = 16;
    if (hash == Hash::Sha256) provider = &sha256_, name = BCRYPT_SHA256_ALGORITHM, length = 32;
    if (hash == Hash::Sha384) provider = &sha384_, name = BCRYPT_SHA384_ALGORITHM, length = 48;
    if (hash == Hash::Sha512) provider = &sha512_, name = BCRYPT_SHA512_ALGORITHM, length = 64;
    BCRYPT_ALG_HANDLE algorithm = provider->Get(name);
    if (!algorithm) return {};
    BCRYPT_HASH_HANDLE handle = nullptr;
    if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &handle, nullptr, 0, nullptr, 0, 0))) return {};
    std::string digest(length, '\0');
    bool ok = BCRYPT_SUCCESS(BCryptHashData(handle, Bytes(data), static_cast<ULONG>(data.size()), 0)) &&
              BCRYPT_SUCCESS(BCryptFinishHash(handle, Bytes(digest), length, 0));
    BCryptDestroyHash(handle);
    return ok ? digest : std::string();
  }

  std::string Rc4(std::string_view key, std::string_view data) override {
    BCRYPT_ALG_HANDLE algorithm = rc4_.Get(BCRYPT_RC4_ALGORITHM);
    if (!algorithm) return Rc4Cipher(key, data);
    KeyHandle k;
    if (key.empty() ||
        !BCRYPT_SUCCESS(BCryptGenerateSymmetricKey(algorithm, &k.handle, nullptr, 0, Bytes(key),
                                                   static_cast<ULONG>(key.size()), 0))) {
      return {};
    }
    std::string out(data.size(), '\0');
    ULONG written = 0;
    if (!data.empty() && !BCRYPT_SUCCESS(BCryptEncrypt(k.handle, Bytes(data), static_cast<ULONG>(data.size()), nullptr,
                                                        nullptr, 0, Bytes(out), static_cast<ULONG>(out.size()),
                                                        &written, 0))) {
      return {};
    }
    out.resize(written);
    return out;
  }

  bool Aes(bool encrypt, std::string_view key, std::string_view iv, std::string_view data, std::string* out) override {
    BCRYPT_ALG_HANDLE algorithm = aes_.Get(BCRYPT_AES_ALGORITHM, BCRYPT_CHAIN_MODE_CBC);
    KeyHandle k;
    if (!algorithm || iv.size() != 16 || data.size() % 16 != 0 ||
        !BCRYPT_SUCCESS(BCryptGenerateSymmetricKey(algorithm, &k.handle, nullptr, 0, Bytes(key),
                                                   static_cast<ULONG>(key.size()), 0))) {
      return false;
    }
    std::string vector(iv);
    out->assign(data.size(), '\0');
    if (data.empty()) return true;
    ULONG written = 0;
    auto call = encrypt ? BCryptEncrypt : BCryptDecrypt;
    if (!BCRYPT_SUCCESS(call(k.handle, Bytes(data), static_cast<ULONG>(data.size()), nullptr, Bytes(vector), 16,
                             Bytes(*out), static_cast<ULONG>(out->size()), &written, 0))) {
      return false;
    }
    out->resize(written);
    return true;
  }

 private:
  Provider md5_, sha256_, sha384_, sha512_, rc4_, aes_;
};

}  // namespace

std::unique_ptr<Crypto> CreatePdfCrypto() { return std::make_unique<CngCrypto>(); }

}  // namespace qv::service::pdf
