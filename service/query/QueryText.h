#pragma once
// Text rules shared by the query language and the index: what makes a word,
// how a word is written into a full-text expression, and which scripts are
// written without spaces between words.

#include <string>

namespace qv::service {

// Letters and digits make words for the full-text tokenizer; everything else
// separates them.
bool IsWordCharacter(wchar_t c);
bool HasWordCharacter(const std::wstring& text);

// An FTS5 string: the text in double quotes, its own quotes doubled. Nothing a
// user writes reaches FTS5 any other way.
std::string QuoteForMatch(const std::wstring& text);

// Scripts written without spaces between words (Chinese, Japanese, Thai, Lao,
// Khmer, Myanmar): their words are found inside longer runs of text.
bool IsUnspacedScript(char32_t c);
// The longest run of such characters in the text.
std::size_t LongestUnspacedRun(const std::wstring& text);
bool HasUnspacedScript(const std::string& utf8);

}  // namespace qv::service
