#pragma once
// The folder object's requests to the shell that act outside the component:
// file operations on result files, change notifications and ShellExecuteEx.
// They go through here so that tests can see exactly what was asked and, for
// programs and dialogs, keep the shell from acting on it.

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace qv {

// SHFileOperationW; its result.
int RunFileOperation(SHFILEOPSTRUCTW& operation);
// SHChangeNotify with ID lists.
void NotifyShell(LONG event, LPCITEMIDLIST first, LPCITEMIDLIST second);
// ShellExecuteExW; its result.
BOOL RunShellExecute(SHELLEXECUTEINFOW& info);
// SHOpenFolderAndSelectItems for one file by its shell list (from the
// desktop): its folder opens with the file selected. Its result.
HRESULT RunOpenFolderAndSelect(LPCITEMIDLIST file);

// For tests: records every request while alive. File operations still run
// unless `runFileOperations` is false (then they answer `fileOperationResult`);
// ShellExecuteEx never runs and answers `executeResult`.
class ScopedShellRequestLog {
 public:
  struct FileOperation {
    UINT function;
    FILEOP_FLAGS flags;
    HWND owner;
    std::string from;  // UTF-8, up to its first terminator
    std::string to;
  };
  struct Notification {
    LONG event;
    std::string first;  // the lists' display paths
    std::string second;
  };
  struct Execution {
    SHELLEXECUTEINFOW info;  // pointers inside are only valid during the call
    std::string verb, file, className, parameters;  // UTF-8
    std::string idList;      // display path of lpIDList ("" when none)
  };

  explicit ScopedShellRequestLog(bool runFileOperations = true, int fileOperationResult = 0);
  ScopedShellRequestLog(const ScopedShellRequestLog&) = delete;
  ScopedShellRequestLog& operator=(const ScopedShellRequestLog&) = delete;
  ~ScopedShellRequestLog();

  std::vector<FileOperation> fileOperations;
  std::vector<Notification> notifications;
  std::vector<Execution> executions;
  // The files shown in their folders (file system paths); each answers
  // `selectionResult`.
  std::vector<std::string> selections;
  HRESULT selectionResult = S_OK;
  // What ShellExecuteEx answers.
  BOOL executeResult = TRUE;

 private:
  friend int RunFileOperation(SHFILEOPSTRUCTW&);
  friend void NotifyShell(LONG, LPCITEMIDLIST, LPCITEMIDLIST);
  friend BOOL RunShellExecute(SHELLEXECUTEINFOW&);
  friend HRESULT RunOpenFolderAndSelect(LPCITEMIDLIST);
  bool runFileOperations_;
  int fileOperationResult_;
  ScopedShellRequestLog* previous_;
};

}  // namespace qv
