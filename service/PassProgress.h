#pragma once
// How far the running index pass is, for other processes (the indexing
// options window, a view's status bar): the pass publishes its counts to a
// small file in the data folder while it runs ("pass.progress"), which is
// read together with the pass's lock.

#include <cstdint>

#include "service/Indexer.h"

namespace qv::service {

struct PassProgress {
  std::uint64_t filesSeen = 0;
  std::uint64_t filesIndexed = 0;
  std::uint64_t filesExpected = 0;  // the files the index held when the pass began (0: a first pass)
};

// Writes the counts, at most four times a second unless `now` is set.
void PublishPassProgress(const IndexProgress& progress, std::uint64_t expected, bool now = false);
void ClearPassProgress();

// True while a pass runs (it holds the index lock); `progress` receives its
// last published counts (zero before the first).
bool ReadPassProgress(PassProgress* progress);

}  // namespace qv::service
