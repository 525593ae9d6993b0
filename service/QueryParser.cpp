#include "service/QueryParser.h"

#include <windows.h>

#include <cwctype>

#include "common/Text.h"
#include "service/PathText.h"

namespace qv::service {
namespace {

constexpr wchar_t kFileTypeOperator[] = L"filetype:";
constexpr std::size_t kFileTypeOperatorLength = sizeof kFileTypeOperator / sizeof(wchar_t) - 1;

struct Term {
  std::wstring text;
  bool phrase;
  bool excluded;
};

// Letters and digits make words for the full-text tokenizer; everything else
// separates them.
bool IsWordCharacter(wchar_t c) { return c >= 0x80 || std::iswalnum(c); }

bool HasWord(const std::wstring& text) {
  for (wchar_t c : text) {
    if (IsWordCharacter(c)) return true;
  }
  return false;
}

bool StartsWithFileType(const std::wstring& word) {
  return word.size() >= kFileTypeOperatorLength &&
         CompareStringOrdinal(word.c_str(), static_cast<int>(kFileTypeOperatorLength), kFileTypeOperator,
                              static_cast<int>(kFileTypeOperatorLength), TRUE) == CSTR_EQUAL;
}

// An FTS5 string: the text in double quotes, its own quotes doubled.
std::string QuoteForMatch(const std::wstring& text) {
  std::string quoted = "\"";
  for (char c : ToUtf8(text)) {
    quoted.push_back(c);
    if (c == '"') quoted.push_back('"');
  }
  quoted.push_back('"');
  return quoted;
}

std::string JoinTerms(const std::vector<Term>& terms, bool excluded, const char* separator, bool prefixLast) {
  std::string joined;
  const Term* last = nullptr;
  for (const Term& term : terms) {
    if (term.excluded == excluded) last = &term;
  }
  for (const Term& term : terms) {
    if (term.excluded != excluded) continue;
    if (!joined.empty()) joined += separator;
    joined += QuoteForMatch(term.text);
    if (prefixLast && &term == last && !term.phrase && IsWordCharacter(term.text.back())) joined += " *";
  }
  return joined;
}

}  // namespace

ParsedQuery ParseQuery(const std::wstring& text) {
  ParsedQuery query;
  std::vector<Term> terms;
  std::size_t i = 0;
  while (i < text.size()) {
    if (std::iswspace(text[i])) {
      ++i;
      continue;
    }
    bool excluded = false;
    if (text[i] == L'-' && i + 1 < text.size() && !std::iswspace(text[i + 1])) {
      excluded = true;
      ++i;
    }
    if (text[i] == L'"') {
      std::size_t close = text.find(L'"', i + 1);
      if (close != std::wstring::npos) {
        std::wstring phrase = text.substr(i + 1, close - i - 1);
        if (HasWord(phrase)) terms.push_back({phrase, true, excluded});
        i = close + 1;
        continue;
      }
      // An unbalanced quote is only a character: read on as words.
      ++i;
    }
    std::size_t end = i;
    while (end < text.size() && !std::iswspace(text[end])) ++end;
    std::wstring word = text.substr(i, end - i);
    i = end;
    if (StartsWithFileType(word)) {
      std::wstring extension = word.substr(kFileTypeOperatorLength);
      while (!extension.empty() && extension.front() == L'.') extension.erase(0, 1);
      if (!extension.empty()) {
        (excluded ? query.excludedFileTypes : query.fileTypes).push_back(FoldPathCase(extension));
        continue;
      }
      // "filetype:" with nothing after it is just the word.
    }
    if (HasWord(word)) terms.push_back({word, false, excluded});
  }
  query.match = JoinTerms(terms, false, " ", true);
  query.exclude = JoinTerms(terms, true, " OR ", false);
  return query;
}

}  // namespace qv::service
