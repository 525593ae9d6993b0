#include "service/QueryWorker.h"

#include <windows.h>

#include <memory>

#include "common/ModuleThread.h"

namespace qv::service {

void RunQuery(const ParsedQuery& query, Ranking ranking, ResultStream& stream, bool keepConnection) {
  try {
    SearchIndex(
        query, ranking,
        [&](SearchHit&& hit) {
          if (stream.IsCancelled()) return false;
          stream.Add(std::move(hit));
          return true;
        },
        keepConnection);
  } catch (...) {
    // The results so far stand; the caller sees the query as finished (a
    // damaged index is marked for rebuilding by the search itself).
  }
  stream.Finish();
}

void StartQuery(ParsedQuery query, Ranking ranking, std::shared_ptr<ResultStream> stream) {
  auto job = std::make_shared<ParsedQuery>(std::move(query));
  bool started = StartModuleThread([job, ranking, stream]() mutable {
    RunQuery(*job, ranking, *stream, /*keepConnection=*/true);
    // The results are the reader's alone while the connection lingers.
    job.reset();
    stream.reset();
    LingerWithKeptSearchConnections();
  });
  // No thread: the query runs here.
  if (!started) RunQuery(*job, ranking, *stream);
}

}  // namespace qv::service
