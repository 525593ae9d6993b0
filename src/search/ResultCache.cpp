#include "search/ResultCache.h"

#include <windows.h>

#include <algorithm>
#include <list>
#include <mutex>
#include <utility>

namespace qv::resultcache {
namespace {

struct Entry {
  SearchRequest request;
  PackedResults results;
  std::size_t bytes = 0;
  ULONGLONG stored = 0;
};

struct Cache {
  std::mutex lock;
  std::list<Entry> entries;  // newest first
  std::size_t bytes = 0;
};

Cache& TheCache() {
  static Cache cache;
  return cache;
}

std::size_t SizeOf(const SearchRequest& request, const PackedResults& results) {
  return sizeof(Entry) + request.searchText.size() * sizeof(wchar_t) + request.category.size() * sizeof(wchar_t) +
         results.Bytes();
}

void DropOld(Cache& cache, ULONGLONG now) {
  for (auto entry = cache.entries.begin(); entry != cache.entries.end();) {
    if (now - entry->stored > kKeepMs) {
      cache.bytes -= entry->bytes;
      entry = cache.entries.erase(entry);
    } else {
      ++entry;
    }
  }
}

}  // namespace

void PackedResults::Add(std::string_view name, std::string_view path) {
  texts_.append(name);
  ends_.push_back(static_cast<std::uint32_t>(texts_.size()));
  texts_.append(path);
  ends_.push_back(static_cast<std::uint32_t>(texts_.size()));
}

Results PackedResults::Unpack() const {
  Results results;
  results.reserve(Count());
  for (std::size_t i = 0; i < Count(); ++i) results.push_back({std::string(Name(i)), std::string(Path(i))});
  return results;
}

void PackedResults::ShrinkToFit() {
  texts_.shrink_to_fit();
  ends_.shrink_to_fit();
}

void Store(const SearchRequest& request, const Results& results) {
  PackedResults packed;
  for (const SearchResultText& text : results) packed.Add(text.name, text.path);
  Store(request, std::move(packed));
}

void Store(const SearchRequest& request, PackedResults results) {
  results.ShrinkToFit();
  std::size_t bytes = SizeOf(request, results);
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  ULONGLONG now = GetTickCount64();
  for (auto entry = cache.entries.begin(); entry != cache.entries.end(); ++entry) {
    if (entry->request == request) {
      cache.bytes -= entry->bytes;
      cache.entries.erase(entry);
      break;
    }
  }
  DropOld(cache, now);
  if (bytes > kMaxBytes) return;
  while (!cache.entries.empty() && (cache.entries.size() >= kMaxEntries || cache.bytes + bytes > kMaxBytes)) {
    cache.bytes -= cache.entries.back().bytes;
    cache.entries.pop_back();
  }
  cache.entries.push_front(Entry{request, std::move(results), bytes, now});
  cache.bytes += bytes;
}

std::shared_ptr<const Results> Find(const SearchRequest& request) {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  DropOld(cache, GetTickCount64());
  for (const Entry& entry : cache.entries) {
    if (entry.request == request) return std::make_shared<const Results>(entry.results.Unpack());
  }
  return nullptr;
}

void FollowFile(const std::string& path, const SearchResultText* replacement) {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  for (Entry& entry : cache.entries) {
    const PackedResults& results = entry.results;
    std::size_t listed = 0;
    while (listed < results.Count() && results.Path(listed) != path) ++listed;
    if (listed == results.Count()) continue;
    PackedResults followed;
    for (std::size_t i = 0; i < results.Count(); ++i) {
      if (i != listed) {
        followed.Add(results.Name(i), results.Path(i));
      } else if (replacement) {
        followed.Add(replacement->name, replacement->path);
      }
    }
    followed.ShrinkToFit();
    cache.bytes -= entry.bytes;
    entry.results = std::move(followed);
    entry.bytes = SizeOf(entry.request, entry.results);
    cache.bytes += entry.bytes;
  }
}

void Clear() {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  cache.entries.clear();
  cache.bytes = 0;
}

}  // namespace qv::resultcache
