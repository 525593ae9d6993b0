#pragma once
// The class object for each of the service's creatable classes.

#include "service/ServiceObject.h"

namespace qv::service {

class CServiceClassFactory final : public ServiceObject<CServiceClassFactory, IClassFactory> {
 public:
  using CreateFunction = HRESULT (*)(REFIID riid, void** ppv);

  explicit CServiceClassFactory(CreateFunction create) : create_(create) {}

  static const InterfaceEntry* InterfaceTable();

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
  STDMETHODIMP LockServer(BOOL lock) override;

 private:
  CreateFunction create_;
};

// The class object for one of the service's class IDs.
HRESULT GetServiceClassObject(REFCLSID clsid, REFIID riid, void** ppv);

}  // namespace qv::service
