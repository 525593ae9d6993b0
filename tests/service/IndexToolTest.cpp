#include "ServiceTestSupport.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>

#include "common/Holders.h"
#include "common/Text.h"
#include "service/IndexDatabase.h"
#include "service/ExclusionList.h"
#include "service/Indexer.h"
#include "service/RootList.h"
#include "service/options/OptionsResources.h"

namespace qv::service::test {
namespace {

using IndexTool = ServiceTest;

TEST_F(IndexTool, AddsIndexesListsAndReportsStatus) {
  AddFile("docs\\plum.txt", "damson");
  std::string root = ToUtf8(TreePath("docs"));

  ToolRun added = RunTool("add \"" + root + "\"");
  EXPECT_EQ(0u, added.exitCode) << added.output;
  ToolRun listed = RunTool("list");
  EXPECT_NE(std::string::npos, listed.output.find(root)) << listed.output;

  ToolRun indexed = RunTool("index");
  EXPECT_EQ(0u, indexed.exitCode) << indexed.output;
  EXPECT_NE(std::string::npos, indexed.output.find("1 files seen, 1 indexed")) << indexed.output;

  LONG cookie = RegisterClient();
  EXPECT_EQ(Names({L"plum.txt"}), Titles(RunQuery(cookie, L"damson").results));

  ToolRun status = RunTool("status");
  EXPECT_EQ(0u, status.exitCode);
  EXPECT_NE(std::string::npos, status.output.find("Files in the index: 1")) << status.output;
  EXPECT_NE(std::string::npos, status.output.find("Registered clients: 1")) << status.output;
}

TEST_F(IndexTool, RefusesWhatItCannotDo) {
  EXPECT_EQ(1u, RunTool("").exitCode);
  EXPECT_EQ(1u, RunTool("frobnicate").exitCode);
  ToolRun missing = RunTool("add \"" + ToUtf8(TreePath("no such folder")) + "\"");
  EXPECT_EQ(2u, missing.exitCode);
  EXPECT_NE(std::string::npos, missing.output.find("Not a folder")) << missing.output;
  EXPECT_EQ(2u, RunTool("remove \"" + ToUtf8(TreePath()) + "\"").exitCode);
}

TEST_F(IndexTool, ExcludesAndIncludesFoldersAndPatternsAndListsThem) {
  AddFile("docs\\plum.txt", "damson");
  AddFile("docs\\cache\\plum copy.txt", "damson");
  AddFile("docs\\plum.bak", "damson");
  IndexTree();
  std::string cache = ToUtf8(TreePath("docs\\cache"));
  ToolRun folder = RunTool("exclude \"" + cache + "\"");
  EXPECT_EQ(0u, folder.exitCode) << folder.output;
  EXPECT_NE(std::string::npos, folder.output.find("Excluded " + cache + ". What it covers leaves the index on the next pass."))
      << folder.output;
  EXPECT_EQ(0u, RunTool("exclude *.bak").exitCode);
  ToolRun again = RunTool("exclude node_modules");
  EXPECT_EQ(0u, again.exitCode);
  EXPECT_NE(std::string::npos, again.output.find("Already excluded: node_modules")) << again.output;
  ToolRun everything = RunTool("exclude *");
  EXPECT_EQ(2u, everything.exitCode);
  EXPECT_NE(std::string::npos, everything.output.find("every file")) << everything.output;
  ToolRun missing = RunTool("exclude \"" + ToUtf8(TreePath("no such folder")) + "\"");
  EXPECT_EQ(2u, missing.exitCode);
  EXPECT_NE(std::string::npos, missing.output.find("Not a folder")) << missing.output;

  ToolRun listed = RunTool("list");
  std::string root = ToUtf8(TreePath());
  root.pop_back();  // the tree's path ends in a backslash, a root's does not
  EXPECT_NE(std::string::npos, listed.output.find(root + "\r\n")) << listed.output;
  for (const std::string& line : {"Excluded: " + cache, std::string("Excluded: *.bak"), std::string("Excluded: .git"),
                                  std::string("Excluded: node_modules")}) {
    EXPECT_NE(std::string::npos, listed.output.find(line + "\r\n")) << line << "\n" << listed.output;
  }

  // An indexed folder stays indexed however it is excluded.
  ToolRun chosen = RunTool("exclude \"" + root + "\"");
  EXPECT_NE(std::string::npos, chosen.output.find("Still indexed, as you chose it: " + root)) << chosen.output;

  EXPECT_EQ(0u, RunTool("index").exitCode);
  LONG cookie = RegisterClient();
  EXPECT_EQ(Names({L"plum.txt"}), Titles(RunQuery(cookie, L"plum").results));
  ToolRun included = RunTool("include *.bak");
  EXPECT_EQ(0u, included.exitCode) << included.output;
  EXPECT_EQ(2u, RunTool("include *.bak").exitCode);
  EXPECT_EQ(0u, RunTool("include \"" + cache + "\"").exitCode);
  EXPECT_EQ(0u, RunTool("index").exitCode);
  EXPECT_EQ(Names({L"plum copy.txt", L"plum.bak", L"plum.txt"}), Sorted(Titles(RunQuery(cookie, L"plum").results)));
  EXPECT_EQ(std::string::npos, RunTool("list").output.find("*.bak"));
}

std::vector<std::wstring> ListBoxLines(HWND list) {
  std::vector<std::wstring> lines;
  auto count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[1024] = {};
    if (SendMessageW(list, LB_GETTEXTLEN, i, 0) < 1024) SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    lines.emplace_back(text);
  }
  return lines;
}

std::wstring ControlText(HWND dialog, int id) {
  wchar_t text[512] = {};
  GetDlgItemTextW(dialog, id, text, 512);
  return text;
}

// The texts of a list view's rows in another process: its messages take
// pointers in that process, so the item and its text are lent from there.
std::vector<std::vector<std::wstring>> ListViewRows(HWND list) {
  std::vector<std::vector<std::wstring>> rows;
  DWORD processId = 0;
  GetWindowThreadProcessId(list, &processId);
  UniqueHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
  constexpr std::size_t kCapacity = 256;
  void* remote = VirtualAllocEx(process.Get(), nullptr, sizeof(LVITEMW) + kCapacity * sizeof(wchar_t), MEM_COMMIT,
                                PAGE_READWRITE);
  if (!remote) return rows;
  auto* text = reinterpret_cast<wchar_t*>(static_cast<BYTE*>(remote) + sizeof(LVITEMW));
  auto columns = SendMessageW(reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0);
  auto count = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
  for (LRESULT row = 0; row < count; ++row) {
    std::vector<std::wstring>& cells = rows.emplace_back();
    for (int column = 0; column < columns; ++column) {
      LVITEMW item = {};
      item.iSubItem = column;
      item.cchTextMax = kCapacity;
      item.pszText = text;
      wchar_t cell[kCapacity] = {};
      WriteProcessMemory(process.Get(), remote, &item, sizeof item, nullptr);
      auto length = SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote));
      if (length > 0 && length < static_cast<LRESULT>(kCapacity)) {
        ReadProcessMemory(process.Get(), text, cell, static_cast<SIZE_T>(length) * sizeof(wchar_t), nullptr);
      }
      cells.emplace_back(cell);
    }
  }
  VirtualFreeEx(process.Get(), remote, 0, MEM_RELEASE);
  return rows;
}

TEST_F(IndexTool, OptionsOpensTheIndexingOptionsWindowWithFoldersExclusionsAndState) {
  AddFile("docs\\pear.txt", "perry");
  AddFile("docs\\plum.rtf", "{\\rtf1 damson}");
  AddFile("docs\\torn.docx", "not a package");
  IndexTree();
  ASSERT_EQ(ExcludeResult::Added, ExclusionList().Add(L"*.bak"));
  const char* tool = std::getenv("QUORVANE_INDEX_TOOL");
  ASSERT_NE(nullptr, tool);
  std::string commandLine = "\"" + qv::test::HostPathToWindows(tool) + "\" options";
  STARTUPINFOA startup = {sizeof startup};
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &process));
  UniqueHandle processHandle(process.hProcess);
  UniqueHandle threadHandle(process.hThread);
  HWND dialog = nullptr;
  for (int i = 0; i < 200 && !dialog; ++i) {
    Sleep(100);
    dialog = FindWindowW(nullptr, L"Indexing options - quorvane");
  }
  ASSERT_NE(nullptr, dialog);
  // The state is filled when the window opens, and every second.
  for (int i = 0; i < 30 && ControlText(dialog, IDC_STATE_FILES).empty(); ++i) Sleep(100);

  std::wstring root = TreePath();
  root.pop_back();
  EXPECT_EQ(std::vector<std::wstring>({root}), ListBoxLines(GetDlgItem(dialog, IDC_ROOTS)));
  std::vector<std::wstring> exclusions = ListBoxLines(GetDlgItem(dialog, IDC_EXCLUSIONS));
  EXPECT_NE(exclusions.end(), std::find(exclusions.begin(), exclusions.end(), L"*.bak"));
  EXPECT_NE(exclusions.end(), std::find(exclusions.begin(), exclusions.end(), L"node_modules"));
  EXPECT_EQ(L"Files in the index: 3", ControlText(dialog, IDC_STATE_FILES));
  // Per format: read, cut off, encrypted, damaged, filter failed.
  using Rows = std::vector<std::vector<std::wstring>>;
  EXPECT_EQ(Rows({{L"docx", L"0", L"0", L"0", L"1", L"0"}, {L"rtf", L"1", L"0", L"0", L"0", L"0"}}),
            ListViewRows(GetDlgItem(dialog, IDC_FORMATS)));
  EXPECT_NE(std::wstring::npos, ControlText(dialog, IDC_STATE_WATCHER).find(L"Watcher: not running"));
  EXPECT_EQ(L"No index pass is running.", ControlText(dialog, IDC_PROGRESS_TEXT));
  EXPECT_EQ(L"&Pause indexing", ControlText(dialog, IDC_PAUSE));
  EXPECT_EQ(L"&Update now", ControlText(dialog, IDC_UPDATE_NOW));
  EXPECT_EQ(L"Re&build", ControlText(dialog, IDC_REBUILD));

  // A pattern typed and added shows in the list and is stored.
  SetDlgItemTextW(dialog, IDC_PATTERN, L"*.old");
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_EXCLUDE_PATTERN, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_EXCLUDE_PATTERN)));
  exclusions = ListBoxLines(GetDlgItem(dialog, IDC_EXCLUSIONS));
  EXPECT_NE(exclusions.end(), std::find(exclusions.begin(), exclusions.end(), L"*.old"));
  std::vector<std::wstring> stored = ExclusionList().All();
  EXPECT_NE(stored.end(), std::find(stored.begin(), stored.end(), L"*.old"));

  PostMessageW(dialog, WM_CLOSE, 0, 0);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(processHandle.Get(), 10000));
  DWORD exitCode = 1;
  GetExitCodeProcess(processHandle.Get(), &exitCode);
  EXPECT_EQ(0u, exitCode);
}

TEST_F(IndexTool, TellsWhenItRebuildsADamagedIndex) {
  AddFile("quince.txt", "quince");
  IndexTree();
  MarkIndexDamaged();
  ToolRun run = RunTool("index");
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_NE(std::string::npos, run.output.find("rebuilt")) << run.output;
  LONG cookie = RegisterClient();
  EXPECT_EQ(Names({L"quince.txt"}), Titles(RunQuery(cookie, L"quince").results));
}

TEST_F(IndexTool, StatusAndQueriesTellADamagedIndexAndMarkItForRebuilding) {
  AddFile("quince.txt", "quince");
  IndexTree();
  std::string found = ToUtf8(TreePath("quince.txt")) + "\r\n";
  std::string index = data_.Path() + "index.db";
  struct Damage {
    const char* what;
    std::size_t offset;  // from here to the last page, the file is overwritten
  };
  auto damage = [&](Damage how) {
    std::string bytes = qv::test::ReadFileText(index);
    ASSERT_GT(bytes.size(), how.offset + 8192);
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(how.offset), bytes.end() - 4096, 'Z');
    qv::test::WriteFileText(index, bytes);
  };
  for (Damage how : {Damage{"rubbish for a header", 0}, Damage{"pages overwritten", 4096}}) {
    SCOPED_TRACE(how.what);
    damage(how);
    ToolRun query = RunTool("query quince");
    EXPECT_EQ(2u, query.exitCode) << query.output;
    EXPECT_NE(std::string::npos, query.output.find("The index is damaged")) << query.output;
    EXPECT_TRUE(IsIndexMarkedDamaged());
    EXPECT_EQ(0u, RunTool("index").exitCode);
    EXPECT_FALSE(IsIndexMarkedDamaged());
    EXPECT_EQ(found, RunTool("query quince").output);

    damage(how);
    ToolRun status = RunTool("status");
    EXPECT_NE(std::string::npos, status.output.find("The index is damaged")) << status.output;
    EXPECT_EQ(std::string::npos, status.output.find("Files in the index")) << status.output;
    EXPECT_TRUE(IsIndexMarkedDamaged());
    EXPECT_EQ(0u, RunTool("index").exitCode);
    EXPECT_EQ(found, RunTool("query quince").output);
  }
}

// Text of `words` words no other call makes, so every file adds to the index.
std::string DistinctWords(int seed, int words) {
  std::uint32_t state = 2654435761u * static_cast<std::uint32_t>(seed + 1);
  std::string text;
  for (int i = 0; i < words; ++i) {
    for (int letter = 0; letter < 9; ++letter) {
      state = state * 1664525u + 1013904223u;
      text += static_cast<char>('a' + (state >> 24) % 26);
    }
    text += ' ';
  }
  return text;
}

TEST_F(IndexTool, AFullOrReadOnlyDiskStopsThePassSayingWhyAndTheNextPassRetries) {
  std::wstring folder = Wide(data_.Path()) + L"small disk";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  SmallDisk disk(folder, 1024 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << "a disk of its own cannot be mounted here (it takes Wine and root)";
  UseDataFolder(folder);
  AddFile("first.txt", "quince");
  IndexTree();
  OpenIndexForSearch()->Execute("UPDATE index_state SET value = 1000 WHERE key = 'last_pass'");
  for (int i = 0; i < 40; ++i) AddFile("words\\" + std::to_string(i) + ".txt", DistinctWords(i, 4000));
  std::string first = ToUtf8(TreePath("first.txt")) + "\r\n";

  ToolRun full = RunTool("index");
  EXPECT_EQ(2u, full.exitCode) << full.output;
  EXPECT_NE(std::string::npos, full.output.find("the disk holding the index is full")) << full.output;
  EXPECT_EQ(std::string::npos, full.output.find("up to date")) << full.output;
  // No pass is recorded, so the next automatic one tries again; queries
  // answer from the index as it was.
  EXPECT_EQ(1000, LastIndexPassTime());
  EXPECT_EQ(first, RunTool("query quince").output);

  ASSERT_TRUE(disk.Resize(64 * 1024 * 1024));
  ToolRun roomy = RunTool("index");
  EXPECT_EQ(0u, roomy.exitCode) << roomy.output;
  EXPECT_NE(std::string::npos, roomy.output.find("Index up to date")) << roomy.output;
  EXPECT_NE(1000, LastIndexPassTime());
  std::string word = DistinctWords(39, 1);
  word.pop_back();
  EXPECT_EQ(ToUtf8(TreePath("words\\39.txt")) + "\r\n", RunTool("query " + word).output);

  OpenIndexForSearch()->Execute("UPDATE index_state SET value = 1000 WHERE key = 'last_pass'");
  AddFile("second.txt", "medlar");
  ASSERT_TRUE(disk.MakeReadOnly());
  ToolRun readOnly = RunTool("index");
  EXPECT_EQ(2u, readOnly.exitCode) << readOnly.output;
  // Wine tells a read-only disk as access denied.
  EXPECT_NE(std::string::npos, readOnly.output.find("The index could not be written: the index")) << readOnly.output;
  EXPECT_EQ(1000, LastIndexPassTime());
  EXPECT_EQ(first, RunTool("query quince").output);
}

TEST_F(IndexTool, QueryPrintsMatchingPathsAndNamesWhatItReadLiterally) {
  AddFile("docs\\plum jam.txt", "damson");
  AddFile("docs\\odd.txt", "size 1");
  IndexTree();
  ToolRun run = RunTool("query \"plum OR size:>>1\"");
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_EQ("Warning: Read literally: size:>>1 (not a size)\r\n" + ToUtf8(TreePath("docs\\plum jam.txt")) + "\r\n" +
                ToUtf8(TreePath("docs\\odd.txt")) + "\r\n",
            run.output);
  ToolRun recent = RunTool("query damson --recent");
  EXPECT_EQ(ToUtf8(TreePath("docs\\plum jam.txt")) + "\r\n", recent.output);
}

TEST_F(IndexTool, RebuildsAndSaysSoAnIndexOfAnEarlierVersion) {
  AddFile("quince.txt", "quince");
  IndexTree();
  OpenIndexForSearch()->Execute("PRAGMA user_version = 2");
  // Until then it counts as never built, so the next query starts a pass.
  EXPECT_EQ(nullptr, OpenIndexForSearch());
  EXPECT_EQ(0, LastIndexPassTime());
  ToolRun run = RunTool("index");
  EXPECT_NE(std::string::npos, run.output.find("earlier version; it has been rebuilt")) << run.output;
  LONG cookie = RegisterClient();
  EXPECT_EQ(Names({L"quince.txt"}), Titles(RunQuery(cookie, L"quince").results));
}

}  // namespace
}  // namespace qv::service::test
