#include "search/ResultFeed.h"

#include <algorithm>
#include <climits>
#include <iterator>


namespace qv {

namespace {

// The most results one read takes ahead of their check.
constexpr std::size_t kReadAhead = 1u << 16;

}  // namespace

bool ShowsOnlyExistingFiles(const std::wstring& category) { return lstrcmpiW(category.c_str(), L"file") == 0; }

ResultFeed::ResultFeed(const SearchRequest& request)
    : fileFolder_(ShowsOnlyExistingFiles(request.category)),
      // Unsigned, so a negative maximum sets no limit, as 0 does.
      limit_(static_cast<ULONG>(request.maxResults)),
      // A service that never says it is complete is taken at its word after
      // as long as a complete enumeration waits.
      waitDeadline_(GetTickCount64() + kResultWaitLimitMs) {
  try {
    results_ = StartSearch(request);
  } catch (const ComError&) {
    results_.Reset();
  }
  // No result set: the service is missing or refused the query.
  if (!results_) complete_ = failed_ = true;
}

void ResultFeed::Finish() {
  complete_ = true;
  results_.Reset();
  pending_ = {};
}

void ResultFeed::ReadAhead(DWORD budgetMs, bool listNow) {
  pending_.clear();
  pendingAt_ = 0;
  try {
    ReadAvailable(budgetMs);
  } catch (const ComError&) {
    // The service failed while it was read: the folder shows what came so far.
    failed_ = ended_ = true;
  }
  if (fileFolder_) {
    // Checked a batch at a time, each directory listed once for all of them.
    std::vector<const std::string*> paths;
    paths.reserve(pending_.size());
    for (const SearchResultText& text : pending_) paths.push_back(&text.path);
    files_.Expect(paths, listNow);
  }
}

void ResultFeed::ReadAvailable(DWORD budgetMs) {
  const IID& iid = __uuidof(IDesktopSearchResultSet);
  const ULONGLONG start = GetTickCount64();
  LONG state = 0;
  ThrowIfFailed(results_->get_ReadyState(&state), iid);
  // Anything but "searching" means the set holds all it will hold.
  bool whole = state != kResultSetSearching || start >= waitDeadline_;
  LONG available = LONG_MAX;
  if (!whole) {
    ThrowIfFailed(results_->get_AvailableCount(&available), iid);
    if (limit_ != 0 && available >= 0 && static_cast<ULONG>(available) >= limit_) whole = true;
    if (whole) available = LONG_MAX;
  }
  // No more than the folder still shows: a file found gone lets the next read
  // take another.
  const std::size_t wanted = limit_ != 0 ? std::min<std::size_t>(kReadAhead, limit_ - kept_) : kReadAhead;
  for (unsigned taken = 0; read_ < available && pending_.size() < wanted; ++taken) {
    // The clock is read now and then: a result costs microseconds.
    if ((taken & 63) == 63 && GetTickCount64() - start >= budgetMs) break;
    ComPtr<IDesktopSearchResult> result;
    ThrowIfFailed(results_->Next(result.Put()), iid);
    if (!result) {
      ended_ = true;
      return;
    }
    ++read_;
    SearchResultText text = ReadSearchResult(result.Get());
    // A path no item can hold (tens of thousands of characters) is not shown
    // rather than shown cut.
    if (text.path.size() + text.name.size() > kMaxResultText) continue;
    pending_.push_back(std::move(text));
  }
  readAll_ = read_ >= available;
}

ResultFeed::Progress ResultFeed::Take(std::vector<SearchResultText>& out, DWORD readBudgetMs, std::size_t most,
                                      bool waitForListings) {
  if (complete_) return Progress::Complete;
  if (pendingAt_ >= pending_.size() && !ended_) ReadAhead(readBudgetMs, waitForListings);
  const std::size_t from = out.size();
  const std::size_t count = std::min(std::max<std::size_t>(most, 1), pending_.size() - pendingAt_);
  out.insert(out.end(), std::make_move_iterator(pending_.begin() + static_cast<std::ptrdiff_t>(pendingAt_)),
             std::make_move_iterator(pending_.begin() + static_cast<std::ptrdiff_t>(pendingAt_ + count)));
  pendingAt_ += count;
  // A read takes no more than the folder still shows, so what is kept stays
  // within its maximum.
  if (fileFolder_) files_.KeepExisting(out, from, waitForListings);
  kept_ += static_cast<ULONG>(out.size() - from);
  const bool taken = pendingAt_ >= pending_.size();
  if ((limit_ != 0 && kept_ >= limit_) || (taken && ended_)) {
    Finish();
    return Progress::Complete;
  }
  return taken && readAll_ ? Progress::Waiting : Progress::More;
}

}  // namespace qv
