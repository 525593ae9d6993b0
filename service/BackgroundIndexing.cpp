#include "service/BackgroundIndexing.h"

#include <windows.h>

#include <ctime>
#include <string>

#include "common/Holders.h"
#include "service/IndexDatabase.h"
#include "service/Indexer.h"
#include "service/RootList.h"
#include "service/ServiceDatabase.h"
#include "service/ServicePaths.h"
#include "service/WatcherInstance.h"

namespace qv::service {
namespace {

constexpr char kRefreshSetting[] = "refresh_minutes";
constexpr wchar_t kToolName[] = L"quorvane-index.exe";
// A process looks at most once a minute per data folder, so queries do not pay
// for the look.
constexpr ULONGLONG kCheckSpacingMs = 60 * 1000;

SRWLOCK g_checkLock = SRWLOCK_INIT;
std::wstring g_checkedFolder;
ULONGLONG g_checkedAt = 0;

bool IsCheckDue() {
  std::wstring folder = DataFolder();
  ULONGLONG now = GetTickCount64();
  ExclusiveLock guard(g_checkLock);
  if (folder == g_checkedFolder && now - g_checkedAt < kCheckSpacingMs) return false;
  g_checkedFolder = folder;
  g_checkedAt = now;
  return true;
}

std::wstring ToolBesideThisModule() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&ToolBesideThisModule), &module)) {
    return {};
  }
  wchar_t path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring folder(path, length);
  std::size_t slash = folder.find_last_of(L'\\');
  if (slash == std::wstring::npos) return {};
  std::wstring tool = folder.substr(0, slash + 1) + kToolName;
  return GetFileAttributesW(tool.c_str()) == INVALID_FILE_ATTRIBUTES ? std::wstring() : tool;
}

bool IsPassDue(int minutes) {
  if (IsIndexMarkedDamaged()) return true;
  std::int64_t last = LastIndexPassTime();
  return static_cast<std::int64_t>(std::time(nullptr)) - last >= static_cast<std::int64_t>(minutes) * 60;
}

bool IsPassRunning() {
  std::wstring lock = IndexLockPath();
  return !lock.empty() && GetFileAttributesW(lock.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool LaunchPass(const std::wstring& tool) {
  std::wstring commandLine = L"\"" + tool + L"\" index";
  STARTUPINFOW startup = {sizeof startup};
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(tool.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                      CREATE_NO_WINDOW | BELOW_NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace

int RefreshIntervalMinutes() {
  auto db = OpenServiceDatabase();
  SqliteStatement select = db->Prepare("SELECT value FROM settings WHERE key = ?1");
  select.Bind(1, std::string(kRefreshSetting));
  return select.Step() ? static_cast<int>(select.Integer(0)) : kDefaultRefreshMinutes;
}

void SetRefreshIntervalMinutes(int minutes) {
  auto db = OpenServiceDatabase();
  db->Prepare("INSERT OR REPLACE INTO settings(key, value) VALUES(?1, ?2)")
      .Bind(1, std::string(kRefreshSetting))
      .Bind(2, static_cast<std::int64_t>(minutes < 0 ? 0 : minutes))
      .Run();
}

bool RefreshIndexIfStale() {
  if (!IsCheckDue()) return false;
  int minutes = RefreshIntervalMinutes();
  // A running watcher keeps the index current; passes are for when none runs.
  if (minutes <= 0 || IsWatcherRunning() || IsPassRunning() || !IsPassDue(minutes) || RootList().All().empty()) {
    return false;
  }
  std::wstring tool = ToolBesideThisModule();
  return !tool.empty() && LaunchPass(tool);
}

}  // namespace qv::service
