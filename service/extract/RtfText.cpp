#include "service/extract/RtfText.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "service/extract/CodePage.h"
#include "service/extract/Utf8Text.h"

namespace qv::service {
namespace {

constexpr std::size_t kMaxGroupDepth = 1000;
// Code-page bytes are converted a run at a time; a run this long is converted
// at the next byte that cannot be part of a multi-byte character, and one
// twice as long at once.
constexpr std::size_t kBytesRun = 4096;
constexpr std::size_t kMaxTitleBytes = 4096;

// Destinations whose contents are not the document's words.
bool IsSkippedDestination(const std::string& word) {
  static const char* const kSkipped[] = {
      "fonttbl", "colortbl", "stylesheet", "listtable", "listoverridetable", "pict", "object", "objdata",
      "themedata", "colorschememapping", "datastore", "latentstyles", "rsidtbl", "generator", "xmlnstbl",
      "fldinst", "author", "operator", "company", "subject", "keywords", "comment", "doccomm", "creatim",
      "revtim", "printim", "buptim", "header", "footer", "headerl", "headerr", "footerl", "footerr",
      "bkmkstart", "bkmkend", "filetbl", "revtbl", "pgdsctbl", "mmathPr", "wgrffmtfilter", "passwordhash"};
  return std::any_of(std::begin(kSkipped), std::end(kSkipped), [&](const char* s) { return word == s; });
}

struct Group {
  bool skip = false;
  bool title = false;
  int unicodeSkip = 1;  // characters of fallback after a \u escape
};

class RtfReader {
 public:
  RtfReader(std::size_t limit) : limit_(limit) {}

  RtfContent Read(const std::string& rtf) {
    content_.isRtf = rtf.compare(0, 5, "{\\rtf") == 0;
    if (!content_.isRtf) return content_;
    std::vector<Group> groups{Group{}};
    std::size_t pendingSkip = 0;  // fallback characters still to drop
    for (std::size_t i = 0; i < rtf.size();) {
      if (content_.text.size() >= limit_) {
        content_.cutOff = true;
        break;
      }
      char c = rtf[i];
      if (c == '{') {
        if (groups.size() >= kMaxGroupDepth) {
          content_.cutOff = true;
          break;
        }
        FlushBytes(groups.back());
        groups.push_back(groups.back());
        groups.back().title = false;
        ++i;
        continue;
      }
      if (c == '}') {
        FlushBytes(groups.back());
        if (groups.size() > 1) groups.pop_back();
        ++i;
        continue;
      }
      if (c == '\r' || c == '\n') {
        ++i;
        continue;
      }
      Group& group = groups.back();
      if (c != '\\') {
        if (pendingSkip) {
          --pendingSkip;
        } else {
          AddByte(group, c);
        }
        ++i;
        continue;
      }
      // A control symbol or control word.
      if (i + 1 >= rtf.size()) break;
      char next = rtf[i + 1];
      if (next == '\\' || next == '{' || next == '}') {
        if (pendingSkip) {
          --pendingSkip;
        } else {
          AddByte(group, next);
        }
        i += 2;
        continue;
      }
      if (next == '\'') {
        if (i + 3 < rtf.size() + 0 && std::isxdigit(static_cast<unsigned char>(rtf[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(rtf[i + 3]))) {
          char byte = static_cast<char>(std::stoi(rtf.substr(i + 2, 2), nullptr, 16));
          if (pendingSkip) {
            --pendingSkip;
          } else {
            AddByte(group, byte);
          }
        }
        i += 4;
        continue;
      }
      if (next == '*') {
        // An optional destination this reader does not know: skip its group.
        group.skip = true;
        i += 2;
        continue;
      }
      if (next == '~') {
        AddText(group, " ");
        i += 2;
        continue;
      }
      if (!std::isalpha(static_cast<unsigned char>(next))) {
        i += 2;
        continue;
      }
      std::size_t start = i + 1;
      std::size_t j = start;
      while (j < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[j])) && j - start < 32) ++j;
      std::string word = rtf.substr(start, j - start);
      bool hasParameter = false;
      long parameter = 0;
      std::size_t digits = j;
      if (j < rtf.size() && (rtf[j] == '-' || std::isdigit(static_cast<unsigned char>(rtf[j])))) {
        std::size_t k = j + 1;
        while (k < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[k])) && k - j < 11) ++k;
        parameter = std::strtol(rtf.substr(j, k - j).c_str(), nullptr, 10);
        hasParameter = true;
        digits = k;
      }
      i = digits;
      if (i < rtf.size() && rtf[i] == ' ') ++i;
      pendingSkip = 0;
      ControlWord(groups.back(), word, hasParameter, parameter, pendingSkip);
    }
    FlushBytes(groups.back());
    FlushSurrogate(groups.back());
    return content_;
  }

 private:
  void ControlWord(Group& group, const std::string& word, bool hasParameter, long parameter, std::size_t& pendingSkip) {
    if (word == "ansicpg" && hasParameter) {
      codePage_ = static_cast<unsigned>(parameter);
    } else if (word == "uc" && hasParameter) {
      group.unicodeSkip = static_cast<int>(std::clamp(parameter, 0L, 8L));
    } else if (word == "u" && hasParameter) {
      FlushBytes(group);
      // A signed 16-bit UTF-16 unit; characters past U+FFFF come as two.
      if (parameter >= -32768 && parameter <= 65535 && !group.skip) {
        AddUnit(group, static_cast<char16_t>(parameter < 0 ? parameter + 65536 : parameter));
      }
      pendingSkip = static_cast<std::size_t>(group.unicodeSkip);
    } else if (word == "par" || word == "line" || word == "tab" || word == "cell" || word == "row" ||
               word == "sect" || word == "page") {
      AddText(group, " ");
    } else if (word == "title") {
      group.title = true;
    } else if (IsSkippedDestination(word)) {
      group.skip = true;
    }
  }

  void AddByte(Group& group, char byte) {
    if (group.skip) return;
    if (bytesGroup_ != &group) FlushBytes(group);
    bytesGroup_ = &group;
    bytes_.push_back(byte);
    if ((bytes_.size() >= kBytesRun && static_cast<unsigned char>(byte) < 0x40) || bytes_.size() >= 2 * kBytesRun) {
      FlushBytes(group);
    }
  }

  void AddUnit(Group& group, char16_t unit) {
    if (highSurrogate_ && unit >= 0xDC00 && unit <= 0xDFFF) {
      char16_t pair[] = {highSurrogate_, unit};
      highSurrogate_ = 0;
      std::string utf8;
      AppendUtf16(utf8, pair, 2);
      AddText(group, utf8);
      return;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      FlushSurrogate(group);
      highSurrogate_ = unit;
      return;
    }
    std::string utf8;
    AppendUtf16(utf8, &unit, 1);
    AddText(group, utf8);
  }

  // A high surrogate no low one followed.
  void FlushSurrogate(Group& group) {
    if (!highSurrogate_) return;
    highSurrogate_ = 0;
    Append(group.title, "\xEF\xBF\xBD");
  }

  // Bytes of the document's code page become UTF-8 a run at a time, so
  // multi-byte characters stay whole.
  void FlushBytes(Group& group) {
    if (bytes_.empty()) return;
    FlushSurrogate(group);
    std::string utf8;
    if (!CodePageToUtf8(codePage_, bytes_, &utf8)) {
      codePage_ = kAnsiCodePage;
      if (!CodePageToUtf8(codePage_, bytes_, &utf8)) {
        utf8 = bytes_;
        MakeValidUtf8(utf8);
      }
    }
    bytes_.clear();
    bool title = bytesGroup_ ? bytesGroup_->title : group.title;
    bytesGroup_ = nullptr;
    Append(title, utf8);
  }

  void AddText(Group& group, const std::string& utf8) {
    if (group.skip) return;
    FlushBytes(group);
    if (highSurrogate_) FlushSurrogate(group);
    Append(group.title, utf8);
  }

  void Append(bool title, const std::string& utf8) {
    if (title) {
      if (content_.title.size() < kMaxTitleBytes) content_.title += utf8;
    } else {
      content_.text += utf8;
    }
  }

  std::size_t limit_;
  unsigned codePage_ = 1252;
  char16_t highSurrogate_ = 0;
  std::string bytes_;
  Group* bytesGroup_ = nullptr;
  RtfContent content_;
};

}  // namespace

RtfContent RtfText(const std::string& rtf, std::size_t limit) {
  RtfContent content = RtfReader(limit).Read(rtf);
  if (content.text.size() > limit) {
    CutUtf8(content.text, limit);
    content.cutOff = true;
  }
  CutUtf8(content.title, kMaxTitleBytes);
  return content;
}

}  // namespace qv::service
