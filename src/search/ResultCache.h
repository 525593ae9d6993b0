#pragma once
// The last results of recent queries, kept for the process for a short time so
// a folder opened again shows what its query answered a moment ago while the
// service is asked anew. Bounded in entries, in age and in memory. Any thread.

#include <memory>
#include <vector>

#include "search/SearchQuery.h"
#include "search/SearchResultItem.h"

namespace qv::resultcache {

using Results = std::vector<SearchResultText>;

// How long results stay, and what all entries may hold together.
constexpr unsigned long long kKeepMs = 120000;
constexpr std::size_t kMaxEntries = 16;
constexpr std::size_t kMaxBytes = 32u * 1024u * 1024u;

// Keeps the complete results of the request, replacing what it held for it;
// the oldest entries go when the bounds would be passed. Results larger than
// the whole bound are not kept.
void Store(const SearchRequest& request, Results results);
// The results kept for exactly this request, or null when none are (or they
// are too old).
std::shared_ptr<const Results> Find(const SearchRequest& request);
// A file was deleted (`replacement` null) or renamed: every kept answer that
// lists `path` lists the file under its new path and name, or no more.
void FollowFile(const std::string& path, const SearchResultText* replacement);
void Clear();

}  // namespace qv::resultcache
