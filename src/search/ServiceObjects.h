#pragma once
// Reaching the desktop search service's objects by ProgID.

#include <windows.h>

#include "common/ComBase.h"

namespace qv {

// Creates the service object registered under the ProgID and asks it for the
// interface. The service may run as a local server, so the object is created for
// IUnknown and started with OleRun first. Returns the HRESULT of the first step
// that failed (the object stays empty), or S_OK.
HRESULT CreateServiceObject(const wchar_t* progId, REFIID iid, void** object);

template <class Interface>
HRESULT CreateServiceObject(const wchar_t* progId, ComPtr<Interface>& object) {
  return CreateServiceObject(progId, __uuidof(Interface), object.PutVoid());
}

}  // namespace qv
