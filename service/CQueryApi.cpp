#include "service/CQueryApi.h"

#include <algorithm>
#include <memory>
#include <string>

#include "common/Holders.h"
#include "service/BackgroundIndexing.h"
#include "service/CResultSet.h"
#include "service/QueryWorker.h"
#include "service/RegistrationStore.h"

namespace qv::service {
namespace {

bool IsMissing(const VARIANT& value) {
  return V_VT(&value) == VT_EMPTY || (V_VT(&value) == VT_ERROR && V_ERROR(&value) == DISP_E_PARAMNOTFOUND);
}

// Files are the only category the index holds; an absent category means files.
HRESULT SearchesFiles(const VARIANT& category, bool* files) {
  *files = true;
  if (IsMissing(category)) return S_OK;
  Variant text;
  HRESULT hr = VariantChangeType(text.Get(), const_cast<VARIANT*>(&category), 0, VT_BSTR);
  if (FAILED(hr)) return E_INVALIDARG;
  BSTR name = V_BSTR(text.Get());
  *files = name && CompareStringOrdinal(name, -1, L"file", -1, TRUE) == CSTR_EQUAL;
  return S_OK;
}

HRESULT ReadRanking(const VARIANT& value, Ranking* ranking) {
  *ranking = Ranking::Relevance;
  if (IsMissing(value)) return S_OK;
  Variant number;
  if (FAILED(VariantChangeType(number.Get(), const_cast<VARIANT*>(&value), 0, VT_I4))) return E_INVALIDARG;
  *ranking = V_I4(number.Get()) != 0 ? Ranking::Recency : Ranking::Relevance;
  return S_OK;
}

}  // namespace

const InterfaceEntry* CQueryApi::InterfaceTable() {
  static const InterfaceEntry table[] = {QV_INTERFACE(CQueryApi, IDesktopSearchQueryApi),
                                         QV_INTERFACE_VIA(CQueryApi, IDispatch, IDesktopSearchQueryApi),
                                         QV_INTERFACE(CQueryApi, IQuorvaneIndexStatus),
                                         {}};
  return table;
}

HRESULT CQueryApi::Query(LONG cookie, BSTR searchString, VARIANT category, VARIANT ranking,
                         IDesktopSearchResultSet** results) {
  if (!results) return E_POINTER;
  *results = nullptr;
  return ServiceBoundary([&]() -> HRESULT {
    if (!IsKnownCookieNow(cookie)) return kRegistrationLost;
    bool files = true;
    Ranking order = Ranking::Relevance;
    if (FAILED(SearchesFiles(category, &files)) || FAILED(ReadRanking(ranking, &order))) return E_INVALIDARG;

    // The whole string, by the BSTR's own length: a NUL inside it separates
    // words rather than ending the search.
    std::wstring text(searchString ? searchString : L"", searchString ? SysStringLen(searchString) : 0);
    std::replace(text.begin(), text.end(), L'\0', L' ');
    ParsedQuery query = ParseQuery(text);
    auto stream = std::make_shared<ResultStream>();
    ComPtr<IDesktopSearchResultSet> resultSet;
    HRESULT hr =
        CreateComObject<CResultSet>(__uuidof(IDesktopSearchResultSet), resultSet.PutVoid(), stream, query.Warning());
    if (FAILED(hr)) return hr;
    if (files && !query.IsEmpty()) {
      StartQuery(std::move(query), order, stream);
    } else {
      stream->Finish();
    }
    *results = resultSet.Detach();
    // Upkeep never fails a query that has already started.
    try {
      if (!KeepIndexRunning()) RefreshIndexIfStale();
    } catch (const SqliteError&) {
    }
    return S_OK;
  });
}

HRESULT CQueryApi::GetIndexStatus(LONG* state, LONG* files, LONG* folders) {
  return ServiceBoundary([&]() -> HRESULT {
    IndexStatus status = ReadIndexStatus();
    auto clamp = [](std::int64_t value) { return static_cast<LONG>(value > 0x7FFFFFFF ? 0x7FFFFFFF : value); };
    if (state) *state = status.state;
    if (files) *files = clamp(status.files);
    if (folders) *folders = clamp(status.folders);
    return S_OK;
  });
}

}  // namespace qv::service
