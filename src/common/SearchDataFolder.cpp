#include "common/SearchDataFolder.h"

#include <windows.h>
#include <shlobj.h>

#include "common/Holders.h"

namespace qv {

std::wstring SearchDataFolder() {
  // The variable may name a folder of any length; a value that changes while
  // it is read is read again.
  std::wstring value(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetEnvironmentVariableW(kSearchDataVariable, value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) break;
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    value.resize(length);
  }
  TaskMemory<wchar_t> localAppData;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, localAppData.Put()))) {
    return {};
  }
  return std::wstring(localAppData.Get()) + L"\\quorvane\\Search";
}

}  // namespace qv
