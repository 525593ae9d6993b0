// The PDF security handler's digests and ciphers for the native fuzzing build,
// from OpenSSL's libcrypto (the product uses the platform's CNG).
#include <openssl/evp.h>

#include "service/extract/PdfCrypto.h"

namespace qv::service::pdf {
namespace {

const unsigned char* Bytes(std::string_view data) { return reinterpret_cast<const unsigned char*>(data.data()); }

class NativeCrypto final : public Crypto {
 public:
  std::string Digest(Hash hash, std::string_view data) override {
    const EVP_MD* md = hash == Hash::Md5      ? EVP_md5()
                       : hash == Hash::Sha256 ? EVP_sha256()
                       : hash == Hash::Sha384 ? EVP_sha384()
                                              : EVP_sha512();
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    if (!EVP_Digest(data.data(), data.size(), out, &length, md, nullptr)) return {};
    return std::string(reinterpret_cast<char*>(out), length);
  }

  std::string Rc4(std::string_view key, std::string_view data) override { return Rc4Cipher(key, data); }

  bool Aes(bool encrypt, std::string_view key, std::string_view iv, std::string_view data, std::string* out) override {
    const EVP_CIPHER* cipher = key.size() == 16 ? EVP_aes_128_cbc() : key.size() == 32 ? EVP_aes_256_cbc() : nullptr;
    if (!cipher || iv.size() != 16 || data.size() % 16 != 0) return false;
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    if (!context) return false;
    out->assign(data.size() + 16, '\0');
    int written = 0, final = 0;
    auto* target = reinterpret_cast<unsigned char*>(out->data());
    bool ok = EVP_CipherInit_ex(context, cipher, nullptr, Bytes(key), Bytes(iv), encrypt ? 1 : 0) &&
              EVP_CIPHER_CTX_set_padding(context, 0) &&
              EVP_CipherUpdate(context, target, &written, Bytes(data), static_cast<int>(data.size())) &&
              EVP_CipherFinal_ex(context, target + written, &final);
    EVP_CIPHER_CTX_free(context);
    out->resize(ok ? static_cast<std::size_t>(written + final) : 0);
    return ok;
  }
};

}  // namespace

std::unique_ptr<Crypto> CreatePdfCrypto() { return std::make_unique<NativeCrypto>(); }

}  // namespace qv::service::pdf
