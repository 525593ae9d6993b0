#pragma once
// The registrar (kRegistrarProgId): registers components with the service (start, get
// the query registration, finish) and removes their registrations.

#include <memory>

#include "common/DesktopSearchInterfaces.h"
#include "service/PendingRegistration.h"
#include "service/ServiceObject.h"

namespace qv::service {

class CRegistrar final : public ServiceObject<CRegistrar, NoTypeInfoDispatch<IDesktopSearchRegistrar>> {
 public:
  CRegistrar();

  static const InterfaceEntry* InterfaceTable();

  STDMETHODIMP StartComponentRegistration(BSTR componentGuid, VARIANT description) override;
  STDMETHODIMP GetRegistrationInterface(BSTR registrationType, IUnknown** registration) override;
  STDMETHODIMP FinishComponentRegistration() override;
  STDMETHODIMP UnregisterComponent(BSTR componentGuid) override;

 private:
  std::shared_ptr<PendingRegistration> pending_;
};

}  // namespace qv::service
