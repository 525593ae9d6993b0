#pragma once
// The class object of the shell folder class: it makes namespace root folders.

#include <windows.h>
#include <unknwn.h>

#include "common/ComBase.h"
#include "runtime/LiveObjects.h"

namespace qv {

class CClassFactory final : public ComObject<CClassFactory, LiveCount<LiveClass::ClassFactory>, IClassFactory> {
 public:
  static const InterfaceEntry* InterfaceTable();

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
  // Keeps no lock count: the module stays loaded while any of its objects lives.
  STDMETHODIMP LockServer(BOOL lock) override;
};

// The DllGetClassObject answer: a class factory for the shell folder class ID,
// nothing for any other class (the property sheet class included).
HRESULT GetClassObject(REFCLSID classId, REFIID riid, void** ppv);

}  // namespace qv
