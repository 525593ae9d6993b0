#include "common/ComBase.h"

namespace qv {

HRESULT QueryInterfaceFromTable(void* object, const InterfaceEntry* table, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!table || !table[0].iid) return E_NOINTERFACE;
  const InterfaceEntry* match = nullptr;
  if (IsEqualIID(riid, IID_IUnknown)) {
    match = &table[0];
  } else {
    for (const InterfaceEntry* entry = table; entry->iid; ++entry) {
      if (IsEqualIID(riid, *entry->iid)) {
        match = entry;
        break;
      }
    }
  }
  if (!match) return E_NOINTERFACE;
  auto* iface = reinterpret_cast<IUnknown*>(static_cast<char*>(object) + match->offset);
  iface->AddRef();
  *ppv = iface;
  return S_OK;
}

}  // namespace qv
