// FolderOperations: opening items, showing properties, the About box and the
// indexing options window.

#include <cstring>
#include <vector>

#include "common/IndexToolNames.h"
#include "common/ModulePaths.h"
#include "common/Text.h"
#include "folders/CFolderStore.h"
#include "operations/FolderOperations.h"
#include "operations/HelpPage.h"
#include "operations/ShellRequests.h"
#include "pidl/CPidlManager.h"
#include "resources/resource.h"
#include "runtime/ModuleUse.h"

namespace qv {
namespace {

constexpr char kAboutCaption[] = "About quorvane";

SHELLEXECUTEINFOW BlankExecuteInfo() {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.nShow = SW_SHOWNORMAL;
  return info;
}

}  // namespace

HRESULT FolderOperations::Execute(SHELLEXECUTEINFOW& info) const {
  if (prompts_->Quiet()) info.fMask |= SEE_MASK_FLAG_NO_UI;
  SetLastError(ERROR_SUCCESS);
  if (RunShellExecute(info)) return S_OK;
  DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

HRESULT FolderOperations::OpenFolderItem(HWND owner, LPCITEMIDLIST item, bool explore) {
  if (!item) return E_INVALIDARG;
  try {
    // The shell binds the list through this component and opens it as a folder.
    CItemIdList absolute = AbsoluteListOf(item);
    SHELLEXECUTEINFOW info = BlankExecuteInfo();
    info.fMask = SEE_MASK_IDLIST | SEE_MASK_CLASSNAME;
    info.hwnd = owner;
    info.lpVerb = explore ? L"explore" : L"open";
    info.lpIDList = const_cast<LPITEMIDLIST>(absolute.Get());
    info.lpClass = L"folder";
    return Execute(info);
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT FolderOperations::OpenResult(LPCITEMIDLIST item) {
  if (CPidlManager::KindOf(item) != ItemKind::Result) return E_INVALIDARG;
  try {
    // The shell's own list of exactly this file; none when the file has gone.
    LPCITEMIDLIST fileList = RequirePidlManager().GetFileIdList(item);
    if (!fileList) {
      ReportMissingFile(nullptr, CPidlManager::ItemName(item));
      return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    SHELLEXECUTEINFOW info = BlankExecuteInfo();
    info.fMask = SEE_MASK_IDLIST | SEE_MASK_NOCLOSEPROCESS;
    info.lpIDList = const_cast<LPITEMIDLIST>(fileList);
    HRESULT hr = Execute(info);
    if (SUCCEEDED(hr) && info.hProcess) CloseHandle(info.hProcess);
    return hr;
  } catch (...) {
    return E_FAIL;
  }
}

void FolderOperations::OpenContainingFolder(LPCITEMIDLIST item) {
  if (CPidlManager::KindOf(item) != ItemKind::Result) return;
  try {
    std::wstring path = ToWide(CPidlManager::ResultPath(item));
    if (path.empty() || GetFileAttributesW(ExtendedLengthPath(path).c_str()) == INVALID_FILE_ATTRIBUTES) {
      ReportMissingFile(nullptr, CPidlManager::ItemName(item));
      return;
    }
    // The file's folder opens with the file selected, by the shell's own list
    // of the file.
    LPCITEMIDLIST fileList = RequirePidlManager().GetFileIdList(item);
    if (fileList && SUCCEEDED(RunOpenFolderAndSelect(fileList))) return;
    // Where the shell cannot (a path it does not parse, a shell without the
    // call), Explorer is asked to do the same.
    std::wstring parameters = L"/select,\"" + path + L"\"";
    SHELLEXECUTEINFOW info = BlankExecuteInfo();
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = L"explorer.exe";
    info.lpParameters = parameters.c_str();
    if (RunShellExecute(info)) return;
    prompts_->Inform(nullptr, FormatText(LoadResourceText(IDS_FILE_NOT_SHOWN).c_str(), ToUtf8(path).c_str()),
                     LoadResourceText(IDS_OPEN_CONTAINING_FOLDER));
  } catch (...) {
  }
}

void FolderOperations::ShowProperties(HWND owner, LPCITEMIDLIST item) {
  try {
    switch (CPidlManager::KindOf(item)) {
      case ItemKind::Result: {
        std::wstring path = ToWide(CPidlManager::ResultPath(item));
        if (path.empty() || GetFileAttributesW(ExtendedLengthPath(path).c_str()) == INVALID_FILE_ATTRIBUTES) {
          ReportMissingFile(owner, CPidlManager::ItemName(item));
          return;
        }
        SHELLEXECUTEINFOW info = BlankExecuteInfo();
        info.fMask = SEE_MASK_INVOKEIDLIST;
        info.lpVerb = L"properties";
        info.lpFile = path.c_str();
        info.nShow = SW_SHOW;
        Execute(info);
        return;
      }
      case ItemKind::Folder:
        prompts_->ShowFolderProperties(owner, absolute_.Get(), AbsoluteListOf(item).Get());
        return;
      case ItemKind::None:
        if (root_) {
          ShowAbout(owner);
        } else if (CPidlManager::KindOf(absolute_.GetLastItem()) == ItemKind::Folder) {
          // The folder's own properties, as its parent holds it.
          CItemIdList parent(absolute_);
          ILRemoveLastID(const_cast<LPITEMIDLIST>(parent.Get()));
          prompts_->ShowFolderProperties(owner, parent.Get(), absolute_.Get());
        }
        return;
      default:
        return;
    }
  } catch (...) {
  }
}

bool FolderOperations::OpenIndexingOptions(HWND owner, const std::wstring& tool) const {
  std::wstring directory = ModuleDirectory();
  SHELLEXECUTEINFOW info = BlankExecuteInfo();
  // No message of the shell's own: a failure is told in the About box.
  info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.hwnd = owner;
  info.lpVerb = L"open";
  info.lpFile = tool.c_str();
  info.lpParameters = L"options";
  info.lpDirectory = directory.c_str();
  return RunShellExecute(info) != FALSE;
}

void FolderOperations::ShowAbout(HWND owner) {
  try {
    std::wstring fullPath(32768, L'\0');
    DWORD length = GetModuleFileNameW(ModuleInstance(), fullPath.data(), static_cast<DWORD>(fullPath.size()));
    if (length == 0 || length >= fullPath.size()) return;
    fullPath.resize(length);
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(fullPath.c_str(), &handle);
    if (size == 0) return;
    std::vector<BYTE> version(size);
    if (!GetFileVersionInfoW(fullPath.c_str(), 0, size, version.data())) return;
    wchar_t* productVersion = nullptr;
    UINT versionLength = 0;
    if (!VerQueryValueW(version.data(), L"\\StringFileInfo\\040904b0\\ProductVersion",
                        reinterpret_cast<void**>(&productVersion), &versionLength) ||
        !productVersion) {
      return;
    }
    // The module's directory and the one that holds the user's folder
    // definitions, each without its trailing backslash.
    auto withoutSlash = [](std::wstring directory) {
      std::wstring::size_type slash = directory.find_last_of(L'\\');
      if (slash != std::wstring::npos) directory.resize(slash);
      return ToUtf8(directory);
    };
    std::string text = FormatText(LoadResourceText(IDS_ABOUT).c_str(), ToUtf8(productVersion).c_str(),
                                  withoutSlash(ModuleDirectory()).c_str(), withoutSlash(store_->DocumentPath()).c_str(),
                                  ToUtf8(HelpPageAddress()).c_str());
    // The root's properties are the indexing options: their window opens, and
    // the About box beside it; one that could not open is named in the box.
    if (!prompts_->Quiet()) {
      // The windowless index tool beside the component: no console comes
      // with the window.
      std::wstring tool = ModuleDirectory() + kWindowlessIndexToolFileName;
      if (!OpenIndexingOptions(owner, tool)) {
        text += FormatText(LoadResourceText(IDS_OPTIONS_NOT_OPENED).c_str(), ToUtf8(tool).c_str());
      }
    }
    prompts_->Inform(owner, text, kAboutCaption);
  } catch (...) {
  }
}

}  // namespace qv
