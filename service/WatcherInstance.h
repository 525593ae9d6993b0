#pragma once
// The one index watcher a user runs ("quorvane-index watch"): its named objects,
// how other processes find, stop and wake it, and how it is started at logon.
//
// The objects are named after the data folder, so a user (whose data folder is
// their own) has exactly one watcher, and tests with private data folders each
// get theirs.

#include <windows.h>

#include <string>

#include "common/Holders.h"

namespace qv::service {

// Held by the running watcher for its whole life.
class WatcherInstance {
 public:
  // Takes the watcher's place; IsOwner() is false when another watcher holds it.
  WatcherInstance();
  bool IsOwner() const { return owner_; }
  // Signalled when "quorvane-index stop" asks the watcher to end.
  HANDLE StopEvent() const { return stop_.Get(); }
  // Signalled when the indexed folders were changed with the tool.
  HANDLE RootsChangedEvent() const { return rootsChanged_.Get(); }

 private:
  UniqueHandle mutex_;
  UniqueHandle stop_;
  UniqueHandle rootsChanged_;
  bool owner_ = false;
};

bool IsWatcherRunning();

// Asks the running watcher to end and waits up to `waitMs` for it to go; false
// when it is still running afterwards. True at once when none runs.
bool StopWatcher(DWORD waitMs);

// Tells a running watcher to read the indexed folders again.
void NotifyWatcherRootsChanged();

// Starts "quorvane-index watch" from `tool` in the background, detached from
// the caller; true when the process was started.
bool StartWatcherProcess(const std::wstring& tool);

// The index tool that background starts and the logon entry run: the
// windowless twin beside the module holding this code (the service DLL, or
// the tool itself); empty when it is not there.
std::wstring WindowlessToolPath();

// The per-user logon entry (HKCU ...\Run) that starts the watcher with
// `command`.
HRESULT AddWatcherLogonEntry(const std::wstring& command);
HRESULT RemoveWatcherLogonEntry();

constexpr wchar_t kWatcherLogonValue[] = L"quorvane search watcher";

}  // namespace qv::service
