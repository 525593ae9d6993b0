#pragma once
// Keeps the index current while files change: watches every indexed root and
// brings each change into the index a moment after it happens, so a saved,
// renamed or deleted file shows in results within seconds.
//
// Changes are gathered until the folders are quiet for a short while (a burst
// of writes becomes one update) and written as one batch. A watch whose buffer
// overflowed, and a root that comes back after being unreachable, is re-checked
// with an incremental pass over that root alone. Idle, the watcher does no work:
// it waits for the system to report changes.
//
// On Windows one watch covers a root and everything under it. Where subtree
// watches report nothing from sub-folders (Wine), every folder is watched on its
// own; the watcher finds out which at start.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace qv::service {

enum class WatchMode {
  Subtree,     // one watch per root covers its sub-folders
  EachFolder,  // one watch per folder
};

// Whether this system reports sub-folder changes through a subtree watch; tries
// it in the data folder, waiting up to `waitMs`.
WatchMode DetectWatchMode(DWORD waitMs = 1000);

struct WatcherSettings {
  DWORD quietMs = 200;       // a batch is written once nothing changed for this long
  DWORD maxDelayMs = 1000;   // but no change waits longer than this
  DWORD retryMs = 30000;     // how often unreachable roots are tried again
  std::size_t maxPendingPaths = 20000;   // more: re-check the roots instead
  std::size_t maxFolderWatches = 20000;  // per-folder watches beyond this are not made
};

class IndexWatcher {
 public:
  explicit IndexWatcher(WatcherSettings settings = {}) : settings_(settings) {}

  // Catches up with an incremental pass, then watches until `stop` is set.
  // `rootsChanged` is set when the indexed folders were changed.
  void Run(HANDLE stop, HANDLE rootsChanged);

 private:
  WatcherSettings settings_;
};

// How the running watcher watches, for status: "one watch per folder tree" or
// "each folder watched on its own"; empty when unknown.
std::wstring WatchModeText();

// Lowers the process to background priority (CPU and I/O) where the system
// offers it, otherwise to idle priority.
void EnterBackgroundMode();

}  // namespace qv::service
