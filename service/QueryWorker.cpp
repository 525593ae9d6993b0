#include "service/QueryWorker.h"

#include <windows.h>

#include "service/IndexDatabase.h"
#include "service/SqliteDatabase.h"

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
  auto* job = static_cast<QueryJob*>(parameter);
  HMODULE module = job->pinnedModule;
  RunQuery(job->query, job->ranking, *job->stream);
  delete job;
  if (module && module != GetModuleHandleW(nullptr)) FreeLibraryAndExitThread(module, 0);
  if (module) FreeLibrary(module);
  return 0;
}

}  // namespace

void RunQuery(const ParsedQuery& query, Ranking ranking, ResultStream& stream) {
  try {
    SearchIndex(query, ranking, [&](SearchHit&& hit) {
      if (stream.IsCancelled()) return false;
      stream.Add(std::move(hit));
      return true;
    });
  } catch (const SqliteError& e) {
    if (e.IsDamage()) MarkIndexDamaged();
  } catch (...) {
    // The results so far stand; the caller sees the query as finished.
  }
  stream.Finish();
}

void StartQuery(ParsedQuery query, Ranking ranking, std::shared_ptr<ResultStream> stream) {
  auto* job = new QueryJob{std::move(query), ranking, stream, PinThisModule()};
  HANDLE thread = CreateThread(nullptr, 0, QueryThread, job, 0, nullptr);
  if (thread) {
    CloseHandle(thread);
    return;
  }
  if (job->pinnedModule) FreeLibrary(job->pinnedModule);
  RunQuery(job->query, job->ranking, *stream);
  delete job;
}

}  // namespace qv::service
