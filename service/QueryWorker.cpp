#include "service/QueryWorker.h"

#include <windows.h>

#include <memory>

#include "common/Holders.h"

namespace qv::service {
namespace {

struct QueryJob {
  ParsedQuery query;
  Ranking ranking;
  std::shared_ptr<ResultStream> stream;
  HMODULE pinnedModule;
};

// The thread keeps the module that holds its code loaded until it has
// returned, even when the last result set was released long before.
HMODULE PinThisModule() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&PinThisModule),
                          &module)) {
    return nullptr;
  }
  return module;
}

DWORD WINAPI QueryThread(void* parameter) {
  // The thread owns its job from here on.
  std::unique_ptr<QueryJob> job(static_cast<QueryJob*>(parameter));
  HMODULE module = job->pinnedModule;
  RunQuery(job->query, job->ranking, *job->stream, /*keepConnection=*/true);
  job.reset();
  LingerWithKeptSearchConnections();
  if (module && module != GetModuleHandleW(nullptr)) FreeLibraryAndExitThread(module, 0);
  if (module) FreeLibrary(module);
  return 0;
}

}  // namespace

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
  auto job = std::make_unique<QueryJob>(QueryJob{std::move(query), ranking, stream, PinThisModule()});
  UniqueHandle thread(CreateThread(nullptr, 0, QueryThread, job.get(), 0, nullptr));
  if (thread) {
    job.release();  // the thread frees it
    return;
  }
  // No thread: the query runs here, and the module needs no pin.
  if (job->pinnedModule) FreeLibrary(job->pinnedModule);
  RunQuery(job->query, job->ranking, *stream);
}

}  // namespace qv::service
