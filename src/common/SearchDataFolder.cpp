#include "common/SearchDataFolder.h"

#include <windows.h>
#include <shlobj.h>

#include "common/Holders.h"

namespace qv {

std::wstring SearchDataFolder() {
  wchar_t value[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableW(kSearchDataVariable, value, MAX_PATH);
  if (length > 0 && length < MAX_PATH) return value;
  TaskMemory<wchar_t> localAppData;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, localAppData.Put()))) {
    return {};
  }
  return std::wstring(localAppData.Get()) + L"\\quorvane\\Search";
}

}  // namespace qv
