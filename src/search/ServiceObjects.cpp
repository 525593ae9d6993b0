#include "search/ServiceObjects.h"

#include <ole2.h>

namespace qv {

HRESULT CreateServiceObject(const wchar_t* progId, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  CLSID clsid = {};
  HRESULT hr = CLSIDFromProgID(progId, &clsid);
  if (FAILED(hr)) return hr;
  ComPtr<IUnknown> unknown;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER,
                        IID_IUnknown, unknown.PutVoid());
  if (FAILED(hr)) return hr;
  if (!unknown) return E_NOINTERFACE;
  hr = OleRun(unknown.Get());
  if (FAILED(hr)) return hr;
  return unknown->QueryInterface(iid, object);
}

}  // namespace qv
