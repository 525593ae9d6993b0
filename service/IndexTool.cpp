// quorvane-index: configures the folders the desktop search service indexes and
// runs index passes.
//
//   quorvane-index add FOLDER      index FOLDER and everything under it
//   quorvane-index remove FOLDER   stop indexing FOLDER
//   quorvane-index list            the indexed folders
//   quorvane-index index           bring the index up to date now, showing progress
//   quorvane-index watch           keep the index current as files change (one per user)
//   quorvane-index stop            end the running watcher
//   quorvane-index status          folders, file count, last pass, watcher, registered clients
//   quorvane-index refresh MINUTES how often queries start a background pass
//                                  when the index is older ("off" or 0: never)
//   quorvane-index query TEXT [--recent]
//                                  the paths of the files matching TEXT, best (or
//                                  newest) first; what was read literally is named
//                                  in one line on the error output

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <cwchar>
#include <ctime>
#include <string>
#include <vector>

#include "common/Holders.h"
#include "common/Text.h"
#include "service/BackgroundIndexing.h"
#include "service/IndexDatabase.h"
#include "service/IndexSearch.h"
#include "service/QueryParser.h"
#include "service/IndexWatcher.h"
#include "service/Indexer.h"
#include "service/RegistrationStore.h"
#include "service/RootList.h"
#include "service/ServicePaths.h"
#include "service/WatcherInstance.h"

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
  Line(L"usage: quorvane-index add FOLDER | remove FOLDER | list | index | watch | stop | status | refresh MINUTES|off"
       L" | query TEXT [--recent]");
  return kUsage;
}

int AddRoot(const std::wstring& folder) {
  std::vector<std::wstring> replaced;
  switch (RootList().Add(folder, &replaced)) {
    case AddRootResult::NotAFolder:
      Line(L"Not a folder: " + folder);
      return kFailed;
    case AddRootResult::AlreadyCovered:
      Line(L"Already indexed as part of another folder: " + folder);
      return kOk;
    case AddRootResult::Added:
      break;
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

int ListRoots() {
  std::vector<std::wstring> roots = RootList().All();
  if (roots.empty()) Line(L"No folders are indexed. Add one with \"quorvane-index add FOLDER\".");
  for (const std::wstring& root : roots) Line(root);
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
                                                 L"very large documents, links, names the index could not take).");
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
  if (IsIndexMarkedDamaged()) {
    Line(L"The index is damaged; \"quorvane-index index\" rebuilds it.");
  } else {
    Line(L"Files in the index: " + Number(static_cast<std::uint64_t>(IndexedFileCount())));
    Line(L"Documents skipped or cut off (damaged, encrypted or hostile): " +
         Number(static_cast<std::uint64_t>(SkippedDocumentCount())));
    for (const FormatCounts& format : DocumentCountsByFormat()) {
      Line(L"  " + format.extension + L": " + Number(format.read) + L" read, " + Number(format.cutOff) + L" cut off, " +
           Number(format.encrypted) + L" encrypted, " + Number(format.damaged) + L" damaged");
    }
    Line(L"Last index pass: " + LocalTime(LastIndexPassTime()));
  }
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
  if (!OpenIndexForSearch()) {
    ErrorLine(L"There is no index yet. Run \"quorvane-index index\" to build it.");
    return kFailed;
  }
  SearchIndex(query, ranking, [](SearchHit&& hit) {
    Line(hit.path);
    return true;
  });
  return kOk;
}

int Run(const std::vector<std::wstring>& args) {
  if (args.empty()) return Usage();
  if (DataFolder().empty()) {
    Line(L"The data folder cannot be created.");
    return kFailed;
  }
  const std::wstring& command = args[0];
  if (command == L"add" && args.size() == 2) return AddRoot(args[1]);
  if (command == L"remove" && args.size() == 2) return RemoveRoot(args[1]);
  if (command == L"list" && args.size() == 1) return ListRoots();
  if (command == L"index" && args.size() == 1) return IndexNow();
  if (command == L"status" && args.size() == 1) return ShowStatus();
  if (command == L"watch" && args.size() == 1) return Watch();
  if (command == L"stop" && args.size() == 1) return Stop();
  if (command == L"refresh" && args.size() == 2) return SetRefresh(args[1]);
  if (command == L"query" && args.size() == 2) return Query(args[1], Ranking::Relevance);
  if (command == L"query" && args.size() == 3 && args[2] == L"--recent") return Query(args[1], Ranking::Recency);
  return Usage();
}

}  // namespace
}  // namespace qv::service

int main() {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> args;
  for (int i = 1; argv && i < count; ++i) args.emplace_back(argv[i]);
  LocalFree(argv);
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
