#include "shellfolder/ShellRequests.h"

#include "pidl/CPidlManager.h"

namespace qv {
namespace {

ScopedShellRequestLog* g_log = nullptr;

// The display path of an ID list: the file system path when it names a file,
// otherwise the component's own path of its items.
std::string PathOf(LPCITEMIDLIST list) {
  if (!list) return {};
  char path[MAX_PATH] = {};
  if (CPidlManager::KindOf(CPidlManager::GetLastItem(list)) == ItemKind::Foreign &&
      SHGetPathFromIDListA(list, path)) {
    return path;
  }
  CPidlManager::GetPath(list, path, sizeof path);
  return path;
}

}  // namespace

ScopedShellRequestLog::ScopedShellRequestLog(bool runFileOperations, int fileOperationResult)
    : runFileOperations_(runFileOperations), fileOperationResult_(fileOperationResult), previous_(g_log) {
  g_log = this;
}

ScopedShellRequestLog::~ScopedShellRequestLog() { g_log = previous_; }

int RunFileOperation(SHFILEOPSTRUCTA& operation) {
  if (g_log) {
    g_log->fileOperations.push_back({operation.wFunc, operation.fFlags, operation.hwnd,
                                     operation.pFrom ? operation.pFrom : "", operation.pTo ? operation.pTo : ""});
    if (!g_log->runFileOperations_) return g_log->fileOperationResult_;
  }
  return SHFileOperationA(&operation);
}

void NotifyShell(LONG event, LPCITEMIDLIST first, LPCITEMIDLIST second) {
  if (g_log) g_log->notifications.push_back({event, PathOf(first), PathOf(second)});
  SHChangeNotify(event, SHCNF_IDLIST, first, second);
}

BOOL RunShellExecute(SHELLEXECUTEINFOA& info) {
  if (g_log) {
    ScopedShellRequestLog::Execution execution{info};
    execution.verb = info.lpVerb ? info.lpVerb : "";
    execution.file = info.lpFile ? info.lpFile : "";
    execution.className = info.lpClass ? info.lpClass : "";
    execution.idList = PathOf(static_cast<LPCITEMIDLIST>(info.lpIDList));
    g_log->executions.push_back(std::move(execution));
    return TRUE;
  }
  return ShellExecuteExA(&info);
}

}  // namespace qv
