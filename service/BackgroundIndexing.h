#pragma once
// Keeps the index current without anyone running the tool: when a query finds
// the index older than the configured interval (or damaged), the service starts
// "quorvane-index index" from its own folder in the background, at low priority.

namespace qv::service {

constexpr int kDefaultRefreshMinutes = 15;

// Minutes between automatic index passes; 0 turns them off.
int RefreshIntervalMinutes();
void SetRefreshIntervalMinutes(int minutes);

// Starts a background pass when one is due and none is running; looks at most
// once a minute per data folder. Returns true when it started one.
bool RefreshIndexIfStale();

}  // namespace qv::service
