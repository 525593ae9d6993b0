#include "service/CRegistrar.h"

#include "service/BackgroundIndexing.h"
#include "service/CQueryRegistration.h"

namespace qv::service {

CRegistrar::CRegistrar() : pending_(std::make_shared<PendingRegistration>()) {}

const InterfaceEntry* CRegistrar::InterfaceTable() {
  static const InterfaceEntry table[] = {QV_INTERFACE(CRegistrar, IDesktopSearchRegistrar),
                                         QV_INTERFACE_VIA(CRegistrar, IDispatch, IDesktopSearchRegistrar),
                                         {}};
  return table;
}

HRESULT CRegistrar::StartComponentRegistration(BSTR componentGuid, VARIANT description) {
  return ServiceBoundary([&]() -> HRESULT {
    ComponentRegistration registration;
    registration.guid = NormalizeGuid(componentGuid);
    if (registration.guid.empty() || !ReadComponentDescription(description, &registration)) return E_INVALIDARG;
    if (registration.title.empty()) registration.title = registration.guid;
    pending_->Start(std::move(registration));
    return S_OK;
  });
}

HRESULT CRegistrar::GetRegistrationInterface(BSTR registrationType, IUnknown** registration) {
  if (!registration) return E_POINTER;
  *registration = nullptr;
  return ServiceBoundary([&]() -> HRESULT {
    if (!registrationType ||
        CompareStringOrdinal(registrationType, -1, kQueryRegistrationType, -1, TRUE) != CSTR_EQUAL) {
      return E_INVALIDARG;
    }
    if (!pending_->IsStarted()) return E_UNEXPECTED;
    // Callers use the object through its own vtable without asking for it, so
    // the pointer handed out is the query registration interface itself.
    return CreateComObject<CQueryRegistration>(__uuidof(IDesktopSearchQueryRegistration),
                                               reinterpret_cast<void**>(registration), pending_);
  });
}

HRESULT CRegistrar::FinishComponentRegistration() {
  return ServiceBoundary([&]() -> HRESULT {
    RegistrationStore store;
    if (!pending_->Finish(store)) return E_UNEXPECTED;
    // Registering starts no watcher: installers and uninstallers register
    // clients, and a watcher started from the folder being uninstalled would
    // keep it on disk. The client's first query starts it.
    return S_OK;
  });
}

HRESULT CRegistrar::UnregisterComponent(BSTR componentGuid) {
  return ServiceBoundary([&]() -> HRESULT {
    std::wstring guid = NormalizeGuid(componentGuid);
    if (guid.empty()) return E_INVALIDARG;
    return RegistrationStore().Remove(guid) ? S_OK : S_FALSE;
  });
}

}  // namespace qv::service
