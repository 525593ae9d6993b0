#pragma once
// How far the bundled service's index is, for a view to say that it is still
// being built or that nothing is indexed yet. Other services do not tell.

#include <windows.h>

namespace qv {

struct IndexStatus {
  LONG state = 0;    // kIndexReady, kIndexBuilding or kIndexNotBuilt
  LONG files = 0;    // files in the index so far
  LONG folders = 0;  // folders the user has indexed
};

// Asks the service's query object. False when the service does not answer
// (not installed, or not the bundled one). The service opens its databases to
// answer: ask when a fill ends, never per row.
bool AskIndexStatus(IndexStatus& status);

}  // namespace qv
