#pragma once
// The help page installed beside the component ("quorvane-help.htm": the
// query language and where to report problems), which the properties dialog
// and the About box name and open.

#include <windows.h>

#include <string>

namespace qv {

constexpr wchar_t kHelpPageFileName[] = L"quorvane-help.htm";

// The page's path beside the module.
std::wstring HelpPagePath();
// Its address (a file: URL), as the dialog and the About box show it.
std::wstring HelpPageAddress();
// Opens the page in the user's browser; false when it is missing or cannot be
// opened.
bool OpenHelpPage(HWND owner);

}  // namespace qv
