#include "service/WatcherInstance.h"

#include "common/IndexToolNames.h"
#include "service/PathText.h"
#include "service/ServicePaths.h"

namespace qv::service {
namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// FNV-1a over the folded data folder path: object names cannot hold backslashes.
std::wstring ObjectName(const wchar_t* kind) {
  std::wstring folder = FoldPathCase(DataFolder());
  std::uint64_t hash = 14695981039346656037ull;
  for (wchar_t c : folder) {
    hash ^= static_cast<std::uint64_t>(c);
    hash *= 1099511628211ull;
  }
  wchar_t text[17] = {};
  for (int i = 15; i >= 0; --i, hash >>= 4) text[i] = L"0123456789abcdef"[hash & 0xF];
  // Global: one watcher for the user's data folder across all their sessions.
  return std::wstring(L"Global\\quorvane-index-") + kind + L"-" + text;
}

UniqueHandle OpenNamedEvent(const wchar_t* kind) {
  return UniqueHandle(OpenEventW(EVENT_MODIFY_STATE, FALSE, ObjectName(kind).c_str()));
}

}  // namespace

WatcherInstance::WatcherInstance() {
  mutex_.Reset(CreateMutexW(nullptr, FALSE, ObjectName(L"watcher").c_str()));
  if (!mutex_.Get()) return;
  DWORD wait = WaitForSingleObject(mutex_.Get(), 0);
  // An abandoned mutex is a watcher that died: take its place.
  owner_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
  if (!owner_) return;
  stop_.Reset(CreateEventW(nullptr, TRUE, FALSE, ObjectName(L"stop").c_str()));
  rootsChanged_.Reset(CreateEventW(nullptr, FALSE, FALSE, ObjectName(L"roots").c_str()));
  if (stop_.Get()) ResetEvent(stop_.Get());
  if (!stop_.Get() || !rootsChanged_.Get()) {
    ReleaseMutex(mutex_.Get());
    owner_ = false;
  }
}

bool IsWatcherRunning() {
  UniqueHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, ObjectName(L"watcher").c_str()));
  if (!mutex.Get()) return false;
  DWORD wait = WaitForSingleObject(mutex.Get(), 0);
  if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
    ReleaseMutex(mutex.Get());
    return false;
  }
  return true;
}

bool StopWatcher(DWORD waitMs) {
  UniqueHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, ObjectName(L"watcher").c_str()));
  if (!mutex.Get()) return true;
  UniqueHandle stop = OpenNamedEvent(L"stop");
  if (stop.Get()) SetEvent(stop.Get());
  DWORD wait = WaitForSingleObject(mutex.Get(), waitMs);
  if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
    ReleaseMutex(mutex.Get());
    return true;
  }
  return false;
}

void NotifyWatcherRootsChanged() {
  UniqueHandle event = OpenNamedEvent(L"roots");
  if (event.Get()) SetEvent(event.Get());
}

bool StartWatcherProcess(const std::wstring& tool) {
  std::wstring commandLine = L"\"" + tool + L"\" watch";
  STARTUPINFOW startup = {sizeof startup};
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(tool.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                      CREATE_NO_WINDOW | DETACHED_PROCESS | IDLE_PRIORITY_CLASS, nullptr, nullptr, &startup,
                      &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

std::wstring WindowlessToolPath() { return ToolBesideThisModule(kWindowlessIndexToolFileName); }

HRESULT AddWatcherLogonEntry(const std::wstring& command) {
  LSTATUS status = RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, kWatcherLogonValue, REG_SZ, command.c_str(),
                                   static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
  return HRESULT_FROM_WIN32(status);
}

HRESULT RemoveWatcherLogonEntry() {
  LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, kWatcherLogonValue);
  return status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

}  // namespace qv::service
