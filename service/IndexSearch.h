#pragma once
// Runs a parsed query against the file index and hands over the hits in order.

#include <functional>
#include <string>

#include "service/QueryParser.h"

namespace qv::service {

enum class Ranking { Relevance, Recency };

struct SearchHit {
  std::wstring path;
  std::wstring name;
};

// Calls `onHit` for each hit, best first, until it returns false. Throws
// SqliteError when the index cannot be read; an index not built yet has no hits.
void SearchIndex(const ParsedQuery& query, Ranking ranking, const std::function<bool(SearchHit&&)>& onHit);

}  // namespace qv::service
