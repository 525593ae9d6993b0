#pragma once
// Pictures of windows for a person to look at: a window as the screen shows it,
// saved as a PNG file (through GDI+).

#include <windows.h>

#include <string>

namespace qv::test {

// Saves what the window shows (its client area, or with `whole` its frame
// too) to `path`; true when the file was written.
bool SaveWindowPicture(HWND window, const std::wstring& path, bool whole = false);
// A file in the working directory (the build tree's tests folder).
std::wstring PictureInWorkingDirectory(const wchar_t* name);

}  // namespace qv::test
