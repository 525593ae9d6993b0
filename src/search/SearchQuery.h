#pragma once
// Running a search folder's query against the desktop search service.

#include <windows.h>
#include <oaidl.h>

#include "common/ComBase.h"
#include "common/Holders.h"
#include "pidl/FolderSettings.h"
#include "common/DesktopSearchInterfaces.h"

namespace qv {

// How long a query waits for its result set to fill, and the pause between two
// looks at it.
constexpr DWORD kResultWaitLimitMs = 5000;
constexpr DWORD kResultPollIntervalMs = 5;

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

// A property of a result ("uri", "title"). Throws ComError carrying the result's
// interface ID when the service fails the call.
void GetResultProperty(IDesktopSearchResult* result, const wchar_t* name, Variant& value);

}  // namespace qv
