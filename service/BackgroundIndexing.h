#pragma once
// Keeps the index current without anyone running the tool. Whenever a client
// registers or queries, the service starts the user's watcher ("quorvane-indexw
// watch", the windowless tool beside it, in the background at low priority)
// when none runs; the watcher's single-instance rule keeps it to one. A user who never
// chose folders gets Documents and Desktop indexed on first use. Where no
// watcher can run, a query that finds the index older than the configured
// interval (or damaged) starts "quorvane-indexw index" instead. With automatic
// passes off ("refresh off") or indexing paused, the service starts nothing.

#include <cstdint>
#include <string>

namespace qv::service {

constexpr int kDefaultRefreshMinutes = 15;

// Minutes between automatic index passes; 0 turns them off.
int RefreshIntervalMinutes();
void SetRefreshIntervalMinutes(int minutes);

// Starts a background pass when one is due and none is running; looks at most
// once a minute per data folder. Returns true when it started one.
bool RefreshIndexIfStale();

// Starts "`tool` index" in the background at low priority, without a
// window; true when the process was started.
bool StartIndexPass(const std::wstring& tool);

// Paused: no watcher runs and nothing starts one or a pass until resumed
// (the tool's "index" still runs when asked).
bool IsIndexingPaused();
void SetIndexingPaused(bool paused);

// What a client's use of the service does: offers the default folders, then
// starts the watcher when none runs, or else a pass when one is due. Looks at
// most once a minute per data folder. True when it started a process.
bool KeepIndexRunning();

// Adds the user's Documents and Desktop folders when no folder was ever
// chosen (added or removed, or declined with "no-default-folders"); later
// calls do nothing. True when it added any.
bool OfferDefaultFolders();

struct IndexStatus {
  long state = 0;  // kIndexReady, kIndexBuilding or kIndexNotBuilt
  std::int64_t files = 0;
  std::int64_t folders = 0;
};
IndexStatus ReadIndexStatus();

}  // namespace qv::service
