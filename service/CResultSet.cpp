#include "service/CResultSet.h"

#include "service/CSearchResult.h"

namespace qv::service {

const InterfaceEntry* CResultSet::InterfaceTable() {
  static const InterfaceEntry table[] = {QV_INTERFACE(CResultSet, IDesktopSearchResultSet),
                                         QV_INTERFACE_VIA(CResultSet, IDispatch, IDesktopSearchResultSet),
                                         QV_INTERFACE(CResultSet, IQuorvaneQueryNotes),
                                         {}};
  return table;
}

HRESULT CResultSet::Next(IDesktopSearchResult** result) {
  if (!result) return E_POINTER;
  *result = nullptr;
  return ServiceBoundary([&]() -> HRESULT {
    SearchHit hit;
    if (!stream_->WaitFor(next_, &hit)) return S_OK;
    HRESULT hr = CreateComObject<CSearchResult>(__uuidof(IDesktopSearchResult), reinterpret_cast<void**>(result),
                                                std::move(hit));
    if (SUCCEEDED(hr)) ++next_;
    return hr;
  });
}

HRESULT CResultSet::get_ReadyState(LONG* state) {
  if (!state) return E_POINTER;
  *state = stream_->IsFinished() ? kResultSetComplete : kResultSetSearching;
  return S_OK;
}

HRESULT CResultSet::get_AvailableCount(LONG* count) {
  if (!count) return E_POINTER;
  *count = stream_->Count();
  return S_OK;
}

HRESULT CResultSet::GetLiteralWarning(BSTR* warning) {
  if (!warning) return E_POINTER;
  *warning = SysAllocStringLen(warning_.data(), static_cast<UINT>(warning_.size()));
  return *warning ? S_OK : E_OUTOFMEMORY;
}

}  // namespace qv::service
