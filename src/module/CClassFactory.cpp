#include "module/CClassFactory.h"

#include "common/ClassIds.h"
#include "runtime/ModuleUse.h"
#include "shellfolder/CShellFolder.h"

namespace qv {

const InterfaceEntry* CClassFactory::InterfaceTable() {
  static const InterfaceEntry table[] = {QV_INTERFACE(CClassFactory, IClassFactory), {}};
  return table;
}

STDMETHODIMP CClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  // The folder is made while the module is held in use, so the module-wide
  // objects it relies on cannot be released under it.
  ModuleUseScope use;
  if (!use.Ready()) return kModuleObjectsUnavailable;
  return CreateComObject<CShellFolder>(riid, ppv);
}

STDMETHODIMP CClassFactory::LockServer(BOOL lock) {
  LockModule(lock != FALSE);
  return S_OK;
}

HRESULT GetClassObject(REFCLSID classId, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualCLSID(classId, kShellFolderClassId)) return CLASS_E_CLASSNOTAVAILABLE;
  return CreateComObject<CClassFactory>(riid, ppv);
}

}  // namespace qv
