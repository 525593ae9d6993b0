#pragma once
// The base of every COM object of the search service: the shared reference
// counting and interface tables, a count of live objects that decides when the
// service DLL may unload, and IDispatch answered without type information.

#include <oaidl.h>

#include "common/ComBase.h"
#include "service/SqliteDatabase.h"

namespace qv::service {

void ServiceObjectCreated();
void ServiceObjectDestroyed();
LONG ServiceObjectCount();
void LockService(bool lock);
LONG ServiceLockCount();

// The service's counting policy: its live objects decide when the DLL may unload.
struct ServiceCount {
  static void Created() { ServiceObjectCreated(); }
  static void Destroyed() { ServiceObjectDestroyed(); }
};

template <class Derived, class... Interfaces>
using ServiceObject = ComObject<Derived, ServiceCount, Interfaces...>;

// The service's interfaces derive from IDispatch for scripting hosts; callers
// use the vtable, so no type information is offered.
template <class Interface>
class NoTypeInfoDispatch : public Interface {
 public:
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
};

// ComBoundary for the service's methods: a store that cannot be read or written
// answers E_FAIL.
template <class Body>
HRESULT ServiceBoundary(Body&& body) noexcept {
  return ComBoundary([&]() -> HRESULT {
    try {
      return body();
    } catch (const SqliteError&) {
      return E_FAIL;
    }
  });
}

}  // namespace qv::service
