#include "service/ResultStream.h"

#include "common/Holders.h"

namespace qv::service {

ResultStream::ResultStream() {
  InitializeSRWLock(&lock_);
  InitializeConditionVariable(&changed_);
}

void ResultStream::Add(SearchHit&& hit) {
  {
    ExclusiveLock guard(lock_);
    hits_.push_back(std::move(hit));
  }
  WakeAllConditionVariable(&changed_);
}

void ResultStream::Finish() {
  {
    ExclusiveLock guard(lock_);
    finished_ = true;
  }
  WakeAllConditionVariable(&changed_);
}

bool ResultStream::IsFinished() {
  ExclusiveLock guard(lock_);
  return finished_;
}

LONG ResultStream::Count() {
  ExclusiveLock guard(lock_);
  return static_cast<LONG>(hits_.size());
}

bool ResultStream::WaitFor(std::size_t index, SearchHit* hit) {
  ExclusiveLock guard(lock_);
  while (index >= hits_.size() && !finished_) SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
  if (index >= hits_.size()) return false;
  *hit = hits_[index];
  return true;
}

}  // namespace qv::service
