#pragma once
// The digests and ciphers a PDF's standard security handler needs. The
// service uses the platform's (CNG); a build for another platform links its own
// implementation of CreatePdfCrypto.

#include <memory>
#include <string>
#include <string_view>

namespace qv::service::pdf {

class Crypto {
 public:
  enum class Hash { Md5, Sha256, Sha384, Sha512 };
  virtual ~Crypto() = default;
  // Empty on failure.
  virtual std::string Digest(Hash hash, std::string_view data) = 0;
  virtual std::string Rc4(std::string_view key, std::string_view data) = 0;
  // AES in CBC mode without padding (whole blocks); false on failure.
  virtual bool Aes(bool encrypt, std::string_view key, std::string_view iv, std::string_view data, std::string* out) = 0;
};

std::unique_ptr<Crypto> CreatePdfCrypto();

// RC4 itself, for a platform that has no RC4 of its own (Wine's CNG).
std::string Rc4Cipher(std::string_view key, std::string_view data);

}  // namespace qv::service::pdf
