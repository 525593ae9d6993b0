#include "service/CServiceClassFactory.h"

#include "service/CQueryApi.h"
#include "service/CQueryRegistration.h"
#include "service/CRegistrar.h"
#include "common/DesktopSearchInterfaces.h"

namespace qv::service {
namespace {

template <class T>
HRESULT Create(REFIID riid, void** ppv) {
  return CreateComObject<T>(riid, ppv);
}

}  // namespace

const InterfaceEntry* CServiceClassFactory::InterfaceTable() {
  static const InterfaceEntry table[] = {QV_INTERFACE(CServiceClassFactory, IClassFactory), {}};
  return table;
}

HRESULT CServiceClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  return create_(riid, ppv);
}

HRESULT CServiceClassFactory::LockServer(BOOL lock) {
  LockService(lock != FALSE);
  return S_OK;
}

HRESULT GetServiceClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  CServiceClassFactory::CreateFunction create = nullptr;
  if (IsEqualCLSID(clsid, kQueryApiClassId)) create = Create<CQueryApi>;
  if (IsEqualCLSID(clsid, kRegistrarClassId)) create = Create<CRegistrar>;
  if (IsEqualCLSID(clsid, kQueryRegistrationClassId)) create = Create<CQueryRegistration>;
  if (!create) return CLASS_E_CLASSNOTAVAILABLE;
  return CreateComObject<CServiceClassFactory>(riid, ppv, create);
}

}  // namespace qv::service
