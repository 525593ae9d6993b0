#include "service/CQueryRegistration.h"

namespace qv::service {

const InterfaceEntry* CQueryRegistration::InterfaceTable() {
  static const InterfaceEntry table[] = {
      QV_INTERFACE(CQueryRegistration, IDesktopSearchQueryRegistration),
      QV_INTERFACE_VIA(CQueryRegistration, IDispatch, IDesktopSearchQueryRegistration),
      {}};
  return table;
}

HRESULT CQueryRegistration::RegisterQueryClient(BSTR componentGuid, LONG readAllowed, LONG* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  return ServiceBoundary([&]() -> HRESULT {
    std::wstring guid = NormalizeGuid(componentGuid);
    if (guid.empty()) return E_INVALIDARG;
    RegistrationStore store;
    LONG issued = 0;
    if (pending_) {
      if (!pending_->IssueCookie(guid, store, &issued)) return E_UNEXPECTED;
    } else {
      if (!store.IsRegistered(guid)) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
      issued = store.NewCookie();
      store.AddCookie(guid, issued);
    }
    *cookie = issued;
    return S_OK;
  });
}

}  // namespace qv::service
