#pragma once
// Running a search folder's query against the desktop search service.

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "common/ComBase.h"
#include "common/Holders.h"
#include "pidl/FolderSettings.h"
#include "common/DesktopSearchInterfaces.h"

namespace qv {

// How long a query waits for its result set to fill, and the pause between two
// looks at it.
constexpr DWORD kResultWaitLimitMs = 5000;
constexpr DWORD kResultPollIntervalMs = 5;

// What a folder asks the service: the search text, the category, the ranking and
// the most results it shows. Two folders with equal requests show the same results.
struct SearchRequest {
  std::wstring searchText;
  std::wstring category;
  BYTE ranking = 0;
  LONG maxResults = 0;

  bool operator==(const SearchRequest&) const = default;
};

// The request of the folder's query: its search string (or, when that is empty
// and the folder has no sub-folder, its name), its category ("file" when it has
// none), its ranking. False when the folder asks nothing (an empty search string
// beside sub-folders).
bool MakeSearchRequest(const FolderSettings& record, bool hasSubfolders, SearchRequest& request);

// Sends the request without waiting for its results: the result set fills on
// the service's side. Repeated once after registering again when the service no
// longer knows the cookie. Null when the service is missing or answers no
// result set.
ComPtr<IDesktopSearchResultSet> StartSearch(const SearchRequest& request);

// Runs the folder's query: its search string (or, when that is empty and the
// enumeration has listed no sub-folder, its name), its category ("file" when it
// has none), its ranking. A query the service refuses because it no longer knows
// the cookie is repeated once after registering again. Null when the service is
// missing or answers no result set. Throws ComError when the result set fails
// while it is awaited.
ComPtr<IDesktopSearchResultSet> RunSearchQuery(const FolderSettings& record, bool hasSubfolders);

// One query with the current cookie, waiting until the result set is complete,
// holds maxResults results (when positive) or the wait limit passes. A null
// category is sent as a missing argument. `status` receives the HRESULT of
// creating the query component, then that of the query call. Throws ComError
// when the result set fails while it is awaited.
ComPtr<IDesktopSearchResultSet> ExecuteQuery(BSTR searchString, BSTR category, BYTE ranking, LONG maxResults,
                                             HRESULT& status);
// The same query without the wait.
ComPtr<IDesktopSearchResultSet> SendQuery(BSTR searchString, BSTR category, BYTE ranking, HRESULT& status);

// A property of a result ("uri", "title"). Throws ComError carrying the result's
// interface ID when the service fails the call.
void GetResultProperty(IDesktopSearchResult* result, const wchar_t* name, Variant& value);

}  // namespace qv
