// quorvane-index: configures the folders the desktop search service indexes and
// runs index passes. Built twice: quorvane-index.exe, a console program, and
// quorvane-indexw.exe, the same for the windows subsystem (no console), which
// the Start menu, the logon entries and background starts run.
//
//   quorvane-index add FOLDER      index FOLDER and everything under it
//   quorvane-index remove FOLDER   stop indexing FOLDER
//   quorvane-index exclude PATH-OR-PATTERN
//                                  leave out a folder, or files and folders of a
//                                  name (* and ? as wildcards), under every root
//   quorvane-index include PATH-OR-PATTERN
//                                  undo an exclusion
//   quorvane-index list            the indexed folders and the exclusions
//   quorvane-index no-default-folders
//                                  index only the folders chosen here: Documents
//                                  and Desktop are not added at the first search
//                                  (what the installer's unticked "Index my
//                                  Documents and Desktop" runs)
//   quorvane-index index           bring the index up to date now, showing progress
//   quorvane-index watch           keep the index current as files change (one per user)
//   quorvane-index stop            end the running watcher
//   quorvane-index pause           stop the watcher and every automatic pass until resumed
//   quorvane-index resume          start them again
//   quorvane-index status          folders, file count, last pass, watcher, registered clients
//   quorvane-index refresh MINUTES how often queries start a background pass
//                                  when the index is older ("off" or 0: never)
//   quorvane-index options         the indexing options window
//   quorvane-index query TEXT [--recent]
//                                  the paths of the files matching TEXT, best (or
//                                  newest) first; what was read literally is named
//                                  in one line on the error output

#include <windows.h>
#include <shellapi.h>

#include <sqlite3.h>

#include <cstdint>
#include <cwchar>
#include <ctime>
#include <string>
#include <vector>

#include "common/Holders.h"
#include "common/RegistryWriter.h"
#include "common/Text.h"
#include "service/BackgroundIndexing.h"
#include "service/ExclusionList.h"
#include "service/IndexDatabase.h"
#include "service/IndexSearch.h"
#include "service/QueryParser.h"
#include "service/IndexWatcher.h"
#include "service/Indexer.h"
#include "service/RegistrationStore.h"
#include "service/RootList.h"
#include "service/ServicePaths.h"
#include "service/WatcherInstance.h"
#include "service/filters/FilterHost.h"
#include "service/options/OptionsDialog.h"

namespace qv::service {
namespace {

enum ExitCode { kOk = 0, kUsage = 1, kFailed = 2, kBusy = 3 };

bool IsConsole(HANDLE output) {
  DWORD mode;
  return GetConsoleMode(output, &mode) != 0;
}

void Write(const std::wstring& text) {
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written = 0;
  if (IsConsole(output)) {
    WriteConsoleW(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  } else {
    std::string utf8 = ToUtf8(text);
    WriteFile(output, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  }
}

void Line(const std::wstring& text) { Write(text + L"\r\n"); }

void ErrorLine(const std::wstring& text) {
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  std::wstring line = text + L"\r\n";
  DWORD written = 0;
  if (IsConsole(error)) {
    WriteConsoleW(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  } else {
    std::string utf8 = ToUtf8(line);
    WriteFile(error, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  }
}

std::wstring Number(std::uint64_t value) { return std::to_wstring(value); }

// Why the index could not be written, in the user's words.
std::wstring WriteFailureCause(const SqliteError& error) {
  switch (error.Code() & 0xFF) {
    case SQLITE_FULL:
      return L"the disk holding the index is full";
    case SQLITE_READONLY:
      return L"the index is read-only (a read-only file, folder or disk)";
    case SQLITE_IOERR:
      return L"the disk holding the index reported an error reading or writing it";
    default:  // cannot open, no permission
      return L"the index cannot be opened for writing (access denied, a read-only disk or its folder gone)";
  }
}

std::wstring LocalTime(std::int64_t seconds) {
  if (seconds == 0) return L"never";
  std::time_t time = static_cast<std::time_t>(seconds);
  wchar_t text[64] = {};
  std::tm local = {};
  localtime_s(&local, &time);
  wcsftime(text, 64, L"%Y-%m-%d %H:%M:%S", &local);
  return text;
}

int Usage() {
  Line(L"usage: quorvane-index add FOLDER | remove FOLDER | exclude PATH-OR-PATTERN | include PATH-OR-PATTERN | list"
       L" | no-default-folders | index | watch | stop | pause | resume | status | refresh MINUTES|off | query TEXT [--recent]"
       L" | options");
  return kUsage;
}

int AddRoot(const std::wstring& folder) {
  std::vector<std::wstring> replaced;
  AddRootResult result = RootList().Add(folder, &replaced);
  if (result != AddRootResult::Added) {
    Line(AddRootRefusal(result, folder));
    return result == AddRootResult::AlreadyCovered ? kOk : kFailed;
  }
  for (const std::wstring& root : replaced) Line(L"Now covered by the new folder: " + root);
  if (IsWatcherRunning()) {
    NotifyWatcherRootsChanged();
    Line(L"Added " + NormalizeFolderPath(folder) + L". The watcher indexes it now.");
  } else {
    Line(L"Added " + NormalizeFolderPath(folder) + L". Run \"quorvane-index index\" to index it now.");
  }
  return kOk;
}

int RemoveRoot(const std::wstring& folder) {
  if (!RootList().Remove(folder)) {
    Line(L"Not an indexed folder: " + folder);
    return kFailed;
  }
  if (IsWatcherRunning()) {
    NotifyWatcherRootsChanged();
    Line(L"Removed " + NormalizeFolderPath(folder) + L". The watcher takes its files out of the index now.");
  } else {
    Line(L"Removed " + NormalizeFolderPath(folder) + L". Its files leave the index on the next pass.");
  }
  return kOk;
}

int Exclude(const std::wstring& pathOrPattern) {
  std::wstring entry;
  ExcludeResult result = ExclusionList().Add(pathOrPattern, &entry);
  if (result == ExcludeResult::AlreadyExcluded) {
    Line(L"Already excluded: " + entry);
    return kOk;
  }
  if (result != ExcludeResult::Added) {
    Line(ExcludeRefusal(result, pathOrPattern));
    return kFailed;
  }
  // An indexed folder is never excluded: the user chose it.
  for (const std::wstring& root : RootList().All()) {
    if (IsFolderExclusion(entry) && IsInsideFolder(root, entry)) {
      Line(L"Still indexed, as you chose it: " + root + L" (\"quorvane-index remove\" stops that).");
    }
  }
  if (IsWatcherRunning()) {
    NotifyWatcherRootsChanged();
    Line(L"Excluded " + entry + L". The watcher takes what it covers out of the index now.");
  } else {
    Line(L"Excluded " + entry + L". What it covers leaves the index on the next pass.");
  }
  return kOk;
}

int Include(const std::wstring& pathOrPattern) {
  if (!ExclusionList().Remove(pathOrPattern)) {
    Line(L"Not excluded: " + pathOrPattern);
    return kFailed;
  }
  if (IsWatcherRunning()) {
    NotifyWatcherRootsChanged();
    Line(L"No longer excluded: " + pathOrPattern + L". The watcher indexes what it covered now.");
  } else {
    Line(L"No longer excluded: " + pathOrPattern + L". What it covered is indexed on the next pass.");
  }
  return kOk;
}

int ListRoots() {
  std::vector<std::wstring> roots = RootList().All();
  if (roots.empty()) Line(L"No folders are indexed. Add one with \"quorvane-index add FOLDER\".");
  for (const std::wstring& root : roots) Line(root);
  for (const std::wstring& entry : ExclusionList().All()) Line(L"Excluded: " + entry);
  return kOk;
}

int KeepDefaultFoldersOut() {
  RootList().MarkChosen();
  Line(L"Documents and Desktop are not added on their own; only the folders you add are indexed "
       L"(\"quorvane-index add FOLDER\", or Indexing options).");
  return kOk;
}

std::wstring ProgressText(const IndexProgress& progress) {
  return Number(progress.filesSeen) + L" files seen, " + Number(progress.filesIndexed) + L" indexed, " +
         Number(progress.filesRemoved) + L" removed";
}

std::wstring RateText(std::uint64_t files, ULONGLONG elapsedMs) {
  return Number(elapsedMs ? files * 1000 / elapsedMs : files) + L" files/s";
}

int Watch() {
  if (IsIndexingPaused()) {
    Line(L"Indexing is paused; \"quorvane-index resume\" resumes it.");
    return kOk;
  }
  WatcherInstance instance;
  if (!instance.IsOwner()) {
    Line(L"The watcher is already running for this user.");
    return kOk;
  }
  EnterBackgroundMode();
  IndexWatcher().Run(instance.StopEvent(), instance.RootsChangedEvent());
  return kOk;
}

int Stop() {
  if (!IsWatcherRunning()) {
    Line(L"The watcher is not running.");
    return kOk;
  }
  if (!StopWatcher(30000)) {
    Line(L"The watcher did not stop within 30 seconds.");
    return kFailed;
  }
  Line(L"The watcher has stopped.");
  return kOk;
}

int Pause() {
  SetIndexingPaused(true);
  if (!StopWatcher(30000)) {
    Line(L"Indexing is paused, but the watcher did not stop within 30 seconds.");
    return kFailed;
  }
  Line(L"Indexing is paused: no watcher runs and no pass starts on its own until \"quorvane-index resume\".");
  return kOk;
}

int Resume() {
  SetIndexingPaused(false);
  if (!IsWatcherRunning() && !StartWatcherProcess(WindowlessToolPath())) {
    Line(L"Indexing is resumed, but the watcher could not be started.");
    return kFailed;
  }
  Line(L"Indexing is resumed; the watcher keeps the index current.");
  return kOk;
}

int IndexNow() {
  bool console = IsConsole(GetStdHandle(STD_OUTPUT_HANDLE));
  ULONGLONG lastShown = 0;
  ULONGLONG start = GetTickCount64();
  Indexer indexer([&](const IndexProgress& progress) {
    ULONGLONG now = GetTickCount64();
    if (!console || now - lastShown < 200) return;
    lastShown = now;
    std::wstring text = L"\rIndexing: " + ProgressText(progress) + L", " + RateText(progress.filesSeen, now - start) +
                        L"  " + progress.folder;
    if (text.size() > 79) text = text.substr(0, 76) + L"...";
    Write(text + std::wstring(80 - text.size(), L' '));
  });
  IndexReport report;
  try {
    report = indexer.Run();
  } catch (const IndexBusy&) {
    Line(L"Another index pass is running; try again when it has finished.");
    return kBusy;
  } catch (const SqliteError& e) {
    if (!e.IsWriteFailure()) throw;
    if (console) Write(L"\r" + std::wstring(79, L' ') + L"\r");
    // Nothing records this pass as done, so the next automatic pass tries again.
    Line(L"The index could not be written: " + WriteFailureCause(e) + L" (" + IndexDatabasePath() +
         L"). The pass has stopped; queries answer from what the index already holds, and the next pass "
         L"tries again.");
    return kFailed;
  }
  if (console) Write(L"\r" + std::wstring(79, L' ') + L"\r");
  if (report.rebuilt) Line(L"The index was damaged; it has been rebuilt from the indexed folders.");
  if (report.upgraded) Line(L"The index was made by an earlier version; it has been rebuilt from the indexed folders.");
  for (const std::wstring& root : report.unreachableRoots) {
    Line(L"Not reachable, its files are kept as they were: " + root);
  }
  for (const std::wstring& folder : report.unlistedFolders) {
    Line(L"Could not be listed, its files are kept as they were: " + folder);
  }
  for (const std::wstring& root : report.failedRoots) {
    Line(L"Could not be indexed, its files are kept as they were: " + root);
  }
  if (report.counts.filesSkipped > 0) {
    Line(Number(report.counts.filesSkipped) + L" files were skipped or read only as far as was safe (damaged, encrypted or "
                                                 L"very large documents, documents whose filter failed, links, names the "
                                                 L"index could not take).");
  }
  if (report.counts.filesUnreadable > 0) {
    Line(Number(report.counts.filesUnreadable) + L" files could not be read (locked or access denied); they are read again on the next pass.");
  }
  double seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
  wchar_t elapsed[32] = {};
  swprintf(elapsed, 32, L"%.1f", seconds);
  Line(L"Index up to date: " + ProgressText(report.counts) + L" in " + elapsed + L" s.");
  return kOk;
}

int ShowStatus() {
  Line(L"Data folder: " + DataFolder());
  std::vector<std::wstring> roots = RootList().All();
  Line(L"Indexed folders: " + Number(roots.size()));
  for (const std::wstring& root : roots) Line(L"  " + root);
  std::wstring problem;
  IndexCondition condition = IsIndexMarkedDamaged() ? IndexCondition::Damaged : CheckIndexCondition(2000, &problem);
  if (condition == IndexCondition::Damaged) {
    Line(L"The index is damaged" + (problem.empty() ? L"" : L" (" + problem + L")") +
         L"; \"quorvane-index index\" rebuilds it.");
  } else if (condition == IndexCondition::Unreadable) {
    Line(L"The index cannot be read: " + problem);
  } else if (condition == IndexCondition::EarlierVersion) {
    Line(L"The index was made by an earlier version; \"quorvane-index index\" builds it anew.");
  } else {
    Line(L"Files in the index: " + Number(static_cast<std::uint64_t>(IndexedFileCount())));
    Line(L"Documents skipped or cut off (damaged, encrypted or hostile): " +
         Number(static_cast<std::uint64_t>(SkippedDocumentCount())));
    for (const FormatCounts& format : DocumentCountsByFormat()) {
      Line(L"  " + format.extension + L": " + Number(format.read) + L" read, " + Number(format.cutOff) + L" cut off, " +
           Number(format.encrypted) + L" encrypted, " + Number(format.damaged) + L" damaged" +
           (format.filtered ? L", " + Number(format.filterFailed) + L" filter failed" : L""));
    }
    Line(L"Last index pass: " + LocalTime(LastIndexPassTime()));
  }
  if (IsIndexingPaused()) Line(L"Indexing is paused (\"quorvane-index resume\" resumes it)");
  if (IsWatcherRunning()) {
    std::wstring mode = WatchModeText();
    Line(L"Watcher: running; changes reach the index within seconds" + (mode.empty() ? L"" : L" (" + mode + L")"));
    Line(L"Last change indexed: " + LocalTime(LastIndexUpdateTime()));
  } else {
    Line(L"Watcher: not running; the index is as fresh as its last pass");
  }
  int minutes = RefreshIntervalMinutes();
  Line(minutes == 0 ? std::wstring(L"Automatic passes: off")
                    : L"Automatic passes: when the index is older than " + Number(minutes) + L" minutes");
  std::vector<ComponentRegistration> components = RegistrationStore().Components();
  Line(L"Registered clients: " + Number(components.size()));
  for (const ComponentRegistration& component : components) Line(L"  " + component.title + L" " + component.guid);
  return kOk;
}

int SetRefresh(const std::wstring& value) {
  int minutes = 0;
  if (value != L"off") {
    wchar_t* end = nullptr;
    long parsed = std::wcstol(value.c_str(), &end, 10);
    if (value.empty() || *end != L'\0' || parsed < 0 || parsed > 7 * 24 * 60) return Usage();
    minutes = static_cast<int>(parsed);
  }
  SetRefreshIntervalMinutes(minutes);
  Line(minutes == 0 ? std::wstring(L"Queries no longer start index passes.")
                    : L"Queries start an index pass when the index is older than " + Number(minutes) + L" minutes.");
  return kOk;
}

int Query(const std::wstring& text, Ranking ranking) {
  ParsedQuery query = ParseQuery(text);
  std::wstring warning = query.Warning();
  if (!warning.empty()) ErrorLine(L"Warning: " + warning);
  try {
    if (!OpenIndexForSearch()) {
      ErrorLine(L"There is no index yet. Run \"quorvane-index index\" to build it.");
      return kFailed;
    }
    SearchIndex(query, ranking, [](SearchHit&& hit) {
      Line(hit.path);
      return true;
    });
  } catch (const SqliteError& e) {
    if (!e.IsDamage()) throw;
    MarkIndexDamaged();
    ErrorLine(L"The index is damaged; the next pass rebuilds it (\"quorvane-index index\" does so now).");
    return kFailed;
  }
  return kOk;
}

int Run(const std::vector<std::wstring>& args) {
  if (args.empty()) return Usage();
  if (DataFolder().empty()) {
    Line(L"The data folder cannot be created.");
    return kFailed;
  }
  const std::wstring& command = args[0];
  if (command == L"filter-host" && args.size() == 1) return RunFilterHost();
  if (command == L"add" && args.size() == 2) return AddRoot(args[1]);
  if (command == L"remove" && args.size() == 2) return RemoveRoot(args[1]);
  if (command == L"exclude" && args.size() == 2) return Exclude(args[1]);
  if (command == L"include" && args.size() == 2) return Include(args[1]);
  if (command == L"list" && args.size() == 1) return ListRoots();
  if (command == L"no-default-folders" && args.size() == 1) return KeepDefaultFoldersOut();
  if (command == L"index" && args.size() == 1) return IndexNow();
  if (command == L"status" && args.size() == 1) return ShowStatus();
  if (command == L"watch" && args.size() == 1) return Watch();
  if (command == L"stop" && args.size() == 1) return Stop();
  if (command == L"pause" && args.size() == 1) return Pause();
  if (command == L"resume" && args.size() == 1) return Resume();
  if (command == L"refresh" && args.size() == 2) return SetRefresh(args[1]);
  if (command == L"options" && args.size() == 1) return ShowIndexingOptions(GetModuleHandleW(nullptr));
  if (command == L"query" && args.size() == 2) return Query(args[1], Ranking::Relevance);
  if (command == L"query" && args.size() == 3 && args[2] == L"--recent") return Query(args[1], Ranking::Recency);
  return Usage();
}

}  // namespace
}  // namespace qv::service

namespace qv::service {
namespace {

// The console program run from Explorer or the Run box has a console of its
// own; the options window does not keep it open. At a prompt the console is
// the prompt's, which waits for the window as for any command.
void LeaveOwnConsole() {
  DWORD processes[2] = {};
  if (GetConsoleProcessList(processes, 2) == 1) FreeConsole();
}

}  // namespace
}  // namespace qv::service

int main() {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> args;
  for (int i = 1; argv && i < count; ++i) args.emplace_back(argv[i]);
  LocalFree(argv);
  if (!args.empty() && args[0] == L"options") qv::service::LeaveOwnConsole();
  try {
    return qv::service::Run(args);
  } catch (const qv::service::SqliteError& e) {
    qv::service::Line(L"The search service's data cannot be used: " + qv::FromUtf8(e.Message()));
    return qv::service::kFailed;
  } catch (...) {
    qv::service::Line(L"The command failed.");
    return qv::service::kFailed;
  }
}
