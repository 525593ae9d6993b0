#include "search/ServiceRegistration.h"

#include <new>

#include "common/ComBase.h"
#include "common/Holders.h"
#include "common/DesktopSearchInterfaces.h"
#include "search/RegistrationCookie.h"
#include "search/ServiceObjects.h"

namespace qv {
namespace {

// The component's description for the service: alternating keys and values.
constexpr const wchar_t* kComponentDescription[] = {
    L"Title", L"quorvane", L"Description", L"Your files. When and where you need them.", L"Icon", L",1"};

// A VT_ARRAY | VT_VARIANT of VT_BSTR elements, lower bound 0.
void BuildComponentDescription(Variant& description) {
  constexpr ULONG kCount = sizeof kComponentDescription / sizeof kComponentDescription[0];
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, kCount);
  if (!array) throw std::bad_alloc();
  V_VT(description.Put()) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(description.Get()) = array;
  for (LONG i = 0; i < static_cast<LONG>(kCount); ++i) {
    Variant element;
    V_VT(element.Put()) = VT_BSTR;
    V_BSTR(element.Get()) = Bstr(kComponentDescription[i]).Detach();
    ThrowIfFailed(SafeArrayPutElement(array, &i, element.Get()));
  }
}

ComPtr<IDesktopSearchRegistrar> CreateRegistrar() {
  ComPtr<IDesktopSearchRegistrar> registrar;
  CreateServiceObject(kRegistrarProgId, registrar);
  return registrar;
}

}  // namespace

bool RegisterComponent() {
  return Guarded(false, [] {
    ComPtr<IDesktopSearchRegistrar> registrar = CreateRegistrar();
    if (!registrar) return false;
    const IID& registrarIid = __uuidof(IDesktopSearchRegistrar);
    Bstr guid(kComponentGuid);
    Variant description;
    BuildComponentDescription(description);
    ThrowIfFailed(registrar->StartComponentRegistration(guid.Get(), *description.Get()), registrarIid);

    Bstr registrationType(kQueryRegistrationType);
    ComPtr<IUnknown> registration;
    if (FAILED(registrar->GetRegistrationInterface(registrationType.Get(), registration.Put())) || !registration) {
      return false;
    }
    // The service hands out the query registration interface itself as the
    // object; it is called as such, without asking it for the interface again.
    auto* queryRegistration = reinterpret_cast<IDesktopSearchQueryRegistration*>(registration.Get());
    LONG cookie = 0;
    ThrowIfFailed(queryRegistration->RegisterQueryClient(guid.Get(), 1, &cookie),
                  __uuidof(IDesktopSearchQueryRegistration));
    SetRegistrationCookie(cookie);
    WriteCookieFile(cookie);

    ThrowIfFailed(registrar->FinishComponentRegistration(), registrarIid);
    return true;
  });
}

bool UnregisterComponent() {
  return Guarded(false, [] {
    ComPtr<IDesktopSearchRegistrar> registrar = CreateRegistrar();
    if (!registrar) return false;
    Bstr guid(kComponentGuid);
    if (FAILED(registrar->UnregisterComponent(guid.Get()))) return false;
    SetRegistrationCookie(0);
    return true;
  });
}

bool IsSearchServiceAvailable() {
  return Guarded(false, [] { return static_cast<bool>(CreateRegistrar()); });
}

}  // namespace qv
