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
  std::shared_ptr<const Results> results;
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

std::size_t SizeOf(const SearchRequest& request, const Results& results) {
  std::size_t bytes = sizeof(Entry) + request.searchText.size() * sizeof(wchar_t) +
                      request.category.size() * sizeof(wchar_t) + results.capacity() * sizeof(SearchResultText);
  for (const SearchResultText& text : results) bytes += text.name.capacity() + text.path.capacity();
  return bytes;
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

void Store(const SearchRequest& request, Results results) {
  results.shrink_to_fit();
  std::size_t bytes = SizeOf(request, results);
  auto kept = std::make_shared<const Results>(std::move(results));
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
  cache.entries.push_front(Entry{request, std::move(kept), bytes, now});
  cache.bytes += bytes;
}

std::shared_ptr<const Results> Find(const SearchRequest& request) {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  DropOld(cache, GetTickCount64());
  for (const Entry& entry : cache.entries) {
    if (entry.request == request) return entry.results;
  }
  return nullptr;
}

void FollowFile(const std::string& path, const SearchResultText* replacement) {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  for (Entry& entry : cache.entries) {
    const Results& results = *entry.results;
    auto listed = std::find_if(results.begin(), results.end(),
                               [&path](const SearchResultText& result) { return result.path == path; });
    if (listed == results.end()) continue;
    // Answers are shared with whoever found them: the entry gets a new one.
    auto followed = std::make_shared<Results>(results);
    auto at = followed->begin() + (listed - results.begin());
    if (replacement) {
      *at = *replacement;
    } else {
      followed->erase(at);
    }
    cache.bytes -= entry.bytes;
    entry.bytes = SizeOf(entry.request, *followed);
    cache.bytes += entry.bytes;
    entry.results = std::move(followed);
  }
}

void Clear() {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  cache.entries.clear();
  cache.bytes = 0;
}

}  // namespace qv::resultcache
