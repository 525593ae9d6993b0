#include "service/extract/EmailText.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "service/extract/CodePage.h"
#include "service/extract/MarkupText.h"

namespace qv::service {
namespace {

// Messages inside messages inside messages: past this, the rest is left out.
constexpr int kMaxPartDepth = 8;
constexpr std::size_t kMaxParts = 200;
constexpr unsigned kUtf8CodePage = 65001;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(const std::string& text) {
  std::size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return {};
  std::size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

unsigned CodePageOf(const std::string& charset) {
  std::string name = Lower(Trim(charset));
  if (name.empty() || name == "us-ascii" || name == "utf-8" || name == "utf8") return kUtf8CodePage;
  if (name == "iso-8859-1" || name == "latin1" || name == "windows-1252" || name == "cp1252") return 1252;
  if (name == "iso-8859-15") return 28605;
  if (name == "iso-8859-2") return 28592;
  if (name == "windows-1250") return 1250;
  if (name == "windows-1251") return 1251;
  if (name == "koi8-r") return 20866;
  if (name == "shift_jis") return 932;
  if (name == "iso-2022-jp") return 50220;
  if (name == "euc-kr") return 51949;
  if (name == "gb2312" || name == "gbk") return 936;
  if (name == "big5") return 950;
  return kUtf8CodePage;
}

std::string ToUtf8From(const std::string& bytes, unsigned codePage) {
  std::string utf8;
  if (codePage == kUtf8CodePage || !CodePageToUtf8(codePage, bytes, &utf8)) {
    utf8 = bytes;
    MakeValidUtf8(utf8);
  }
  return utf8;
}

// The value of a parameter ("charset", "boundary") of a header value.
std::string Parameter(const std::string& value, const std::string& name) {
  std::string lowered = Lower(value);
  for (std::size_t at = lowered.find(name); at != std::string::npos; at = lowered.find(name, at + 1)) {
    if (at > 0 && lowered[at - 1] != ';' && !std::isspace(static_cast<unsigned char>(lowered[at - 1]))) continue;
    std::size_t i = at + name.size();
    while (i < value.size() && std::isspace(static_cast<unsigned char>(value[i]))) ++i;
    if (i >= value.size() || value[i] != '=') continue;
    ++i;
    while (i < value.size() && std::isspace(static_cast<unsigned char>(value[i]))) ++i;
    if (i < value.size() && value[i] == '"') {
      std::size_t close = value.find('"', i + 1);
      return value.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
    }
    std::size_t end = value.find_first_of("; \t\r\n", i);
    return value.substr(i, end == std::string::npos ? std::string::npos : end - i);
  }
  return {};
}

struct Part {
  std::vector<std::pair<std::string, std::string>> headers;  // lower-case name, unfolded value
  std::string body;

  std::string Header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
      if (key == name) return value;
    }
    return {};
  }
};

Part ParsePart(const std::string& data) {
  Part part;
  std::size_t at = 0;
  while (at < data.size()) {
    std::size_t end = data.find('\n', at);
    if (end == std::string::npos) end = data.size();
    std::string line = data.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    at = end + 1;
    if (line.empty()) break;
    if ((line[0] == ' ' || line[0] == '\t') && !part.headers.empty()) {
      part.headers.back().second += " " + Trim(line);
      continue;
    }
    std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    part.headers.emplace_back(Lower(Trim(line.substr(0, colon))), Trim(line.substr(colon + 1)));
  }
  part.body = at < data.size() ? data.substr(at) : std::string();
  return part;
}

class MessageReader {
 public:
  explicit MessageReader(std::size_t limit) : limit_(limit) {}

  EmailContent Read(const std::string& message) {
    Part top = ParsePart(message);
    content_.subject = DecodeHeaderWords(top.Header("subject"));
    for (const char* name : {"subject", "from", "to", "cc"}) {
      std::string value = DecodeHeaderWords(top.Header(name));
      if (!value.empty()) Append(value);
    }
    ReadBody(top, 0);
    if (content_.text.size() > limit_) {
      content_.text.resize(limit_);
      content_.cutOff = true;
    }
    return content_;
  }

 private:
  void Append(const std::string& text) {
    if (content_.text.size() >= limit_) {
      content_.cutOff = true;
      return;
    }
    if (!content_.text.empty()) content_.text.push_back(' ');
    content_.text += text;
  }

  void ReadBody(const Part& part, int depth) {
    if (++parts_ > kMaxParts || depth > kMaxPartDepth) {
      content_.cutOff = true;
      return;
    }
    std::string type = Lower(part.Header("content-type"));
    if (type.empty()) type = "text/plain";
    std::string disposition = Lower(part.Header("content-disposition"));
    if (depth > 0 && disposition.rfind("attachment", 0) == 0) return;
    if (type.rfind("multipart/", 0) == 0) {
      std::string boundary = Parameter(part.Header("content-type"), "boundary");
      if (boundary.empty()) return;
      std::string marker = "--" + boundary;
      std::size_t at = part.body.find(marker);
      while (at != std::string::npos) {
        std::size_t start = part.body.find('\n', at);
        if (start == std::string::npos || part.body.compare(at + marker.size(), 2, "--") == 0) break;
        std::size_t next = part.body.find(marker, start);
        std::string data = part.body.substr(start + 1, next == std::string::npos ? std::string::npos : next - start - 1);
        ReadBody(ParsePart(data), depth + 1);
        at = next;
      }
      return;
    }
    if (type.rfind("message/rfc822", 0) == 0) {
      Part inner = ParsePart(part.body);
      for (const char* name : {"subject", "from", "to"}) Append(DecodeHeaderWords(inner.Header(name)));
      ReadBody(inner, depth + 1);
      return;
    }
    bool html = type.rfind("text/html", 0) == 0;
    if (!html && type.rfind("text/plain", 0) != 0) return;
    std::string encoding = Lower(Trim(part.Header("content-transfer-encoding")));
    std::string bytes = encoding == "base64"             ? DecodeBase64(part.body)
                        : encoding == "quoted-printable" ? DecodeQuotedPrintable(part.body)
                                                         : part.body;
    std::string text = ToUtf8From(bytes, CodePageOf(Parameter(part.Header("content-type"), "charset")));
    Append(html ? HtmlText(text, limit_).text : text);
  }

  std::size_t limit_;
  std::size_t parts_ = 0;
  EmailContent content_;
};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string DecodeQuotedPrintable(const std::string& text, bool header) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (header && c == '_') {
      out.push_back(' ');
    } else if (c == '=' && i + 2 < text.size() + 0 && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
      i += 2;
    } else if (c == '=' && i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n')) {
      // A soft line break.
      i += text[i + 1] == '\r' && i + 2 < text.size() && text[i + 2] == '\n' ? 2 : 1;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string DecodeBase64(const std::string& text) {
  std::string out;
  out.reserve(text.size() * 3 / 4);
  unsigned int buffer = 0;
  int bits = 0;
  for (char c : text) {
    int value = c >= 'A' && c <= 'Z'   ? c - 'A'
                : c >= 'a' && c <= 'z' ? c - 'a' + 26
                : c >= '0' && c <= '9' ? c - '0' + 52
                : c == '+'             ? 62
                : c == '/'             ? 63
                                       : -1;
    if (c == '=') break;
    if (value < 0) continue;
    buffer = (buffer << 6) | static_cast<unsigned int>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<char>((buffer >> bits) & 0xFF));
    }
  }
  return out;
}

std::string DecodeHeaderWords(const std::string& value) {
  std::string out;
  std::size_t at = 0;
  bool lastWasEncoded = false;
  while (at < value.size()) {
    std::size_t start = value.find("=?", at);
    if (start == std::string::npos) {
      out += value.substr(at);
      break;
    }
    std::size_t q1 = value.find('?', start + 2);
    std::size_t q2 = q1 == std::string::npos ? q1 : value.find('?', q1 + 1);
    std::size_t end = q2 == std::string::npos ? q2 : value.find("?=", q2 + 1);
    if (end == std::string::npos || q2 != q1 + 2) {
      out += value.substr(at);
      break;
    }
    std::string between = value.substr(at, start - at);
    // Blanks between two encoded words are not part of the text.
    if (!(lastWasEncoded && Trim(between).empty())) out += between;
    std::string charset = value.substr(start + 2, q1 - start - 2);
    char encoding = static_cast<char>(std::toupper(static_cast<unsigned char>(value[q1 + 1])));
    std::string data = value.substr(q2 + 1, end - q2 - 1);
    std::string bytes = encoding == 'B' ? DecodeBase64(data) : DecodeQuotedPrintable(data, true);
    out += ToUtf8From(bytes, CodePageOf(charset.substr(0, charset.find('*'))));
    lastWasEncoded = true;
    at = end + 2;
  }
  return out;
}

EmailContent EmailText(const std::string& message, std::size_t limit) { return MessageReader(limit).Read(message); }

}  // namespace qv::service
