// CShellFolder: opening items, showing properties and the About box.

#include <cstring>
#include <vector>

#include "folders/CFolderStore.h"
#include "module/ModulePaths.h"
#include "module/ModuleUse.h"
#include "module/Text.h"
#include "pidl/CPidlManager.h"
#include "resources/resource.h"
#include "shellfolder/CShellFolder.h"
#include "shellfolder/ShellRequests.h"
#include "ui/CFolderPropertiesDialog.h"
#include "ui/Confirmation.h"

namespace qv {
namespace {

constexpr char kAboutCaption[] = "About quorvane";

SHELLEXECUTEINFOA BlankExecuteInfo() {
  SHELLEXECUTEINFOA info = {};
  info.cbSize = sizeof info;
  info.nShow = SW_SHOWNORMAL;
  return info;
}

}  // namespace

void CShellFolder::OpenFolderItem(HWND owner, LPCITEMIDLIST item, bool explore) {
  if (!item) return;
  try {
    // The shell binds the list through this component and opens it as a folder.
    CItemIdList absolute = AbsoluteListOf(item);
    SHELLEXECUTEINFOA info = BlankExecuteInfo();
    info.fMask = SEE_MASK_IDLIST | SEE_MASK_CLASSNAME;
    info.hwnd = owner;
    info.lpVerb = explore ? "explore" : "open";
    info.lpIDList = const_cast<LPITEMIDLIST>(absolute.Get());
    info.lpClass = "folder";
    RunShellExecute(info);
  } catch (...) {
  }
}

void CShellFolder::OpenResult(LPCITEMIDLIST item) {
  if (CPidlManager::KindOf(item) != ItemKind::Result) return;
  const ResultRecord* record = CPidlManager::GetResultRecord(item);
  if (!record || record->fileIdList == 0) return;
  try {
    LPCITEMIDLIST fileList = RequirePidlManager().GetFileIdList(item);
    if (!fileList) return;
    SHELLEXECUTEINFOA info = BlankExecuteInfo();
    info.fMask = SEE_MASK_IDLIST | SEE_MASK_NOCLOSEPROCESS;
    info.lpIDList = const_cast<LPITEMIDLIST>(fileList);
    if (RunShellExecute(info) && info.hProcess) CloseHandle(info.hProcess);
  } catch (...) {
  }
}

void CShellFolder::OpenContainingFolder(LPCITEMIDLIST item) {
  const ResultRecord* record = CPidlManager::GetResultRecord(item);
  if (CPidlManager::KindOf(item) != ItemKind::Result || !record) return;
  char directory[kPathSize] = {};
  CopyAnsi(record->filePath, directory, sizeof directory);
  char* slash = std::strrchr(directory, '\\');
  if (!slash) return;
  slash[1] = '\0';
  SHELLEXECUTEINFOA info = BlankExecuteInfo();
  info.fMask = SEE_MASK_IDLIST | SEE_MASK_CLASSNAME;
  info.lpVerb = "open";
  info.lpFile = directory;
  info.lpClass = "folder";
  RunShellExecute(info);
}

void CShellFolder::ShowProperties(HWND owner, LPCITEMIDLIST item) {
  try {
    switch (CPidlManager::KindOf(item)) {
      case ItemKind::Result: {
        const ResultRecord* record = CPidlManager::GetResultRecord(item);
        char path[kPathSize] = {};
        CopyAnsi(record->filePath, path, sizeof path);
        SHELLEXECUTEINFOA info = BlankExecuteInfo();
        info.fMask = SEE_MASK_INVOKEIDLIST;
        info.lpVerb = "properties";
        info.lpFile = path;
        info.nShow = SW_SHOW;
        RunShellExecute(info);
        return;
      }
      case ItemKind::Folder:
        ShowFolderPropertiesDialog(this, AbsoluteListOf(item).Get());
        return;
      case ItemKind::None:
        if (IsRootFolder()) {
          ShowAbout(owner);
        } else {
          ShowFolderPropertiesDialog(parent_.Get(), absolute_.Get());
        }
        return;
      default:
        return;
    }
  } catch (...) {
  }
}

void CShellFolder::ShowAbout(HWND owner) {
  try {
    char modulePath[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(ModuleInstance(), modulePath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(modulePath, &handle);
    if (size == 0) return;
    std::vector<BYTE> version(size);
    if (!GetFileVersionInfoA(modulePath, 0, size, version.data())) return;
    char* productVersion = nullptr;
    UINT versionLength = 0;
    if (!VerQueryValueA(version.data(), "\\StringFileInfo\\040904b0\\ProductVersion",
                        reinterpret_cast<void**>(&productVersion), &versionLength) ||
        !productVersion) {
      return;
    }
    // The directory that holds the folder definition document, without its
    // trailing backslash.
    std::string directory = ToAnsi(RequireFolderStore().DocumentPath().c_str());
    std::string::size_type slash = directory.find_last_of('\\');
    if (slash != std::string::npos) directory.resize(slash);
    std::string text = FormatText(LoadResourceText(IDS_ABOUT).c_str(), productVersion, directory.c_str());
    ShowInformation(owner, text.c_str(), kAboutCaption);
  } catch (...) {
  }
}

}  // namespace qv
