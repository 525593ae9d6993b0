#pragma once
// Where the bundled search service keeps its registrations and index: the
// folder the environment variable QUORVANE_SEARCH_DATA names, or
// "quorvane\Search" in the user's local application data folder. The service
// writes there; the component only looks at how the index changes.

#include <string>

namespace qv {

constexpr wchar_t kSearchDataVariable[] = L"QUORVANE_SEARCH_DATA";
constexpr wchar_t kSearchIndexFileName[] = L"index.db";

// The folder, without a trailing backslash and not created; empty when it
// cannot be determined. Read anew on every call.
std::wstring SearchDataFolder();

}  // namespace qv
