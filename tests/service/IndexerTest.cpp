#include "ServiceTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <functional>

#include "common/Holders.h"
#include "common/Text.h"
#include "service/BackgroundIndexing.h"
#include "service/ExclusionList.h"
#include "service/IndexDatabase.h"
#include "service/TextExtractor.h"
#include "service/Indexer.h"
#include "service/RootList.h"
#include "service/ServicePaths.h"
#include "service/WatcherInstance.h"
#include "support/TempDirectory.h"

namespace qv::service::test {
namespace {

// The names a folder lists, exactly as listed.
std::vector<std::wstring> ListedNames(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (entry.cFileName[0] != L'.') names.push_back(entry.cFileName);
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return names;
}

bool Lists(const std::wstring& folder, const std::wstring& name) {
  std::vector<std::wstring> names = ListedNames(folder);
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Writes a file whose name differs from an existing one's only in case: in a
// folder that holds such names (a case-sensitive folder) or, under Wine, from
// the Unix side. False when the file system calls the two names one.
bool AddCaseTwin(const std::wstring& folder, const std::wstring& name, const std::string& content) {
  UniqueHandle file(CreateFileW((folder + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  if (file.Get() != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    return WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  }
  file.Release();
  return RunUnderWineShell(folder, "printf " + content + " > '" + ToUtf8(name) + "'",
                           [&] { return Lists(folder, name); });
}

// Makes `link` a symbolic link to the file `target`: the platform's own where
// the account may make one, a Unix link under Wine.
bool MakeFileLink(const std::wstring& link, const std::wstring& target) {
  // Wine answers success without making a link; only a link that is there counts.
  if (CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
      GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) {
    return true;
  }
  std::wstring folder = link.substr(0, link.find_last_of(L'\\'));
  std::wstring name = link.substr(folder.size() + 1);
  return RunUnderWineShell(folder, "ln -sf '" + UnixPathOf(target) + "' '" + ToUtf8(name) + "'",
                           [&] { return Lists(folder, name); });
}

class Indexing : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    cookie_ = RegisterClient();
    ASSERT_GT(cookie_, 0);
  }

  Names Find(const wchar_t* text) { return Sorted(Titles(RunQuery(cookie_, text).results)); }
  IndexReport Pass() { return Indexer().Run(); }

  static bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

  LONG cookie_ = 0;
};

TEST_F(Indexing, SecondPassSkipsUnchangedFilesAndPicksUpRenamesDeletesAndEdits) {
  AddFile("a\\alpha.txt", "apple orchard");
  AddFile("a\\beta.txt", "banana grove");
  AddFile("b\\gamma.log", "cherry tree");
  IndexTree();
  EXPECT_EQ(Names({L"alpha.txt"}), Find(L"orchard"));

  IndexReport unchanged = Pass();
  EXPECT_EQ(3u, unchanged.counts.filesSeen);
  EXPECT_EQ(0u, unchanged.counts.filesIndexed);
  EXPECT_EQ(0u, unchanged.counts.filesRemoved);

  ASSERT_TRUE(MoveFileW(TreePath("a\\alpha.txt").c_str(), TreePath("b\\renamed alpha.txt").c_str()));
  ASSERT_TRUE(DeleteFileW(TreePath("a\\beta.txt").c_str()));
  qv::test::WriteFileText(tree_.File("b\\gamma.log"), "cherry blossom and something longer");
  IndexReport changed = Pass();
  EXPECT_EQ(2u, changed.counts.filesIndexed);
  EXPECT_EQ(2u, changed.counts.filesRemoved);

  QueryOutcome moved = RunQuery(cookie_, L"orchard");
  ASSERT_EQ(1u, moved.results.size());
  EXPECT_EQ(TreePath("b\\renamed alpha.txt"), moved.results[0].uri);
  EXPECT_EQ(Names({}), Find(L"banana"));
  EXPECT_EQ(Names({}), Find(L"beta"));
  EXPECT_EQ(Names({L"gamma.log"}), Find(L"blossom"));
  EXPECT_EQ(Names({}), Find(L"tree"));
}

TEST_F(Indexing, ExclusionsLeaveOutFoldersAndNamesAndTheNextPassAppliesAChange) {
  // Each file holds a word of its own (a .tmp file is found by its name).
  struct Entry {
    const char* path;
    const char* word;
    bool kept;
  };
  std::vector<Entry> entries = {
      {"keep\\plain.txt", "apple", true},
      {"keep\\node_modules\\lib\\index.txt", "banana", false},     // a default name, deep
      {"keep\\deep\\.GIT\\config.txt", "cherry", false},         // names match in any case
      {"keep\\scratch.tmp", "scratch", false},                      // a pattern with * (found by name)
      {"keep\\draft-1.txt", "elder", false},                        // a pattern with ?
      {"keep\\draft-10.txt", "fig", true},
      {"skip\\inner\\notes.txt", "grape", false},                  // an excluded folder
      {"skipped\\notes.txt", "huckleberry", true},                 // its sibling with a longer name
      {"node_modules.txt", "jackfruit", true},                       // a name that only starts alike
  };
  for (const Entry& entry : entries) AddFile(entry.path, entry.word);
  ASSERT_EQ(AddRootResult::Added, RootList().Add(TreePath()));
  EXPECT_EQ(ExcludeResult::Added, ExclusionList().Add(L"*.tmp"));
  EXPECT_EQ(ExcludeResult::Added, ExclusionList().Add(L"draft-?.txt"));
  EXPECT_EQ(ExcludeResult::Added, ExclusionList().Add(TreePath("skip") + L"\\"));
  EXPECT_EQ(ExcludeResult::AlreadyExcluded, ExclusionList().Add(TreePath("SKIP")));
  EXPECT_EQ(ExcludeResult::NotAFolder, ExclusionList().Add(TreePath("nowhere")));
  EXPECT_EQ(ExcludeResult::ExcludesEverything, ExclusionList().Add(L"*"));
  EXPECT_EQ(ExcludeResult::ExcludesEverything, ExclusionList().Add(L"*.*"));
  Pass();
  for (const Entry& entry : entries) {
    std::wstring name = Wide(entry.path).substr(Wide(entry.path).find_last_of(L'\\') + 1);
    EXPECT_EQ(entry.kept ? Names({name}) : Names({}), Find(Wide(entry.word).c_str())) << entry.path;
  }

  // Newly excluded files leave on the next pass; what is included again comes back.
  EXPECT_TRUE(ExclusionList().Remove(L"*.tmp"));
  EXPECT_FALSE(ExclusionList().Remove(L"*.tmp"));
  EXPECT_TRUE(ExclusionList().Remove(L"node_modules"));
  EXPECT_EQ(ExcludeResult::Added, ExclusionList().Add(L"plain.txt"));
  Pass();
  EXPECT_EQ(Names({}), Find(L"apple"));
  EXPECT_EQ(Names({L"scratch.tmp"}), Find(L"scratch"));
  EXPECT_EQ(Names({L"index.txt"}), Find(L"banana"));
  EXPECT_EQ(Names({L"notes.txt"}), Find(L"huckleberry"));
}

TEST_F(Indexing, ANewDataFolderStartsWithTheDefaultExclusionsAndARootIsNeverExcluded) {
  std::vector<std::wstring> defaults = ExclusionList().All();
  for (const wchar_t* name : {L"$Recycle.Bin", L"System Volume Information", L".git", L".svn", L".hg", L"node_modules"}) {
    EXPECT_NE(defaults.end(), std::find(defaults.begin(), defaults.end(), name)) << ToUtf8(name);
  }
  // The user's temporary folder is there too, by its full path; the test's
  // own tree lies in it and is indexed all the same, being a root.
  wchar_t temp[MAX_PATH + 1] = {};
  GetLongPathNameW(Wide(tree_.Path()).c_str(), temp, MAX_PATH + 1);
  bool tempListed = false;
  for (const std::wstring& entry : defaults) tempListed = tempListed || (IsFolderExclusion(entry) && IsInsideFolder(temp, entry));
  EXPECT_TRUE(tempListed);
  AddFile("node_modules\\kept.txt", "quince");
  ASSERT_EQ(AddRootResult::Added, RootList().Add(TreePath("node_modules")));
  Pass();
  EXPECT_EQ(Names({L"kept.txt"}), Find(L"quince"));
  // Removed, a default stays removed.
  EXPECT_TRUE(ExclusionList().Remove(L".svn"));
  defaults = ExclusionList().All();
  EXPECT_EQ(defaults.end(), std::find(defaults.begin(), defaults.end(), L".svn"));
}

TEST_F(Indexing, ARenameThatOnlyChangesCaseIsPickedUp) {
  std::wstring lower = AddFile("lower.txt", "kiwi");
  IndexTree();
  WIN32_FILE_ATTRIBUTE_DATA before;
  ASSERT_TRUE(GetFileAttributesExW(lower.c_str(), GetFileExInfoStandard, &before));
  // Wine does not rename a file to another case of its own name, so the file is
  // made anew under the new case with the same size and time.
  ASSERT_TRUE(DeleteFileW(lower.c_str()));
  std::wstring upper = AddFile("LOWER.txt", "kiwi");
  UniqueHandle file(CreateFileW(upper.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(SetFileTime(file.Get(), nullptr, nullptr, &before.ftLastWriteTime));
  file.Reset();
  Pass();
  EXPECT_EQ(Names({L"LOWER.txt"}), Find(L"kiwi"));
}

TEST_F(Indexing, NamesThatDifferOnlyInCaseAreTwoFilesAndStopNothing) {
  qv::test::TempDirectory other;
  qv::test::WriteFileText(other.File("elsewhere.txt"), "walnut");
  ASSERT_EQ(AddRootResult::Added, RootList().Add(Wide(other.Path())));
  AddFile("a\\Report.txt", "alpha");
  AddFile("b\\beside.txt", "hazelnut");
  bool bothHeld = AddCaseTwin(TreePath("a"), L"report.txt", "beta");
  ASSERT_EQ(AddRootResult::Added, RootList().Add(TreePath()));
  IndexReport first = Pass();
  EXPECT_TRUE(first.failedRoots.empty());
  EXPECT_EQ(Names({L"elsewhere.txt"}), Find(L"walnut"));
  EXPECT_EQ(Names({L"beside.txt"}), Find(L"hazelnut"));
  EXPECT_EQ(Names({L"Report.txt"}), Find(L"alpha"));
  if (!bothHeld) {
    std::printf("The file system here calls Report.txt and report.txt one name; only one is made.\n");
    return;
  }
  EXPECT_EQ(Names({L"report.txt"}), Find(L"beta"));
  EXPECT_EQ(Names({L"Report.txt", L"report.txt"}), Find(L"report"));
  // Each keeps its identity: the next pass finds nothing changed.
  IndexReport second = Pass();
  EXPECT_EQ(4u, second.counts.filesSeen);
  EXPECT_EQ(0u, second.counts.filesIndexed);
  EXPECT_EQ(0u, second.counts.filesRemoved);
}

TEST_F(Indexing, ALinkIsNotReadThroughOutOfTheRootsAndWhatItNamesInsideIsIndexedOnce) {
  qv::test::TempDirectory outside;
  qv::test::WriteFileText(outside.File("secret.txt"), "zebra");
  std::wstring inner = AddFile("inner.txt", "quokka");
  AddFile("sub\\plain.txt", "ibis");
  if (!MakeFileLink(TreePath("leak.txt"), Wide(outside.File("secret.txt"))) ||
      !MakeFileLink(TreePath("sub\\alias.txt"), inner)) {
    GTEST_SKIP() << "symbolic links cannot be made here";
  }
  IndexTree();
  EXPECT_EQ(Names({}), Find(L"zebra"));
  EXPECT_EQ(Names({L"inner.txt"}), Find(L"quokka"));
  EXPECT_EQ(Names({L"plain.txt"}), Find(L"ibis"));
  EXPECT_EQ(Names({}), Find(L"leak"));
}

TEST_F(Indexing, ALockedFileIsKeptByNameAndReadOnTheNextPass) {
  std::wstring path = AddFile("locked.txt", "mango");
  {
    UniqueHandle lock(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_NE(INVALID_HANDLE_VALUE, lock.Get());
    IndexTree();
    EXPECT_EQ(Names({L"locked.txt"}), Find(L"locked"));
    EXPECT_EQ(Names({}), Find(L"mango"));
  }
  IndexReport retried = Pass();
  EXPECT_EQ(1u, retried.counts.filesIndexed);
  EXPECT_EQ(0u, retried.counts.filesUnreadable);
  EXPECT_EQ(Names({L"locked.txt"}), Find(L"mango"));
}

TEST_F(Indexing, BinaryAndLargeFilesAreFoundByNameAndTheirFirstPart) {
  AddFile("picture.txt", std::string("PNG\0\0\0papaya", 12));
  std::string large = "guava " + std::string(kMaxIndexedTextBytes, 'x') + " pomelo";
  AddFile("large.log", large);
  IndexTree();
  EXPECT_EQ(Names({L"picture.txt"}), Find(L"picture"));
  EXPECT_EQ(Names({}), Find(L"papaya"));
  EXPECT_EQ(Names({L"large.log"}), Find(L"guava"));
  EXPECT_EQ(Names({}), Find(L"pomelo"));
}

TEST_F(Indexing, AnUnreachableRootKeepsItsFilesAndARemovedRootLosesThem) {
  qv::test::TempDirectory other;
  qv::test::WriteFileText(other.File("remote.txt"), "lychee");
  ASSERT_EQ(AddRootResult::Added, RootList().Add(Wide(other.Path())));
  AddFile("local.txt", "lychee");
  IndexTree();
  EXPECT_EQ(Names({L"local.txt", L"remote.txt"}), Find(L"lychee"));

  // The root goes away (an unplugged drive, say): what was known of it stays.
  std::wstring otherRoot = NormalizeFolderPath(Wide(other.Path()));
  std::wstring parked = otherRoot + L" parked";
  ASSERT_TRUE(MoveFileW(otherRoot.c_str(), parked.c_str()));
  IndexReport report = Pass();
  ASSERT_TRUE(MoveFileW(parked.c_str(), otherRoot.c_str()));
  ASSERT_EQ(1u, report.unreachableRoots.size());
  EXPECT_EQ(Names({L"local.txt", L"remote.txt"}), Find(L"lychee"));

  EXPECT_TRUE(RootList().Remove(otherRoot));
  Pass();
  EXPECT_EQ(Names({L"local.txt"}), Find(L"lychee"));
}

TEST_F(Indexing, RootsNeverNest) {
  AddFile("inner\\deep.txt", "");
  RootList roots;
  ASSERT_EQ(AddRootResult::Added, roots.Add(TreePath("inner")));
  std::vector<std::wstring> replaced;
  ASSERT_EQ(AddRootResult::Added, roots.Add(TreePath(), &replaced));
  EXPECT_EQ(1u, replaced.size());
  EXPECT_EQ(AddRootResult::AlreadyCovered, roots.Add(TreePath("inner")));
  EXPECT_EQ(AddRootResult::NotAFolder, roots.Add(TreePath("inner\\deep.txt")));
  EXPECT_EQ(AddRootResult::NotAFolder, roots.Add(TreePath("missing")));
  EXPECT_EQ(1u, roots.All().size());
}

TEST_F(Indexing, ADamagedIndexIsRebuiltFromTheRoots) {
  AddFile("fig.txt", "fig");
  IndexTree();
  // Overwrite the index with rubbish, as a failing disk might.
  std::string index = ToUtf8(IndexDatabasePath());
  qv::test::WriteFileText(index, std::string(8192, 'Z'));
  DeleteFileA((index + "-wal").c_str());
  DeleteFileA((index + "-shm").c_str());

  QueryOutcome broken = RunQuery(cookie_, L"fig");
  EXPECT_EQ(S_OK, broken.hr);
  EXPECT_EQ(kResultSetComplete, broken.finalState);
  EXPECT_TRUE(broken.results.empty());
  EXPECT_TRUE(IsIndexMarkedDamaged());

  IndexReport rebuilt = Pass();
  EXPECT_TRUE(rebuilt.rebuilt);
  EXPECT_FALSE(IsIndexMarkedDamaged());
  EXPECT_EQ(Names({L"fig.txt"}), Find(L"fig"));
}

std::uint64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Words no other file holds, so that every file adds its own entries.
std::string WordsOfFile(int file) {
  std::string text;
  for (int word = 0; word < 300; ++word) text += "w" + std::to_string(file) + "x" + std::to_string(word) + " ";
  return text;
}

TEST_F(Indexing, TheIndexGivesSpaceBackWhenFilesLeave) {
  qv::test::TempDirectory kept;
  for (int i = 0; i < 5; ++i) qv::test::WriteFileText(kept.File("kept" + std::to_string(i) + ".txt"), WordsOfFile(i));
  std::wstring keptRoot = NormalizeFolderPath(Wide(kept.Path()));
  // The size of a fresh index of the files that stay, in a data folder of its own.
  std::uint64_t fresh = 0;
  {
    qv::test::TempDirectory data;
    SetEnvironmentVariableW(kDataFolderVariable, Wide(data.Path()).c_str());
    ASSERT_EQ(AddRootResult::Added, RootList().Add(keptRoot));
    Pass();
    fresh = FileSize(IndexDatabasePath());
    SetEnvironmentVariableW(kDataFolderVariable, Wide(data_.Path()).c_str());
  }
  ASSERT_GT(fresh, 0u);
  for (int i = 0; i < 400; ++i) AddFile("leaving\\" + std::to_string(i) + ".txt", WordsOfFile(100 + i));
  ASSERT_EQ(AddRootResult::Added, RootList().Add(keptRoot));
  auto fill = [&] {
    ASSERT_EQ(AddRootResult::Added, RootList().Add(TreePath()));
    Pass();
    ASSERT_GT(FileSize(IndexDatabasePath()), 3 * fresh);
  };
  auto expectShrunk = [&](const char* after) {
    SCOPED_TRACE(after);
    EXPECT_LE(FileSize(IndexDatabasePath()), fresh * 3 / 2) << "fresh: " << fresh;
    EXPECT_EQ(2, OpenIndexForSearch()->ScalarInteger("PRAGMA auto_vacuum"));
    EXPECT_EQ(Names({L"kept3.txt"}), Find(L"w3x7"));
    EXPECT_EQ(Names({}), Find(L"w107x7"));
  };

  // A root removed.
  fill();
  ASSERT_TRUE(RootList().Remove(TreePath()));
  Pass();
  expectShrunk("a root removed");

  // An index made before it gave space back is converted on its next pass.
  fill();
  OpenIndexForSearch()->Execute("PRAGMA auto_vacuum = NONE; VACUUM");
  ASSERT_EQ(0, OpenIndexForSearch()->ScalarInteger("PRAGMA auto_vacuum"));
  ASSERT_TRUE(RootList().Remove(TreePath()));
  Pass();
  expectShrunk("an index without auto-vacuum");

  // An index of an earlier version, built anew in its own file.
  fill();
  OpenIndexForSearch()->Execute("PRAGMA user_version = 2");
  ASSERT_TRUE(RootList().Remove(TreePath()));
  EXPECT_TRUE(Pass().upgraded);
  expectShrunk("a rebuild");
}

TEST_F(Indexing, OnlyOnePassRunsAtATime) {
  IndexTree();
  UniqueHandle lock(CreateFileW(IndexLockPath().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  ASSERT_NE(INVALID_HANDLE_VALUE, lock.Get());
  EXPECT_THROW(Pass(), IndexBusy);
}

TEST_F(Indexing, AQueryStartsABackgroundPassWhenTheIndexIsStale) {
  AddFile("durian.txt", "durian");
  ASSERT_EQ(AddRootResult::Added, RootList().Add(TreePath()));
  SetRefreshIntervalMinutes(5);
  EXPECT_EQ(Names({}), Find(L"durian"));
  // The tool beside the service DLL indexes in its own process: the watcher
  // the query started catches up with a pass.
  for (int i = 0; i < 300 && (LastIndexPassTime() == 0 || FileExists(IndexLockPath())); ++i) Sleep(100);
  EXPECT_NE(0, LastIndexPassTime());
  EXPECT_EQ(Names({L"durian.txt"}), Find(L"durian"));
  // Fresh now, and kept so by the watcher: the next query starts nothing.
  EXPECT_FALSE(RefreshIndexIfStale());
  EXPECT_TRUE(StopWatcher(20000));
}

TEST_F(Indexing, QueriesBeforeAnyIndexHaveNoResults) {
  QueryOutcome outcome = RunQuery(cookie_, L"anything");
  EXPECT_EQ(S_OK, outcome.hr);
  EXPECT_TRUE(outcome.results.empty());
  EXPECT_EQ(kResultSetComplete, outcome.finalState);
}

}  // namespace
}  // namespace qv::service::test
