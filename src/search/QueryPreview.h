#pragma once
// What a query typed into a dialog would find now: the number of files the
// service answers and, where the service says so (the bundled one does), what
// it read literally. One query at a time; it is looked at without waiting, so
// a dialog asks again on its timer and never blocks its thread.

#include <windows.h>

#include <string>

#include "common/ComBase.h"
#include "common/DesktopSearchInterfaces.h"
#include "search/SearchQuery.h"

namespace qv {

class QueryPreview {
 public:
  struct Answer {
    LONG count = 0;
    // False when the service was still searching at the wait limit: at least
    // `count` files match.
    bool complete = true;
    // What the service read literally ("Read literally: ..."); empty when
    // everything was understood or the service does not say.
    std::wstring warning;
    // Whether the service is the bundled one (it answers the literal note),
    // which holds files only: the categories "file" and "all".
    bool bundledService = false;
  };

  // Sends the request (its maximum is not used: every match counts). False
  // when the service is missing or refused it.
  bool Start(const SearchRequest& request);
  bool Busy() const { return static_cast<bool>(results_); }
  // True once the query in flight has its answer, given in `answer`; the
  // query is then done with.
  bool Poll(Answer& answer);
  void Cancel() { results_.Reset(); }

 private:
  ComPtr<IDesktopSearchResultSet> results_;
  ULONGLONG deadline_ = 0;
};

}  // namespace qv
