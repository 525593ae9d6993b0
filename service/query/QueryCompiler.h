#pragma once
// Turns a parsed query into what the index answers it with: FTS5 expressions
// built only from quoted words, and SQL conditions on the files table whose
// every value is a bound parameter.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "service/QueryParser.h"

namespace qv::service {

using SqlValue = std::variant<std::int64_t, std::string>;

// SQL text with its "?" parameters' values in order.
struct SqlText {
  std::string sql;
  std::vector<SqlValue> values;

  SqlText& Add(const std::string& text) {
    sql += text;
    return *this;
  }
  SqlText& Add(const SqlText& other) {
    sql += other.sql;
    values.insert(values.end(), other.values.begin(), other.values.end());
    return *this;
  }
  SqlText& Value(SqlValue value) {
    sql += '?';
    values.push_back(std::move(value));
    return *this;
  }
};

struct CompiledQuery {
  // The words that weigh in relevance (those looked for in names and text),
  // as an FTS5 expression; empty when none.
  std::string words;
  // Those words as one phrase when the query is nothing but two or more plain
  // words: files holding them in this order rank first.
  std::string wordsAsPhrase;
  // What every result matches besides (name and folder words, the words a
  // name pattern or folder must hold); empty when nothing.
  std::string filters;
  // What no result matches; applied with `words` or `filters`, else part of
  // `conditions`.
  std::string exclusions;
  // `words` for the table of names alone; empty when the relevance groups of
  // words in names cannot be found there (exclusions, or filters on more than
  // names).
  std::string namesWords;
  // Every result satisfies these, over "files f"; "1" when nothing more.
  SqlText conditions;
  // An index of the files table that finds the candidates of a query without
  // full-text expressions faster than reading all files, with its condition.
  std::string drivingIndex;
  SqlText drivingCondition;
  // Every result lies in a range of modification times.
  bool boundsModified = false;
  // Match() looks only at names: the table of names alone answers it.
  bool namesOnly = false;

  bool HasFullText() const { return !words.empty() || !filters.empty(); }
  // The full-text expression every result matches (words, filters, exclusions).
  std::string Match() const;
  // For relevance: disjoint full-text expressions that together match what
  // Match() does, best first: the words as a phrase in the name, the words in
  // the name, the phrase in name or text, the words anywhere.
  std::vector<std::string> RelevanceTiers() const;
  // The first of those groups (the phrase in the name, the words in the name)
  // as expressions for the table of names alone, which match the same files;
  // none when `namesWords` is empty.
  std::vector<std::string> NameTiers() const;
};

CompiledQuery CompileQuery(const ParsedQuery& query);

// The SQL functions the conditions call, on the searching connection:
// qv_name_like(name, pattern) (wildcards * and ?, name and pattern folded as
// the word tables fold them) and qv_under(path, folder).
//
// Whether `text` matches the wildcards of `pattern` (* any run, ? one
// character), both folded already.
bool MatchesWildcards(const std::wstring& text, const std::wstring& pattern);
// The same with case ignored as the file system ignores it (exclusions).
bool MatchesNamePattern(const std::wstring& name, const std::wstring& pattern);

}  // namespace qv::service
