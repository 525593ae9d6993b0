#pragma once
// Runs a query on a thread of its own so that its results stream into the
// result set while the caller polls it.

#include <memory>

#include "service/IndexSearch.h"
#include "service/QueryParser.h"
#include "service/ResultStream.h"

namespace qv::service {

// Starts the query; the stream is finished when it ends, fails, or the reader
// goes away. Runs it on the calling thread when no thread can be started.
void StartQuery(ParsedQuery query, Ranking ranking, std::shared_ptr<ResultStream> stream);

// The query itself, on the calling thread. A damaged index is marked for the next
// index pass to rebuild. `keepConnection`: as SearchIndex's.
void RunQuery(const ParsedQuery& query, Ranking ranking, ResultStream& stream, bool keepConnection = false);

}  // namespace qv::service
