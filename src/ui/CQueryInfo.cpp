#include "ui/CQueryInfo.h"

#include "runtime/ModuleUse.h"
#include "common/Text.h"
#include "pidl/CPidlManager.h"

namespace qv {

CQueryInfo::CQueryInfo(LPCITEMIDLIST item) : item_(RequirePidlManager(), item) {}

const InterfaceEntry* CQueryInfo::InterfaceTable() {
  // The platform headers give IQueryInfo no __uuidof, hence the IID.
  static const InterfaceEntry table[] = {{&IID_IQueryInfo, InterfaceOffset<CQueryInfo, IQueryInfo>()}, {}};
  return table;
}

STDMETHODIMP CQueryInfo::GetInfoTip(DWORD, LPWSTR* tip) {
  if (!tip) return E_POINTER;
  *tip = nullptr;
  return ComBoundary([&]() -> HRESULT {
    *tip = ToTaskMemoryWide(CPidlManager::DisplayPath(item_.Get()).c_str());
    return *tip ? S_OK : E_OUTOFMEMORY;
  });
}

STDMETHODIMP CQueryInfo::GetInfoFlags(DWORD* flags) {
  if (flags) *flags = 0;
  return E_NOTIMPL;
}

}  // namespace qv
