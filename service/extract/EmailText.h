#pragma once
// The words of an e-mail message (.eml, RFC 5322 with MIME): subject, sender
// and recipients (encoded words decoded), and its text parts, quoted-printable
// and base64 decoded from their character sets. HTML parts are read as HTML;
// attachments are left out.

#include <cstddef>
#include <string>

namespace qv::service {

struct EmailContent {
  std::string text;     // UTF-8: the headers' words, then the text parts
  std::string subject;  // UTF-8
  bool cutOff = false;
};

EmailContent EmailText(const std::string& message, std::size_t limit);

// Quoted-printable and base64 bodies, and RFC 2047 encoded words in headers.
std::string DecodeQuotedPrintable(const std::string& text, bool header = false);
std::string DecodeBase64(const std::string& text);
std::string DecodeHeaderWords(const std::string& value);

}  // namespace qv::service
