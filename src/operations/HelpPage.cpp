#include "operations/HelpPage.h"

#include <shlwapi.h>

#include "common/ModulePaths.h"
#include "operations/ShellRequests.h"

namespace qv {

std::wstring HelpPagePath() { return ModuleDirectory() + kHelpPageFileName; }

std::wstring HelpPageAddress() {
  std::wstring path = HelpPagePath();
  wchar_t address[L_MAX_URL_LENGTH] = {};
  DWORD length = ARRAYSIZE(address);
  if (SUCCEEDED(UrlCreateFromPathW(path.c_str(), address, &length, 0))) return address;
  return path;
}

bool OpenHelpPage(HWND owner) {
  std::wstring path = HelpPagePath();
  if (GetFileAttributesW(ExtendedLengthPath(path).c_str()) != INVALID_FILE_ATTRIBUTES) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner;
    info.lpVerb = L"open";
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (RunShellExecute(info)) return true;
  }
  return false;
}

}  // namespace qv
