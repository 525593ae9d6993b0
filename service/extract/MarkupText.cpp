#include "service/extract/MarkupText.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace qv::service {
namespace {

// Past this depth a document is not one a person wrote: the rest is left out.
constexpr int kMaxNesting = 512;

struct NamedEntity {
  const char* name;
  unsigned long codePoint;
};

const NamedEntity kEntities[] = {
    {"amp", '&'},     {"lt", '<'},       {"gt", '>'},      {"quot", '"'},    {"apos", '\''},   {"nbsp", 0xA0},
    {"copy", 0xA9},   {"reg", 0xAE},     {"trade", 0x2122}, {"hellip", 0x2026}, {"mdash", 0x2014}, {"ndash", 0x2013},
    {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"laquo", 0xAB},  {"raquo", 0xBB},
    {"euro", 0x20AC}, {"pound", 0xA3},   {"yen", 0xA5},    {"cent", 0xA2},   {"sect", 0xA7},   {"deg", 0xB0},
    {"middot", 0xB7}, {"bull", 0x2022},  {"times", 0xD7},  {"divide", 0xF7}, {"szlig", 0xDF},  {"auml", 0xE4},
    {"ouml", 0xF6},   {"uuml", 0xFC},    {"Auml", 0xC4},   {"Ouml", 0xD6},   {"Uuml", 0xDC},   {"eacute", 0xE9},
    {"egrave", 0xE8}, {"ecirc", 0xEA},   {"aacute", 0xE1}, {"agrave", 0xE0}, {"acirc", 0xE2},  {"ccedil", 0xE7},
    {"iacute", 0xED}, {"oacute", 0xF3},  {"uacute", 0xFA}, {"ntilde", 0xF1}, {"Eacute", 0xC9}, {"aring", 0xE5},
    {"oslash", 0xF8}, {"aelig", 0xE6},   {"shy", 0xAD},    {"iexcl", 0xA1},  {"iquest", 0xBF},
};

// Entities are short: the ';' is looked for only this far.
constexpr std::size_t kMaxEntityLength = 12;

// Decodes the entity starting at text[at] ('&'); returns the characters used, 0
// when it is not an entity.
std::size_t DecodeEntity(const std::string& text, std::size_t at, std::string& out) {
  std::size_t end = std::min(text.size(), at + kMaxEntityLength + 1);
  std::size_t semicolon = at + 1;
  while (semicolon < end && text[semicolon] != ';') ++semicolon;
  if (semicolon >= end || semicolon == at + 1) return 0;
  std::string name = text.substr(at + 1, semicolon - at - 1);
  unsigned long codePoint = 0;
  if (name[0] == '#') {
    char* stop = nullptr;
    bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
    const char* digits = name.c_str() + (hex ? 2 : 1);
    if (!std::isxdigit(static_cast<unsigned char>(*digits))) return 0;
    codePoint = std::strtoul(digits, &stop, hex ? 16 : 10);
    if (*stop != '\0' || codePoint == 0 || codePoint > 0x10FFFF) return 0;
  } else {
    auto known = std::find_if(std::begin(kEntities), std::end(kEntities),
                              [&](const NamedEntity& e) { return name == e.name; });
    if (known == std::end(kEntities)) return 0;
    codePoint = known->codePoint;
  }
  AppendUtf8(out, codePoint == 0xA0 ? ' ' : codePoint);
  return semicolon - at + 1;
}

// Where the end tag "</name" (any case) starts at or after `from`; npos when
// there is none.
std::size_t FindEndTag(const std::string& text, std::size_t from, const std::string& name) {
  for (std::size_t at = text.find("</", from); at != std::string::npos; at = text.find("</", at + 2)) {
    if (text.size() - at - 2 < name.size()) return std::string::npos;
    bool same = true;
    for (std::size_t k = 0; k < name.size() && same; ++k) {
      same = std::tolower(static_cast<unsigned char>(text[at + 2 + k])) == name[k];
    }
    if (same) return at;
  }
  return std::string::npos;
}

std::string LowerAscii(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

struct Tag {
  std::string name;  // qualified name, as written
  bool closing = false;
  bool selfClosing = false;
  bool special = false;  // comment, processing instruction, declaration, CDATA
  std::size_t end = 0;   // just past '>'
};

// Reads the tag at text[at] ('<'); false when it never ends.
bool ReadTag(const std::string& text, std::size_t at, Tag& tag) {
  tag = Tag{};
  if (text.compare(at, 4, "<!--") == 0) {
    std::size_t close = text.find("-->", at + 4);
    if (close == std::string::npos) return false;
    tag.special = true;
    tag.end = close + 3;
    return true;
  }
  if (text.compare(at, 9, "<![CDATA[") == 0) {
    tag.special = true;
    tag.name = "![CDATA[";
    std::size_t close = text.find("]]>", at + 9);
    if (close == std::string::npos) return false;
    tag.end = close + 3;
    return true;
  }
  std::size_t i = at + 1;
  if (i < text.size() && (text[i] == '?' || text[i] == '!')) tag.special = true;
  if (i < text.size() && text[i] == '/') {
    tag.closing = true;
    ++i;
  }
  std::size_t nameStart = i;
  while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])) && text[i] != '>' && text[i] != '/') ++i;
  tag.name = text.substr(nameStart, i - nameStart);
  // Attribute values may hold '>'.
  char quote = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      tag.selfClosing = i > at && text[i - 1] == '/';
      tag.end = i + 1;
      return true;
    }
  }
  return false;
}

std::string LocalName(const std::string& name) {
  std::size_t colon = name.find(':');
  return colon == std::string::npos ? name : name.substr(colon + 1);
}

// Elements that end a word in office documents: paragraphs, headings, cells,
// shared strings, tabs, breaks and (OpenDocument) spaces.
bool SeparatesWords(const std::string& local) {
  static const char* const kSeparators[] = {"p",  "h",  "br", "cr", "tab", "tc", "si", "c", "s",
                                            "line-break", "list-item", "table-cell", "note", "title", "frame"};
  return std::any_of(std::begin(kSeparators), std::end(kSeparators), [&](const char* s) { return local == s; });
}

// Elements whose contents are not the document's words (field codes, deleted text).
bool HoldsNoWords(const std::string& local) { return local == "instrText" || local == "delText"; }

void AppendSpace(std::string& out) {
  if (!out.empty() && out.back() != ' ') out.push_back(' ');
}

}  // namespace

XmlTextReader::XmlTextReader(std::size_t limit) : limit_(limit) {}

bool XmlTextReader::Add(std::string_view bytes) {
  if (done_) return false;
  pending_.append(bytes);
  // A tag the bytes so far cut short is looked at again only once the
  // pending bytes have doubled, so a long one costs time in proportion to it.
  if (pending_.size() < retryAt_) return true;
  std::size_t used = Scan(pending_, false);
  pending_.erase(0, used);
  retryAt_ = pending_.size() * 2;
  return !done_;
}

MarkupText XmlTextReader::Finish() {
  if (!done_) Scan(pending_, true);
  pending_.clear();
  done_ = true;
  std::string& out = result_.text;
  // The limit may have stopped the scan inside a character.
  out.resize(out.size() - PartialUtf8Tail(out));
  CutUtf8(out, limit_);
  return std::move(result_);
}

std::size_t XmlTextReader::Scan(const std::string& xml, bool final) {
  std::string& out = result_.text;
  Tag tag;
  std::size_t i = 0;
  while (i < xml.size()) {
    if (out.size() >= limit_) {
      result_.cutOff = done_ = true;
      break;
    }
    char c = xml[i];
    if (c == '<') {
      if (!ReadTag(xml, i, tag)) {
        // A tag that never ends ends the document; one cut short waits for more.
        if (final) done_ = true;
        break;
      }
      if (tag.name == "![CDATA[" && !skipDepth_) out.append(xml, i + 9, tag.end - 3 - (i + 9));
      i = tag.end;
      if (tag.special) continue;
      std::string local = LocalName(tag.name);
      if (tag.closing) {
        depth_ = std::max(0, depth_ - 1);
        if (skipDepth_ && HoldsNoWords(local)) --skipDepth_;
      } else if (!tag.selfClosing) {
        if (++depth_ > kMaxNesting) {
          result_.cutOff = done_ = true;
          break;
        }
        if (HoldsNoWords(local)) ++skipDepth_;
      }
      if (SeparatesWords(local)) AppendSpace(out);
      continue;
    }
    if (skipDepth_) {
      ++i;
      continue;
    }
    if (c == '&') {
      // An entity the bytes so far may cut short waits for more.
      if (!final && xml.size() - i <= kMaxEntityLength) break;
      std::size_t used = DecodeEntity(xml, i, out);
      if (used) {
        i += used;
        continue;
      }
    }
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    out.push_back(c);
    ++i;
  }
  return i;
}

MarkupText XmlText(const std::string& xml, std::size_t limit) {
  XmlTextReader reader(limit);
  reader.Scan(xml, true);
  return reader.Finish();
}

std::string XmlElementText(const std::string& xml, const std::string& name) {
  std::size_t open = xml.find("<" + name);
  while (open != std::string::npos) {
    std::size_t after = open + 1 + name.size();
    if (after < xml.size() && (xml[after] == '>' || std::isspace(static_cast<unsigned char>(xml[after])))) break;
    open = xml.find("<" + name, after);
  }
  if (open == std::string::npos) return {};
  std::size_t start = xml.find('>', open);
  std::size_t close = xml.find("</" + name, open);
  if (start == std::string::npos || close == std::string::npos || close < start) return {};
  return XmlText(xml.substr(start + 1, close - start - 1), 4096).text;
}

MarkupText HtmlText(const std::string& html, std::size_t limit) {
  MarkupText result;
  std::string& out = result.text;
  std::string* target = &out;
  Tag tag;
  for (std::size_t i = 0; i < html.size();) {
    if (out.size() >= limit || result.title.size() >= limit) {
      result.cutOff = true;
      break;
    }
    char c = html[i];
    if (c == '<' && i + 1 < html.size() &&
        (std::isalpha(static_cast<unsigned char>(html[i + 1])) || html[i + 1] == '/' || html[i + 1] == '!' ||
         html[i + 1] == '?')) {
      if (!ReadTag(html, i, tag)) break;
      i = tag.end;
      std::string name = LowerAscii(tag.name);
      if (!tag.closing && (name == "script" || name == "style")) {
        // Their contents run to the matching end tag, whatever they hold.
        std::size_t close = FindEndTag(html, i, name);
        if (close == std::string::npos) break;
        i = close;
        continue;
      }
      if (name == "title") target = tag.closing ? &out : &result.title;
      AppendSpace(*target);
      continue;
    }
    if (c == '&') {
      std::size_t used = DecodeEntity(html, i, *target);
      if (used) {
        i += used;
        continue;
      }
    }
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    target->push_back(c);
    ++i;
  }
  // The limit may have stopped the scan inside a character.
  out.resize(out.size() - PartialUtf8Tail(out));
  CutUtf8(out, limit);
  result.title.resize(result.title.size() - PartialUtf8Tail(result.title));
  CutUtf8(result.title, limit);
  while (!result.title.empty() && result.title.back() == ' ') result.title.pop_back();
  while (!result.title.empty() && result.title.front() == ' ') result.title.erase(0, 1);
  return result;
}

}  // namespace qv::service
