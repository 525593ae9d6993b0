#pragma once
// The last results of recent queries, kept for the process for a short time so
// a folder opened again shows what its query answered a moment ago while the
// service is asked anew. Bounded in entries, in age and in memory. Any thread.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "search/SearchQuery.h"
#include "search/SearchResultItem.h"

namespace qv::resultcache {

using Results = std::vector<SearchResultText>;

// Results held compactly: their texts one after another, in order.
class PackedResults {
 public:
  void Add(std::string_view name, std::string_view path);
  std::size_t Count() const { return ends_.size() / 2; }
  std::string_view Name(std::size_t index) const { return Text(2 * index); }
  std::string_view Path(std::size_t index) const { return Text(2 * index + 1); }
  Results Unpack() const;
  // What it holds in memory.
  std::size_t Bytes() const { return texts_.capacity() + ends_.capacity() * sizeof(std::uint32_t); }
  void ShrinkToFit();

 private:
  std::string_view Text(std::size_t index) const {
    std::size_t begin = index ? ends_[index - 1] : 0;
    return std::string_view(texts_).substr(begin, ends_[index] - begin);
  }

  std::string texts_;
  std::vector<std::uint32_t> ends_;  // where each text ends in texts_: name, path, name...
};

// How long results stay, and what all entries may hold together.
constexpr unsigned long long kKeepMs = 120000;
constexpr std::size_t kMaxEntries = 16;
constexpr std::size_t kMaxBytes = 32u * 1024u * 1024u;

// Keeps the complete results of the request, replacing what it held for it;
// the oldest entries go when the bounds would be passed. Results larger than
// the whole bound are not kept.
void Store(const SearchRequest& request, const Results& results);
void Store(const SearchRequest& request, PackedResults results);
// The results kept for exactly this request, or null when none are (or they
// are too old).
std::shared_ptr<const Results> Find(const SearchRequest& request);
// A file was deleted (`replacement` null) or renamed: every kept answer that
// lists `path` lists the file under its new path and name, or no more.
void FollowFile(const std::string& path, const SearchResultText* replacement);
void Clear();

}  // namespace qv::resultcache
