#pragma once
// The standard security handler of PDF files, for documents whose user
// password is empty (those that only restrict printing or copying): revisions
// 2 to 4 (RC4, AES-128) and 5 to 6 (AES-256). A document that needs a password
// cannot be read.

#include <cstdint>
#include <string>
#include <string_view>

#include "service/extract/PdfCrypto.h"
#include "service/extract/PdfObject.h"

namespace qv::service::pdf {

class Security {
 public:
  enum class Status { Open, NeedsPassword, Unsupported };

  // `encrypt` is the trailer's /Encrypt dictionary (resolved), `id` the first
  // string of the trailer's /ID.
  Status Open(const Object& encrypt, std::string_view id, Crypto& crypto);

  // Decrypted in place; false when the data is malformed.
  bool DecryptString(std::uint32_t number, std::uint32_t generation, std::string* data) const {
    return Decrypt(strings_, number, generation, data);
  }
  bool DecryptStream(std::uint32_t number, std::uint32_t generation, std::string* data) const {
    return Decrypt(streams_, number, generation, data);
  }
  bool EncryptsMetadata() const { return encryptMetadata_; }

 private:
  enum class Method { None, Rc4, Aes128, Aes256 };
  Method MethodOf(const Object& encrypt, const Object& filterName, int version) const;
  bool Decrypt(Method method, std::uint32_t number, std::uint32_t generation, std::string* data) const;
  bool OpenRevision4(const Object& encrypt, std::string_view id, int revision, int length);
  bool OpenRevision6(const Object& encrypt, int revision);
  std::string Hardened(std::string_view password, std::string_view salt, std::string_view userKey) const;

  Crypto* crypto_ = nullptr;
  std::string key_;
  Method strings_ = Method::None;
  Method streams_ = Method::None;
  bool encryptMetadata_ = true;
};

}  // namespace qv::service::pdf
