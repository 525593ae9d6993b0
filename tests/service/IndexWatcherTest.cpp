// The watcher keeps the index current: what happens to files inside a watched
// root shows in query results within seconds, without an index pass.

#include <windows.h>
#include <shlobj.h>

#include <cstdlib>
#include <functional>
#include <thread>

#include "ServiceTestSupport.h"
#include "common/DesktopSearchInterfaces.h"
#include "common/Holders.h"
#include "common/Text.h"
#include "service/BackgroundIndexing.h"
#include "service/ExclusionList.h"
#include "service/IndexWatcher.h"
#include "service/Indexer.h"
#include "service/RootList.h"
#include "service/WatcherInstance.h"
#include "support/ProgramRun.h"

namespace qv::service::test {
namespace {

std::string ToolCommand(const std::string& arguments) {
  const char* tool = std::getenv("QUORVANE_INDEX_TOOL");
  return tool ? "\"" + qv::test::HostPathToWindows(tool) + "\" " + arguments : std::string();
}

// Waits (bounded) until `done` holds, looking every 100 ms.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 10000) {
  ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (done()) return true;
    if (GetTickCount64() > deadline) return false;
    Sleep(100);
  }
}

class IndexWatcherTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    cookie_ = RegisterClient();
    ASSERT_NE(0, cookie_);
  }

  void TearDown() override {
    if (watcher_.Get()) {
      EXPECT_TRUE(StopWatcher(20000));
      EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(watcher_.Get(), 20000));
    }
    ServiceTest::TearDown();
  }

  // Starts "quorvane-index watch" as the logon entry would, and waits for it.
  void StartWatcher() {
    std::string commandLine = ToolCommand("watch");
    STARTUPINFOA startup = {sizeof startup};
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                               nullptr, &startup, &process));
    CloseHandle(process.hThread);
    watcher_.Reset(process.hProcess);
    ASSERT_TRUE(WaitFor(IsWatcherRunning));
  }

  Names Find(const wchar_t* text) { return Sorted(Titles(RunQuery(cookie_, text).results)); }

  // True once a query for `text` returns exactly `names`.
  bool Shows(const wchar_t* text, const Names& names) {
    return WaitFor([&] { return Find(text) == names; });
  }

  LONG cookie_ = 0;
  UniqueHandle watcher_;
};

TEST_F(IndexWatcherTest, CreatedModifiedRenamedAndDeletedFilesShowWithoutAPass) {
  AddFile("notes\\apricot.txt", "apricot orchard");
  ASSERT_EQ(AddRootResult::Added, RootList().Add(TreePath()));
  StartWatcher();
  // Started, it catches up with what changed while it was not running.
  EXPECT_TRUE(Shows(L"orchard", {L"apricot.txt"}));

  AddFile("notes\\deep\\er\\bilberry.txt", "bilberry jam");
  EXPECT_TRUE(Shows(L"jam", {L"bilberry.txt"}));

  qv::test::WriteFileText(tree_.Path() + "notes\\deep\\er\\bilberry.txt", "cloudberry jelly");
  EXPECT_TRUE(Shows(L"jelly", {L"bilberry.txt"}));
  EXPECT_TRUE(Shows(L"jam", {}));

  ASSERT_TRUE(MoveFileW(TreePath("notes\\deep\\er\\bilberry.txt").c_str(), TreePath("notes\\deep\\er\\damson.txt").c_str()));
  EXPECT_TRUE(Shows(L"jelly", {L"damson.txt"}));

  // A folder renamed: its files are found at their new paths.
  ASSERT_TRUE(MoveFileW(TreePath("notes\\deep").c_str(), TreePath("notes\\shallow").c_str()));
  EXPECT_TRUE(WaitFor([&] {
    QueryOutcome outcome = RunQuery(cookie_, L"jelly");
    return outcome.results.size() == 1 && outcome.results[0].uri.find(L"shallow") != std::wstring::npos;
  }));
  // A folder made after the watcher started is watched too.
  AddFile("notes\\shallow\\er\\later\\elderberry.txt", "elderberry wine");
  EXPECT_TRUE(Shows(L"wine", {L"elderberry.txt"}));

  ASSERT_TRUE(DeleteFileW(TreePath("notes\\apricot.txt").c_str()));
  EXPECT_TRUE(Shows(L"orchard", {}));
}

TEST_F(IndexWatcherTest, OneWatcherPerUserStopsOnRequestAndPicksUpNewRoots) {
  AddFile("first\\fig.txt", "fig tree");
  AddFile("second\\guava.txt", "guava tree");
  ASSERT_EQ(AddRootResult::Added, RootList().Add(TreePath("first")));
  StartWatcher();

  qv::test::ProgramRun second = qv::test::RunProgram(ToolCommand("watch"));
  EXPECT_EQ(0u, second.exitCode);
  EXPECT_NE(std::string::npos, second.output.find("already running")) << second.output;
  qv::test::ProgramRun status = qv::test::RunProgram(ToolCommand("status"));
  EXPECT_NE(std::string::npos, status.output.find("Watcher: running")) << status.output;

  EXPECT_TRUE(Shows(L"tree", {L"fig.txt"}));
  qv::test::ProgramRun added = qv::test::RunProgram(ToolCommand("add \"" + ToUtf8(TreePath("second")) + "\""));
  EXPECT_EQ(0u, added.exitCode) << added.output;
  EXPECT_TRUE(Shows(L"tree", Names({L"fig.txt", L"guava.txt"})));
  AddFile("second\\hazel.txt", "hazel tree");
  EXPECT_TRUE(Shows(L"tree", Names({L"fig.txt", L"guava.txt", L"hazel.txt"})));
  qv::test::ProgramRun removed = qv::test::RunProgram(ToolCommand("remove \"" + ToUtf8(TreePath("first")) + "\""));
  EXPECT_EQ(0u, removed.exitCode) << removed.output;
  EXPECT_TRUE(Shows(L"tree", Names({L"guava.txt", L"hazel.txt"})));

  qv::test::ProgramRun stopped = qv::test::RunProgram(ToolCommand("stop"));
  EXPECT_EQ(0u, stopped.exitCode) << stopped.output;
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(watcher_.Get(), 5000));
  DWORD exitCode = 1;
  GetExitCodeProcess(watcher_.Get(), &exitCode);
  EXPECT_EQ(0u, exitCode);
  watcher_.Reset();
  EXPECT_FALSE(IsWatcherRunning());
  status = qv::test::RunProgram(ToolCommand("status"));
  EXPECT_NE(std::string::npos, status.output.find("Watcher: not running")) << status.output;
}

TEST_F(IndexWatcherTest, TheWatcherSkipsWhatIsExcludedAndAppliesANewExclusionAtOnce) {
  AddFile("work\\notes.txt", "medlar notes");
  AddFile("work\\build\\out.txt", "medlar output");
  ASSERT_EQ(AddRootResult::Added, RootList().Add(TreePath()));
  StartWatcher();
  EXPECT_TRUE(Shows(L"medlar", Names({L"notes.txt", L"out.txt"})));
  AddFile("work\\node_modules\\pkg\\readme.txt", "medlar readme");
  AddFile("work\\seen.txt", "medlar seen");
  EXPECT_TRUE(Shows(L"medlar", Names({L"notes.txt", L"out.txt", L"seen.txt"})));

  qv::test::ProgramRun excluded = qv::test::RunProgram(ToolCommand("exclude \"" + ToUtf8(TreePath("work\\build")) + "\""));
  EXPECT_EQ(0u, excluded.exitCode) << excluded.output;
  EXPECT_NE(std::string::npos, excluded.output.find("The watcher takes what it covers out of the index now"))
      << excluded.output;
  EXPECT_TRUE(Shows(L"medlar", Names({L"notes.txt", L"seen.txt"})));
  AddFile("work\\build\\later.txt", "medlar later");
  AddFile("work\\also.txt", "medlar also");
  EXPECT_TRUE(Shows(L"medlar", Names({L"also.txt", L"notes.txt", L"seen.txt"})));
}

// Using the service starts the user's watcher when none runs, once, and not
// while indexing is paused; the query object tells how far the index is.
TEST_F(IndexWatcherTest, UsingTheServiceStartsTheWatcherWhichBuildsTheIndex) {
  AddFile("auto\\rowan.txt", "rowan berry");
  ASSERT_EQ(AddRootResult::Added, RootList().Add(TreePath()));
  ComPtr<IDesktopSearchQueryApi> api;
  ASSERT_EQ(S_OK, CreateServiceObject(kQueryApiProgId, &api));
  ComPtr<IQuorvaneIndexStatus> status;
  ASSERT_EQ(S_OK, api->QueryInterface(__uuidof(IQuorvaneIndexStatus), status.PutVoid()));
  LONG state = -1, files = -1, folders = -1;
  EXPECT_EQ(S_OK, status->GetIndexStatus(&state, &files, &folders));
  EXPECT_EQ(kIndexNotBuilt, state);
  EXPECT_EQ(0, files);
  EXPECT_EQ(1, folders);

  SetIndexingPaused(true);
  SetRefreshIntervalMinutes(5);
  Find(L"rowan");
  Sleep(1000);
  EXPECT_FALSE(IsWatcherRunning());
  qv::test::ProgramRun paused = qv::test::RunProgram(ToolCommand("watch"));
  EXPECT_NE(std::string::npos, paused.output.find("Indexing is paused")) << paused.output;

  // Resumed, the next query starts it; a client registering does not.
  SetIndexingPaused(false);
  EXPECT_NE(0, RegisterClient(L"{9E1F3D2C-5B4A-4C3D-8E7F-112233445566}"));
  Sleep(1000);
  EXPECT_FALSE(IsWatcherRunning());
  Find(L"rowan");
  EXPECT_TRUE(WaitFor(IsWatcherRunning));
  EXPECT_TRUE(Shows(L"rowan", {L"rowan.txt"}));
  EXPECT_EQ(S_OK, status->GetIndexStatus(&state, &files, nullptr));
  EXPECT_EQ(kIndexReady, state);
  EXPECT_EQ(1, files);

  qv::test::ProgramRun pause = qv::test::RunProgram(ToolCommand("pause"));
  EXPECT_EQ(0u, pause.exitCode) << pause.output;
  EXPECT_FALSE(IsWatcherRunning());
  EXPECT_TRUE(IsIndexingPaused());
  qv::test::ProgramRun resume = qv::test::RunProgram(ToolCommand("resume"));
  EXPECT_EQ(0u, resume.exitCode) << resume.output;
  EXPECT_TRUE(WaitFor(IsWatcherRunning));
  EXPECT_TRUE(StopWatcher(20000));
}

TEST_F(IndexWatcherTest, AUserWhoNeverChoseFoldersGetsDocumentsAndDesktopOnce) {
  EXPECT_TRUE(OfferDefaultFolders());
  std::vector<std::wstring> roots = RootList().All();
  for (const KNOWNFOLDERID* id : {&FOLDERID_Documents, &FOLDERID_Desktop}) {
    TaskMemory<wchar_t> path;
    ASSERT_EQ(S_OK, SHGetKnownFolderPath(*id, 0, nullptr, path.Put()));
    bool covered = false;
    for (const std::wstring& root : roots) covered = covered || IsInsideFolder(path.Get(), root);
    EXPECT_TRUE(covered) << ToUtf8(path.Get());
  }
  // Nothing is indexed here: the test's own passes would read the prefix's folders.
  for (const std::wstring& root : roots) EXPECT_TRUE(RootList().Remove(root));
  EXPECT_FALSE(OfferDefaultFolders());
  EXPECT_TRUE(RootList().All().empty());
}

// The installer's unticked "Index my Documents and Desktop" runs the tool's
// no-default-folders: the first search adds nothing.
TEST_F(IndexWatcherTest, AUserWhoDeclinedTheDefaultFoldersGetsNone) {
  qv::test::ProgramRun declined = qv::test::RunProgram(ToolCommand("no-default-folders"));
  EXPECT_EQ(0u, declined.exitCode) << declined.output;
  EXPECT_FALSE(OfferDefaultFolders());
  EXPECT_TRUE(RootList().All().empty());
}

// More changes than the watcher keeps one by one: it re-checks the root with an
// incremental pass and loses none of them.
TEST_F(IndexWatcherTest, TooManyChangesAreRecheckedByAPassOverTheRoot) {
  AddFile("bulk\\kept.txt", "quince paste");
  ASSERT_EQ(AddRootResult::Added, RootList().Add(TreePath()));
  WatcherSettings settings;
  settings.maxPendingPaths = 5;
  settings.quietMs = 1000;
  UniqueHandle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  UniqueHandle roots(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  std::thread watcher([&] { IndexWatcher(settings).Run(stop.Get(), roots.Get()); });
  EXPECT_TRUE(Shows(L"paste", {L"kept.txt"}));

  for (int i = 0; i < 40; ++i) AddFile("bulk\\many\\quince" + std::to_string(i) + ".txt", "quince jelly");
  ASSERT_TRUE(DeleteFileW(TreePath("bulk\\kept.txt").c_str()));
  EXPECT_TRUE(WaitFor([&] { return RunQuery(cookie_, L"jelly").results.size() == 40; }));
  EXPECT_TRUE(Shows(L"paste", {}));

  SetEvent(stop.Get());
  watcher.join();
}

// Many watched folders deleted at once all leave the index, and the folders
// beside them (whose names begin with a deleted one's) are still watched.
TEST_F(IndexWatcherTest, ManyFoldersDeletedAtOnceLeaveTheIndexAndTheirNeighboursStayWatched) {
  constexpr int kFolders = 300;
  for (int i = 0; i < kFolders; ++i) AddFile("d" + std::to_string(i) + "\\f.txt", "medlar");
  ASSERT_EQ(AddRootResult::Added, RootList().Add(TreePath()));
  UniqueHandle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  UniqueHandle roots(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  std::thread watcher([&] { IndexWatcher().Run(stop.Get(), roots.Get()); });
  auto found = [&](std::size_t count) {
    return WaitFor([&] { return RunQuery(cookie_, L"medlar").results.size() == count; }, 30000);
  };
  EXPECT_TRUE(found(kFolders));
  // Let the watcher reach its watching after the catch-up pass.
  Sleep(1000);

  // d1, d3, ... go; d10, d12, ... (named like d1 and more) stay.
  for (int i = 1; i < kFolders; i += 2) {
    std::wstring folder = TreePath("d" + std::to_string(i));
    ASSERT_TRUE(DeleteFileW((folder + L"\\f.txt").c_str()));
    ASSERT_TRUE(RemoveDirectoryW(folder.c_str()));
  }
  EXPECT_TRUE(found(kFolders / 2));
  AddFile("d10\\new.txt", "rowan");
  AddFile("d100\\new.txt", "rowan");
  EXPECT_TRUE(Shows(L"rowan", {L"new.txt", L"new.txt"}));

  SetEvent(stop.Get());
  watcher.join();
}

// Registering for a user starts the watcher and makes it start at logon;
// unregistering stops it and removes the logon entry.
TEST_F(IndexWatcherTest, UserRegistrationStartsTheWatcherAtLogonAndNow) {
  const char* dll = std::getenv("QUORVANE_SEARCH_DLL");
  ASSERT_NE(nullptr, dll);
  HMODULE module = LoadLibraryA(qv::test::HostPathToWindows(dll).c_str());
  ASSERT_NE(nullptr, module);
  using DllInstallFunction = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);
  auto install = reinterpret_cast<DllInstallFunction>(reinterpret_cast<void*>(GetProcAddress(module, "DllInstall")));
  ASSERT_NE(nullptr, install);
  auto logonEntry = [] {
    wchar_t value[1024] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                                  kWatcherLogonValue, RRF_RT_REG_SZ, nullptr, value, &size);
    return status == ERROR_SUCCESS ? std::wstring(value) : std::wstring();
  };

  ASSERT_EQ(S_OK, install(TRUE, L"user"));
  std::wstring entry = logonEntry();
  // The windowless tool: no console opens at logon.
  EXPECT_NE(std::wstring::npos, entry.find(L"\\quorvane-indexw.exe\" watch")) << entry;
  EXPECT_TRUE(WaitFor(IsWatcherRunning));

  EXPECT_EQ(S_OK, install(FALSE, L"user"));
  EXPECT_EQ(L"", logonEntry());
  EXPECT_FALSE(IsWatcherRunning());
  FreeLibrary(module);
}

}  // namespace
}  // namespace qv::service::test
