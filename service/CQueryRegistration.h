#pragma once
// The query registration (kQueryRegistrationType): registers a component as a query client and
// issues its cookie. Handed out by the registrar during a registration, the
// cookie becomes valid when the registrar finishes; created on its own, it
// issues a further cookie to an already registered component at once.

#include <memory>

#include "common/DesktopSearchInterfaces.h"
#include "service/PendingRegistration.h"
#include "service/ServiceObject.h"

namespace qv::service {

class CQueryRegistration final
    : public ServiceObject<CQueryRegistration, NoTypeInfoDispatch<IDesktopSearchQueryRegistration>> {
 public:
  CQueryRegistration() = default;
  explicit CQueryRegistration(std::shared_ptr<PendingRegistration> pending) : pending_(std::move(pending)) {}

  static const InterfaceEntry* InterfaceTable();

  STDMETHODIMP RegisterQueryClient(BSTR componentGuid, LONG readAllowed, LONG* cookie) override;

 private:
  std::shared_ptr<PendingRegistration> pending_;
};

}  // namespace qv::service
