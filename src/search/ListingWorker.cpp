#include "search/ListingWorker.h"

#include <utility>

#include "common/Holders.h"
#include "common/ModuleThread.h"

namespace qv {

struct ListingWorker::Shared {
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE ended = CONDITION_VARIABLE_INIT;
  std::vector<Job> jobs;
  std::vector<std::unique_ptr<DirectoryListing>> listings;
  std::size_t done = 0;  // jobs ended, in order; guarded by lock
  bool stopped = false;  // guarded by lock
};

bool ListingWorker::Start(std::vector<Job> jobs) {
  Stop();
  if (jobs.empty()) return false;
  auto shared = std::make_shared<Shared>();
  shared->listings.resize(jobs.size());
  shared->jobs = std::move(jobs);
  if (!StartModuleThread([shared] { Run(*shared); })) return false;
  shared_ = std::move(shared);
  return true;
}

void ListingWorker::Stop() {
  if (!shared_) return;
  {
    ExclusiveLock hold(shared_->lock);
    shared_->stopped = true;
  }
  shared_.reset();
}

bool ListingWorker::Take(std::size_t index, bool wait, std::unique_ptr<DirectoryListing>& listing) {
  if (!shared_ || index >= shared_->jobs.size()) return false;
  ExclusiveLock hold(shared_->lock);
  while (wait && shared_->done <= index) SleepConditionVariableSRW(&shared_->ended, &shared_->lock, INFINITE, 0);
  if (shared_->done <= index) return false;
  listing = std::move(shared_->listings[index]);
  return true;
}

void ListingWorker::Run(Shared& shared) {
  for (std::size_t index = 0; index < shared.jobs.size(); ++index) {
    {
      ExclusiveLock hold(shared.lock);
      if (shared.stopped) return;
    }
    std::unique_ptr<DirectoryListing> listing;
    try {
      listing = ListDirectory(shared.jobs[index].directory, shared.jobs[index].most);
    } catch (...) {
      // Out of memory: this directory's results are checked one by one.
    }
    ExclusiveLock hold(shared.lock);
    shared.listings[index] = std::move(listing);
    shared.done = index + 1;
    WakeAllConditionVariable(&shared.ended);
  }
}

}  // namespace qv
