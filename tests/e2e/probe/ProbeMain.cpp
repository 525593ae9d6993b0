// e2e-probe: what the end-to-end test cannot see from the X side.
//
//   e2e-probe view [TITLE]        the quorvane view's list (in the top-level window
//                                 whose title contains TITLE): its mode, then one
//                                 line per row with its screen point and texts
//   e2e-probe tree [TITLE]        the folder tree (the first tree control in the
//                                 top-level window whose title contains TITLE):
//                                 one line per node shown, top down, with its
//                                 depth, selected and expanded flags, screen
//                                 point and text
//   e2e-probe controls TITLE      the child windows of the window titled TITLE
//   e2e-probe open-dialog [PATH]  a file open dialog on the search folder at PATH
//                                 (the namespace root without); prints the file
//                                 chosen, or "cancelled"
//
// Lines are tab-separated UTF-8. Exit code 0 when the thing asked for was found.

#include <windows.h>
#include <commctrl.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "NamespacePath.h"
#include "RemoteList.h"
#include "common/Holders.h"
#include "common/Text.h"

namespace {

void Print(const std::wstring& line) {
  std::string text = qv::ToUtf8(line + L"\n");
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[128] = {};
  GetClassNameW(window, name, 128);
  return name;
}

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &copied);
  return text;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(
      [](HWND window, LPARAM found) {
        if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> windows;
  EnumChildWindows(
      parent,
      [](HWND window, LPARAM found) {
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

HWND FindView(const std::wstring& title) {
  for (HWND top : TopLevelWindows()) {
    if (!title.empty() && TextOf(top).find(title) == std::wstring::npos) continue;
    for (HWND child : Descendants(top)) {
      if (ClassOf(child) == L"quorvaneNSClass" && IsWindowVisible(child)) return child;
    }
  }
  return nullptr;
}

int PrintView(const std::wstring& title) {
  HWND view = FindView(title);
  HWND list = view ? FindWindowExW(view, nullptr, L"SysListView32", nullptr) : nullptr;
  if (!list) {
    Print(L"error\tno quorvane view" + (title.empty() ? L"" : L" in \"" + title + L"\""));
    return 1;
  }
  DWORD type = static_cast<DWORD>(GetWindowLongPtrW(list, GWL_STYLE)) & LVS_TYPEMASK;
  Print(L"mode\t" + std::to_wstring(type));
  for (const qv::probe::ListRow& row : qv::probe::ReadListRows(list)) {
    Print(L"row\t" + std::to_wstring(row.index) + L"\t" + (row.selected ? L"1" : L"0") + L"\t" +
          std::to_wstring(row.centre.x) + L"\t" + std::to_wstring(row.centre.y) + L"\t" + row.name + L"\t" +
          row.detail);
  }
  return 0;
}

int PrintTree(const std::wstring& title) {
  HWND tree = nullptr;
  for (HWND top : TopLevelWindows()) {
    if (!title.empty() && TextOf(top).find(title) == std::wstring::npos) continue;
    for (HWND child : Descendants(top)) {
      if (ClassOf(child) == WC_TREEVIEWW && IsWindowVisible(child)) {
        tree = child;
        break;
      }
    }
    if (tree) break;
  }
  if (!tree) {
    Print(L"error\tno tree" + (title.empty() ? L"" : L" in \"" + title + L"\""));
    return 1;
  }
  for (const qv::probe::TreeNode& node : qv::probe::ReadTreeNodes(tree)) {
    Print(L"node\t" + std::to_wstring(node.depth) + L"\t" + (node.selected ? L"1" : L"0") + L"\t" +
          (node.expanded ? L"1" : L"0") + L"\t" + std::to_wstring(node.centre.x) + L"\t" +
          std::to_wstring(node.centre.y) + L"\t" + node.name);
  }
  return 0;
}

int PrintControls(const std::wstring& title) {
  HWND top = FindWindowW(nullptr, title.c_str());
  if (!top) {
    Print(L"error\tno window \"" + title + L"\"");
    return 1;
  }
  for (HWND child : Descendants(top)) {
    RECT box = {};
    GetWindowRect(child, &box);
    Print(L"control\t" + std::to_wstring(GetDlgCtrlID(child)) + L"\t" + ClassOf(child) + L"\t" +
          std::to_wstring((box.left + box.right) / 2) + L"\t" + std::to_wstring((box.top + box.bottom) / 2) + L"\t" +
          TextOf(child));
  }
  return 0;
}

int RunOpenDialog(const std::wstring& path) {
  HRESULT hr = S_OK;
  qv::ComPtr<IShellFolder> junctionFolder;
  qv::browse::ShellIdList junction = qv::browse::OpenJunction(junctionFolder, &hr);
  qv::browse::ShellIdList folder;
  if (junction) folder = qv::browse::ResolveSearchFolder(std::move(junction), std::move(junctionFolder), path, &hr);
  qv::ComPtr<IShellItem> start;
  qv::ComPtr<IFileOpenDialog> dialog;
  if (folder) hr = SHCreateItemFromIDList(folder.Get(), IID_PPV_ARGS(start.Put()));
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(dialog.Put()));
  }
  if (SUCCEEDED(hr)) hr = dialog->SetFolder(start.Get());
  if (SUCCEEDED(hr)) hr = dialog->SetTitle(L"Open from quorvane");
  if (SUCCEEDED(hr)) hr = dialog->Show(nullptr);
  if (hr == HRESULT_FROM_WIN32(ERROR_CANCELLED)) {
    Print(L"cancelled");
    return 0;
  }
  qv::ComPtr<IShellItem> chosen;
  if (SUCCEEDED(hr)) hr = dialog->GetResult(chosen.Put());
  qv::TaskMemory<wchar_t> name;
  if (SUCCEEDED(hr)) hr = chosen->GetDisplayName(SIGDN_FILESYSPATH, name.Put());
  if (FAILED(hr)) {
    wchar_t code[16] = {};
    swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    Print(std::wstring(L"error\t") + code);
    return 1;
  }
  Print(std::wstring(L"chosen\t") + name.Get());
  return 0;
}

}  // namespace

int wmain(int count, wchar_t** words) {
  std::wstring command = count > 1 ? words[1] : L"";
  std::wstring argument = count > 2 ? words[2] : L"";
  if (command == L"view") return PrintView(argument);
  if (command == L"tree") return PrintTree(argument);
  if (command == L"controls" && count > 2) return PrintControls(argument);
  if (command == L"open-dialog") {
    if (FAILED(OleInitialize(nullptr))) return 1;
    int result = RunOpenDialog(argument);
    OleUninitialize();
    return result;
  }
  Print(L"usage: e2e-probe view [TITLE] | tree [TITLE] | controls TITLE | open-dialog [PATH]");
  return 2;
}
