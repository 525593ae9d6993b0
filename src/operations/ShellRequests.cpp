#include "operations/ShellRequests.h"

#include <objbase.h>

#include "common/Text.h"
#include "pidl/CPidlManager.h"

namespace qv {
namespace {

ScopedShellRequestLog* g_log = nullptr;

// The display path of an ID list: the file system path when it names a file,
// otherwise the component's own path of its items.
std::string PathOf(LPCITEMIDLIST list) {
  if (!list) return {};
  if (CPidlManager::KindOf(CPidlManager::GetLastItem(list)) == ItemKind::Foreign) {
    PWSTR path = nullptr;
    if (SUCCEEDED(SHGetNameFromIDList(list, SIGDN_FILESYSPATH, &path)) && path) {
      std::string text = ToUtf8(path);
      CoTaskMemFree(path);
      return text;
    }
  }
  return CPidlManager::DisplayPath(list);
}

std::string TextOf(const wchar_t* text) { return text ? ToUtf8(text) : std::string(); }

}  // namespace

ScopedShellRequestLog::ScopedShellRequestLog(bool runFileOperations, int fileOperationResult)
    : runFileOperations_(runFileOperations), fileOperationResult_(fileOperationResult), previous_(g_log) {
  g_log = this;
}

ScopedShellRequestLog::~ScopedShellRequestLog() { g_log = previous_; }

int RunFileOperation(SHFILEOPSTRUCTW& operation) {
  if (g_log) {
    g_log->fileOperations.push_back(
        {operation.wFunc, operation.fFlags, operation.hwnd, TextOf(operation.pFrom), TextOf(operation.pTo)});
    if (!g_log->runFileOperations_) return g_log->fileOperationResult_;
  }
  return SHFileOperationW(&operation);
}

void NotifyShell(LONG event, LPCITEMIDLIST first, LPCITEMIDLIST second) {
  if (g_log) g_log->notifications.push_back({event, PathOf(first), PathOf(second)});
  SHChangeNotify(event, SHCNF_IDLIST, first, second);
}

BOOL RunShellExecute(SHELLEXECUTEINFOW& info) {
  if (g_log) {
    ScopedShellRequestLog::Execution execution{info};
    execution.verb = TextOf(info.lpVerb);
    execution.file = TextOf(info.lpFile);
    execution.className = TextOf(info.lpClass);
    execution.parameters = TextOf(info.lpParameters);
    execution.idList = PathOf(static_cast<LPCITEMIDLIST>(info.lpIDList));
    g_log->executions.push_back(std::move(execution));
    return g_log->executeResult;
  }
  return ShellExecuteExW(&info);
}

HRESULT RunOpenFolderAndSelect(LPCITEMIDLIST file) {
  if (g_log) {
    g_log->selections.push_back(PathOf(file));
    return g_log->selectionResult;
  }
  return SHOpenFolderAndSelectItems(file, 0, nullptr, 0);
}

}  // namespace qv
