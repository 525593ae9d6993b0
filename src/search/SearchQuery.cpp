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

ComPtr<IDesktopSearchResultSet> ExecuteQuery(BSTR searchString, BSTR category, BYTE ranking, LONG maxResults,
                                             HRESULT& status) {
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
  WaitForResults(results.Get(), maxResults);
  return results;
}

ComPtr<IDesktopSearchResultSet> RunSearchQuery(const FolderSettings& record, bool hasSubfolders) {
  std::wstring searchText = ToWide(record.query);
  if (searchText.empty()) {
    if (hasSubfolders) return nullptr;
    searchText = ToWide(record.name);
  }
  std::wstring categoryText = ToWide(record.category);
  if (categoryText.empty()) categoryText = L"file";

  Bstr searchString(searchText.c_str());
  Bstr category(categoryText.c_str());
  const auto ranking = static_cast<BYTE>(record.rankByRecency & 0xFF);
  HRESULT status = S_OK;
  ComPtr<IDesktopSearchResultSet> results =
      ExecuteQuery(searchString.Get(), category.Get(), ranking, record.maxResults, status);
  // The service no longer knows the cookie: register again and repeat the query
  // once with the new one.
  if (!results && status == kRegistrationLost) {
    UnregisterComponent();
    if (RegisterComponent()) results = ExecuteQuery(searchString.Get(), category.Get(), ranking, record.maxResults, status);
  }
  return results;
}

void GetResultProperty(IDesktopSearchResult* result, const wchar_t* name, Variant& value) {
  if (!result) throw ComError(E_POINTER, __uuidof(IDesktopSearchResult));
  Bstr propertyName(name);
  ThrowIfFailed(result->GetProperty(propertyName.Get(), value.Put()), __uuidof(IDesktopSearchResult));
}

}  // namespace qv
