#include "search/ResultFeed.h"

#include <climits>

#include "common/ModulePaths.h"
#include "common/Text.h"

namespace qv {

bool ResultFileExists(const std::string& path) {
  if (path.empty() || path.find_first_of("*?") != std::string::npos) return false;
  DWORD attributes = GetFileAttributesW(ExtendedLengthPath(ToWide(path)).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

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
    for (unsigned taken = 0; read_ < available; ++taken) {
      // The clock is read now and then: a result costs microseconds.
      if ((taken & 63) == 63 && GetTickCount64() - start >= budgetMs) return Progress::More;
      ComPtr<IDesktopSearchResult> result;
      ThrowIfFailed(results_->Next(result.Put()), iid);
      if (!result) {
        Finish();
        return Progress::Complete;
      }
      ++read_;
      SearchResultText text = ReadSearchResult(result.Get());
      // A path no item can hold (tens of thousands of characters) is not shown
      // rather than shown cut.
      if (text.path.size() + text.name.size() > kMaxResultText) continue;
      if (fileFolder_ && !ResultFileExists(text.path)) continue;
      out.push_back(std::move(text));
      if (++kept_ == limit_) {
        Finish();
        return Progress::Complete;
      }
    }
    return Progress::Waiting;
  } catch (const ComError&) {
    // The service failed while it was read: the folder shows what came so far.
    failed_ = true;
    Finish();
    return Progress::Complete;
  }
}

}  // namespace qv
