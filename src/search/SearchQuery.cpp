#include "search/SearchQuery.h"

#include <new>
#include <string>

#include "common/Text.h"
#include "search/RegistrationCookie.h"
#include "search/ServiceObjects.h"
#include "search/ServiceRegistration.h"

namespace qv {
namespace {

// Polls the result set, a few milliseconds apart, until it reports that it is
// complete (or any state but "searching"), holds enough results, or the wait
// limit has passed; then the caller takes what is there.
void WaitForResults(IDesktopSearchResultSet* results, LONG maxResults) {
  const IID& iid = __uuidof(IDesktopSearchResultSet);
  const ULONGLONG deadline = GetTickCount64() + kResultWaitLimitMs;
  for (;;) {
    LONG state = 0;
    ThrowIfFailed(results->get_ReadyState(&state), iid);
    if (state == kResultSetComplete) return;
    ThrowIfFailed(results->get_ReadyState(&state), iid);
    if (state != kResultSetSearching) return;
    if (maxResults > 0) {
      LONG available = 0;
      ThrowIfFailed(results->get_AvailableCount(&available), iid);
      if (available >= maxResults) return;
    }
    if (GetTickCount64() >= deadline) return;
    Sleep(kResultPollIntervalMs);
  }
}

}  // namespace

ComPtr<IDesktopSearchResultSet> SendQuery(BSTR searchString, BSTR category, BYTE ranking, HRESULT& status) {
  ComPtr<IDesktopSearchQueryApi> query;
  status = CreateServiceObject(kQueryApiProgId, query);
  if (!query) return nullptr;

  Variant categoryArgument;
  if (category) {
    V_VT(categoryArgument.Put()) = VT_BSTR;
    V_BSTR(categoryArgument.Get()) = SysAllocStringLen(category, SysStringLen(category));
    if (!V_BSTR(categoryArgument.Get())) throw std::bad_alloc();
  } else {
    V_VT(categoryArgument.Put()) = VT_ERROR;
    V_ERROR(categoryArgument.Get()) = DISP_E_PARAMNOTFOUND;
  }
  Variant rankingArgument;
  V_VT(rankingArgument.Put()) = VT_UI1;
  V_UI1(rankingArgument.Get()) = ranking;

  ComPtr<IDesktopSearchResultSet> results;
  status = query->Query(RegistrationCookie(), searchString, *categoryArgument.Get(), *rankingArgument.Get(),
                        results.Put());
  if (FAILED(status) || !results) return nullptr;
  return results;
}

ComPtr<IDesktopSearchResultSet> ExecuteQuery(BSTR searchString, BSTR category, BYTE ranking, LONG maxResults,
                                             HRESULT& status) {
  ComPtr<IDesktopSearchResultSet> results = SendQuery(searchString, category, ranking, status);
  if (results) WaitForResults(results.Get(), maxResults);
  return results;
}

bool MakeSearchRequest(const FolderSettings& record, bool hasSubfolders, SearchRequest& request) {
  request = {};
  request.searchText = ToWide(record.query);
  if (request.searchText.empty()) {
    if (hasSubfolders) return false;
    request.searchText = ToWide(record.name);
  }
  request.category = ToWide(record.category);
  if (request.category.empty()) request.category = L"file";
  request.ranking = static_cast<BYTE>(record.rankByRecency & 0xFF);
  request.maxResults = record.maxResults;
  return true;
}

namespace {

// Sends the request through `send` (with or without the wait); once more after
// registering again when the service no longer knows the cookie.
template <class Send>
ComPtr<IDesktopSearchResultSet> SendWithRegistration(const SearchRequest& request, Send send) {
  Bstr searchString(request.searchText.c_str());
  Bstr category(request.category.c_str());
  HRESULT status = S_OK;
  ComPtr<IDesktopSearchResultSet> results = send(searchString.Get(), category.Get(), status);
  if (!results && status == kRegistrationLost) {
    UnregisterComponent();
    if (RegisterComponent()) results = send(searchString.Get(), category.Get(), status);
  }
  return results;
}

}  // namespace

ComPtr<IDesktopSearchResultSet> StartSearch(const SearchRequest& request) {
  return SendWithRegistration(request, [&](BSTR searchString, BSTR category, HRESULT& status) {
    return SendQuery(searchString, category, request.ranking, status);
  });
}

ComPtr<IDesktopSearchResultSet> RunSearchQuery(const FolderSettings& record, bool hasSubfolders) {
  SearchRequest request;
  if (!MakeSearchRequest(record, hasSubfolders, request)) return nullptr;
  return SendWithRegistration(request, [&](BSTR searchString, BSTR category, HRESULT& status) {
    return ExecuteQuery(searchString, category, request.ranking, request.maxResults, status);
  });
}

void GetResultProperty(IDesktopSearchResult* result, const wchar_t* name, Variant& value) {
  if (!result) throw ComError(E_POINTER, __uuidof(IDesktopSearchResult));
  Bstr propertyName(name);
  ThrowIfFailed(result->GetProperty(propertyName.Get(), value.Put()), __uuidof(IDesktopSearchResult));
}

}  // namespace qv
