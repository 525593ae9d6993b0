#include "search/ResultFeed.h"

#include <algorithm>
#include <climits>


namespace qv {

namespace {

// Results read from the service before their files are checked together: as
// many as one look takes, so a directory is listed once per look.
constexpr std::size_t kCheckBatch = 1u << 16;

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
}

ResultFeed::Progress ResultFeed::Take(std::vector<SearchResultText>& out, DWORD budgetMs) {
  if (complete_) return Progress::Complete;
  const IID& iid = __uuidof(IDesktopSearchResultSet);
  const ULONGLONG start = GetTickCount64();
  try {
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
    for (;;) {
      // A batch of results, then their files checked together: a directory
      // holding many of them is listed once.
      const std::size_t from = out.size();
      const std::size_t wanted = limit_ != 0 ? std::min<std::size_t>(kCheckBatch, limit_ - kept_) : kCheckBatch;
      bool ended = false;
      bool outOfTime = false;
      for (unsigned taken = 0; read_ < available && out.size() - from < wanted; ++taken) {
        // The clock is read now and then: a result costs microseconds.
        if ((taken & 63) == 63 && GetTickCount64() - start >= budgetMs) {
          outOfTime = true;
          break;
        }
        ComPtr<IDesktopSearchResult> result;
        ThrowIfFailed(results_->Next(result.Put()), iid);
        if (!result) {
          ended = true;
          break;
        }
        ++read_;
        SearchResultText text = ReadSearchResult(result.Get());
        // A path no item can hold (tens of thousands of characters) is not shown
        // rather than shown cut.
        if (text.path.size() + text.name.size() > kMaxResultText) continue;
        out.push_back(std::move(text));
      }
      if (fileFolder_) files_.KeepExisting(out, from);
      kept_ += static_cast<ULONG>(out.size() - from);
      if (ended || (limit_ != 0 && kept_ >= limit_)) {
        Finish();
        return Progress::Complete;
      }
      if (outOfTime || GetTickCount64() - start >= budgetMs) return Progress::More;
      if (read_ >= available) return Progress::Waiting;
    }
  } catch (const ComError&) {
    // The service failed while it was read: the folder shows what came so far.
    failed_ = true;
    Finish();
    return Progress::Complete;
  }
}

}  // namespace qv
