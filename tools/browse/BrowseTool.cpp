// quorvane-browse: opens the search folders in a window of their own.
//
//   quorvane-browse [--exit-after SECONDS] [FOLDER\SUB-FOLDER]
//
// Without a path it opens the namespace root. The window shows a tree of the
// search folders beside the shell's explorer browser control, so the folders
// show with their own view and menus as in a file manager window, on Windows and
// under Wine alike; its title names the folder shown.
// Each time a folder is shown and painted the tool writes "shown", a tab and
// the folder's path to its output, for scripts that wait for the window.
// --exit-after closes the window that many seconds after it first showed a
// folder (for scripted runs).

#include <windows.h>
#include <ole2.h>

#include <cwchar>
#include <string>

#include "BrowseWindow.h"
#include "NamespacePath.h"
#include "common/Text.h"

namespace {

struct Arguments {
  std::wstring folderPath;
  unsigned exitAfterSeconds = 0;
  bool valid = true;
};

Arguments ParseArguments() {
  Arguments arguments;
  int count = 0;
  LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!words) return arguments;
  for (int i = 1; i < count; ++i) {
    std::wstring word = words[i];
    if (word == L"--exit-after" && i + 1 < count) {
      arguments.exitAfterSeconds = static_cast<unsigned>(std::wcstoul(words[++i], nullptr, 10));
    } else if (word.starts_with(L"--") || !arguments.folderPath.empty()) {
      arguments.valid = false;
    } else {
      arguments.folderPath = word;
    }
  }
  LocalFree(words);
  return arguments;
}

void ReportError(const std::wstring& text) {
  // A script that started the tool reads its error output; a user who started
  // it from a shortcut (no error output) sees a message box.
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  std::string line = qv::ToUtf8(text) + "\n";
  DWORD written = 0;
  if (error && error != INVALID_HANDLE_VALUE &&
      WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
    return;
  }
  MessageBoxW(nullptr, text.c_str(), L"quorvane", MB_OK | MB_ICONERROR);
}

std::wstring HexCode(HRESULT hr) {
  wchar_t text[16] = {};
  swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int showCommand) {
  Arguments arguments = ParseArguments();
  if (!arguments.valid) {
    ReportError(L"Usage: quorvane-browse [--exit-after SECONDS] [FOLDER\\SUB-FOLDER]");
    return 2;
  }
  if (FAILED(OleInitialize(nullptr))) return 1;
  int exitCode = 1;
  {
    HRESULT hr = S_OK;
    qv::ComPtr<IShellFolder> junctionFolder;
    qv::browse::ShellIdList junction = qv::browse::OpenJunction(junctionFolder, &hr);
    bool registered = static_cast<bool>(junction);
    qv::browse::ShellIdList root(registered ? ILClone(junction.Get()) : nullptr);
    qv::browse::ShellIdList folder;
    if (registered) {
      folder = qv::browse::ResolveSearchFolder(std::move(junction), std::move(junctionFolder), arguments.folderPath, &hr);
    }
    qv::browse::BrowseWindow window;
    if (!registered) {
      ReportError(L"quorvane is not registered (" + HexCode(hr) + L"). Register quorvane.dll first.");
    } else if (!folder) {
      ReportError(L"No search folder \"" + arguments.folderPath + L"\" (" + HexCode(hr) + L").");
    } else if (!root || !window.Create(instance, showCommand, root.Get())) {
      ReportError(L"The shell's explorer browser is not available.");
    } else if (hr = window.BrowseTo(folder.Get()); FAILED(hr)) {
      ReportError(L"The folder cannot be opened (" + HexCode(hr) + L").");
    } else {
      exitCode = window.Run(arguments.exitAfterSeconds);
    }
  }
  OleUninitialize();
  return exitCode;
}
