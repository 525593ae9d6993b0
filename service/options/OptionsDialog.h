#pragma once
// The indexing options window ("quorvane-index options"): the indexed folders
// and the exclusions, with buttons to add and remove them, the index's state
// (files, documents cut off or skipped, last pass, the watcher, and a running
// pass's progress, refreshed every second), the documents read, cut off,
// encrypted and damaged of each format, and "Update now", "Rebuild" and
// "Pause indexing" / "Resume indexing".

#include <windows.h>

namespace qv::service {

// Shows the window modally until it is closed; the process exit code.
int ShowIndexingOptions(HINSTANCE instance);

}  // namespace qv::service
