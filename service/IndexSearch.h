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
// SqliteError when the index cannot be read, having marked a damaged one for
// the next pass to rebuild; an index not built yet has no hits.
// With `keepConnection`, the connection to the index stays open for the next
// query of this process (its cache is what makes that one fast) until
// LingerWithKeptSearchConnections() closes it.
void SearchIndex(const ParsedQuery& query, Ranking ranking, const std::function<bool(SearchHit&&)>& onHit,
                 bool keepConnection = false);

// Run by a query's thread after its query: while connections are kept, one
// such thread waits and closes each that stays unused for two seconds, so the
// index file is never held open for long by an idle process. Returns at once
// when another thread already does.
void LingerWithKeptSearchConnections();

// Closes every kept connection now (before the index file is moved or removed).
void CloseKeptSearchConnections();

}  // namespace qv::service
