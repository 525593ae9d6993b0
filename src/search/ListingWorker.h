#pragma once
// Lists directories on a thread of its own, one after another in the order
// they were named, so that the caller goes on (reading results, making rows,
// painting) while the file system answers, and takes each listing once made.
// The thread holds the module loaded until it ends; dropping the worker stops
// it after the listing under way, without waiting for it.

#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "search/DirectoryListing.h"

namespace qv {

class ListingWorker {
 public:
  struct Job {
    std::wstring directory;
    std::size_t most = 0;  // the entries past which the listing gives way
  };

  ListingWorker() = default;
  ListingWorker(const ListingWorker&) = delete;
  ListingWorker& operator=(const ListingWorker&) = delete;
  ~ListingWorker() { Stop(); }

  // Stops any earlier jobs and starts listing these. False when no thread
  // could be started: nothing is listed then.
  bool Start(std::vector<Job> jobs);
  // No further listing starts; the one under way ends on its own thread.
  void Stop();
  // Whether job `index` of the last Start has ended, waiting for it when
  // `wait`; once it has, `listing` takes its listing (null when the directory
  // could not be listed or held too many entries). A job taken answers only once.
  bool Take(std::size_t index, bool wait, std::unique_ptr<DirectoryListing>& listing);

 private:
  struct Shared;
  static void Run(Shared& shared);

  std::shared_ptr<Shared> shared_;
};

}  // namespace qv
