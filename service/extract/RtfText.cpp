#include "service/extract/RtfText.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "service/extract/MarkupText.h"

namespace qv::service {
namespace {

constexpr std::size_t kMaxGroupDepth = 1000;

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
    return content_;
  }

 private:
  void ControlWord(Group& group, const std::string& word, bool hasParameter, long parameter, std::size_t& pendingSkip) {
    if (word == "ansicpg" && hasParameter) {
      codePage_ = static_cast<UINT>(parameter);
    } else if (word == "uc" && hasParameter) {
      group.unicodeSkip = static_cast<int>(std::clamp(parameter, 0L, 8L));
    } else if (word == "u" && hasParameter) {
      FlushBytes(group);
      long code = parameter < 0 ? parameter + 65536 : parameter;
      if (!group.skip) {
        std::string utf8;
        AppendUtf8(utf8, static_cast<unsigned long>(code));
        AddText(group, utf8);
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
  }

  // Bytes of the document's code page become UTF-8 a run at a time, so
  // multi-byte characters stay whole.
  void FlushBytes(Group& group) {
    if (bytes_.empty()) return;
    int length = MultiByteToWideChar(codePage_, 0, bytes_.data(), static_cast<int>(bytes_.size()), nullptr, 0);
    if (length <= 0) {
      codePage_ = CP_ACP;
      length = MultiByteToWideChar(codePage_, 0, bytes_.data(), static_cast<int>(bytes_.size()), nullptr, 0);
    }
    std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    MultiByteToWideChar(codePage_, 0, bytes_.data(), static_cast<int>(bytes_.size()), wide.data(), length);
    std::string utf8;
    int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    utf8.resize(static_cast<std::size_t>(std::max(size, 0)));
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size, nullptr, nullptr);
    bytes_.clear();
    bool title = bytesGroup_ ? bytesGroup_->title : group.title;
    bytesGroup_ = nullptr;
    (title ? content_.title : content_.text) += utf8;
  }

  void AddText(Group& group, const std::string& utf8) {
    if (group.skip) return;
    FlushBytes(group);
    (group.title ? content_.title : content_.text) += utf8;
  }

  std::size_t limit_;
  UINT codePage_ = 1252;
  std::string bytes_;
  Group* bytesGroup_ = nullptr;
  RtfContent content_;
};

}  // namespace

RtfContent RtfText(const std::string& rtf, std::size_t limit) {
  RtfContent content = RtfReader(limit).Read(rtf);
  if (content.text.size() > limit) content.text.resize(limit);
  return content;
}

}  // namespace qv::service
