#include "service/BackgroundIndexing.h"

#include <windows.h>
#include <shlobj.h>

#include <ctime>
#include <string>

#include "common/DesktopSearchInterfaces.h"
#include "common/Holders.h"
#include "service/IndexDatabase.h"
#include "service/Indexer.h"
#include "service/PassProgress.h"
#include "service/RootList.h"
#include "service/ServiceDatabase.h"
#include "service/ServicePaths.h"
#include "service/WatcherInstance.h"

namespace qv::service {
namespace {

constexpr char kRefreshSetting[] = "refresh_minutes";
constexpr char kPausedSetting[] = "paused";
// A process looks at most once a minute per data folder, so queries do not pay
// for the look.
constexpr ULONGLONG kCheckSpacingMs = 60 * 1000;

struct CheckSpacing {
  SRWLOCK lock = SRWLOCK_INIT;
  std::wstring folder;
  ULONGLONG at = 0;
};
CheckSpacing g_passCheck;
CheckSpacing g_watcherCheck;

bool IsCheckDue(CheckSpacing& check = g_passCheck) {
  std::wstring folder = DataFolder();
  ULONGLONG now = GetTickCount64();
  ExclusiveLock guard(check.lock);
  if (folder == check.folder && now - check.at < kCheckSpacingMs) return false;
  check.folder = folder;
  check.at = now;
  return true;
}

std::int64_t ReadSetting(const char* key, std::int64_t fallback) {
  auto db = OpenServiceDatabase();
  SqliteStatement select = db->Prepare("SELECT value FROM settings WHERE key = ?1");
  select.Bind(1, std::string(key));
  return select.Step() ? select.Integer(0) : fallback;
}

void WriteSetting(const char* key, std::int64_t value) {
  auto db = OpenServiceDatabase();
  db->Prepare("INSERT OR REPLACE INTO settings(key, value) VALUES(?1, ?2)").Bind(1, std::string(key)).Bind(2, value).Run();
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
  TaskMemory<wchar_t> path;
  if (FAILED(SHGetKnownFolderPath(id, 0, nullptr, path.Put()))) return {};
  return path.Get();
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

}  // namespace

bool StartIndexPass(const std::wstring& tool) {
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

int RefreshIntervalMinutes() { return static_cast<int>(ReadSetting(kRefreshSetting, kDefaultRefreshMinutes)); }

void SetRefreshIntervalMinutes(int minutes) { WriteSetting(kRefreshSetting, minutes < 0 ? 0 : minutes); }

bool IsIndexingPaused() { return ReadSetting(kPausedSetting, 0) != 0; }

void SetIndexingPaused(bool paused) { WriteSetting(kPausedSetting, paused ? 1 : 0); }

bool OfferDefaultFolders() {
  RootList roots;
  if (roots.WereChosen()) return false;
  roots.MarkChosen();
  if (!roots.All().empty()) return false;
  bool added = false;
  for (const KNOWNFOLDERID* id : {&FOLDERID_Documents, &FOLDERID_Desktop}) {
    std::wstring folder = KnownFolder(*id);
    added = (!folder.empty() && roots.Add(folder) == AddRootResult::Added) || added;
  }
  return added;
}

bool KeepIndexRunning() {
  if (!IsCheckDue(g_watcherCheck)) return false;
  if (RefreshIntervalMinutes() <= 0 || IsIndexingPaused()) {
    // Looked at again on the next use: resuming takes effect at once.
    ExclusiveLock guard(g_watcherCheck.lock);
    g_watcherCheck.folder.clear();
    return false;
  }
  OfferDefaultFolders();
  if (IsWatcherRunning() || RootList().All().empty()) return false;
  std::wstring tool = WindowlessToolPath();
  if (!tool.empty() && StartWatcherProcess(tool)) return true;
  return RefreshIndexIfStale();
}

IndexStatus ReadIndexStatus() {
  IndexStatus status;
  status.folders = static_cast<std::int64_t>(RootList().All().size());
  status.files = IndexedFileCount();
  PassProgress progress;
  bool running = ReadPassProgress(&progress);
  if (LastIndexPassTime() != 0) {
    status.state = kIndexReady;
  } else if (running) {
    status.state = kIndexBuilding;
    // A first pass writes in batches: the files it has seen are the truer count.
    if (progress.filesSeen > static_cast<std::uint64_t>(status.files)) status.files = static_cast<std::int64_t>(progress.filesSeen);
  } else {
    status.state = kIndexNotBuilt;
  }
  return status;
}

bool RefreshIndexIfStale() {
  if (!IsCheckDue()) return false;
  int minutes = RefreshIntervalMinutes();
  // A running watcher keeps the index current; passes are for when none runs.
  if (minutes <= 0 || IsIndexingPaused() || IsWatcherRunning() || IsPassRunning() || !IsPassDue(minutes) ||
      RootList().All().empty()) {
    return false;
  }
  std::wstring tool = WindowlessToolPath();
  return !tool.empty() && StartIndexPass(tool);
}

}  // namespace qv::service
