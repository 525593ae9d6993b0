#pragma once
// The hits of one query as they arrive: the query's worker thread adds them, the
// result set hands them out. Reading waits for the next hit or the end.

#include <windows.h>

#include <atomic>
#include <vector>

#include "service/IndexSearch.h"

namespace qv::service {

class ResultStream {
 public:
  ResultStream();

  // Worker side.
  void Add(SearchHit&& hit);
  void Finish();
  bool IsCancelled() const { return cancelled_.load(); }

  // Reader side.
  bool IsFinished();
  LONG Count();
  // Waits until hit `index` exists (true, copied out) or the query ended
  // without it (false).
  bool WaitFor(std::size_t index, SearchHit* hit);
  // The reader is gone: the worker may stop.
  void Cancel() { cancelled_.store(true); }

 private:
  SRWLOCK lock_;
  CONDITION_VARIABLE changed_;
  std::vector<SearchHit> hits_;
  bool finished_ = false;
  std::atomic<bool> cancelled_{false};
};

}  // namespace qv::service
