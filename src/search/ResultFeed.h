#pragma once
// Taking a query's results while the service still makes them: the result set
// fills on the service's side, and each Take hands over what has become
// available since the last one, so a view can show the first results at once.

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "common/ComBase.h"
#include "common/DesktopSearchInterfaces.h"
#include "search/ExistingFiles.h"
#include "search/SearchQuery.h"
#include "search/SearchResultItem.h"

namespace qv {

// Whether a folder of the category shows only results that exist as files.
bool ShowsOnlyExistingFiles(const std::wstring& category);

class ResultFeed {
 public:
  enum class Progress {
    More,     // more results are there to take now
    Waiting,  // everything available was taken; the service is still searching
    Complete  // the set is complete (or failed, or holds the most results shown)
  };

  // Sends the request. A feed whose query could not be sent is complete at once.
  explicit ResultFeed(const SearchRequest& request);
  ResultFeed(const ResultFeed&) = delete;
  ResultFeed& operator=(const ResultFeed&) = delete;

  // Appends to `out`, in the service's order, the next at most `most` results
  // a folder shows (a "file" folder only existing files; no text too long for
  // an item; no more than the request's maximum). When none are left from an
  // earlier read, first reads what the service has available, for about
  // `readBudgetMs` milliseconds; the results read are checked `most` at a time
  // by the calls that follow, a directory listed once for all of them (on a
  // thread of its own, while the caller goes on). Without `waitForListings`,
  // results whose directory is not listed yet are checked one by one, so a
  // call takes no longer than its own results need, and the listings of what
  // it reads ahead wait for the first call that waits for them. More: results read or
  // available are still to be taken. Failures of the service end the feed with
  // what came so far.
  Progress Take(std::vector<SearchResultText>& out, DWORD readBudgetMs, std::size_t most,
                bool waitForListings = true);
  bool Complete() const { return complete_; }
  // Whether the service answered no result set or failed a call: what came
  // is not its whole answer.
  bool Failed() const { return failed_; }

 private:
  void Finish();
  // Reads the available results into pending_ and names them to the check;
  // their directories are listed from now, or without `listNow` from the
  // first take that waits for listings.
  void ReadAhead(DWORD budgetMs, bool listNow);
  // Throws ComError when the service fails.
  void ReadAvailable(DWORD budgetMs);

  ComPtr<IDesktopSearchResultSet> results_;
  // A "file" folder's results are checked by directory, a batch at a time.
  ExistingFiles files_;
  bool fileFolder_ = false;
  ULONG limit_ = 0;
  LONG read_ = 0;
  ULONG kept_ = 0;
  // Results read but not yet taken: from pendingAt_ on.
  std::vector<SearchResultText> pending_;
  std::size_t pendingAt_ = 0;
  // Whether the service said it holds no more, and whether the last read took
  // everything it had available then.
  bool ended_ = false;
  bool readAll_ = false;
  bool complete_ = false;
  bool failed_ = false;
  ULONGLONG waitDeadline_ = 0;
};

}  // namespace qv
