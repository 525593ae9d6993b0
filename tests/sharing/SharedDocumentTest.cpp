// Several host processes on one quorvane.xml, and a user's own copy of it.

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <stdexcept>
#include <set>
#include <string>
#include <vector>

#include "ConfirmationAnswerer.h"
#include "folders/CDocumentLock.h"
#include "folders/CFolderStore.h"
#include "common/ClassIds.h"
#include "common/Holders.h"
#include "common/Text.h"
#include "support/ProgramRun.h"
#include "support/ServerModule.h"
#include "support/ShellFolderCalls.h"
#include "support/TempDirectory.h"
#include "support/TestItemList.h"

namespace qv::test {
namespace {

constexpr int kWorkers = 4;
constexpr int kEachKind = 5;
constexpr DWORD kWorkerTimeout = 180000;

std::string WorkerPath() {
  const char* path = std::getenv("QUORVANE_SHARING_WORKER");
  if (!path || !*path) throw std::runtime_error("QUORVANE_SHARING_WORKER does not name the worker");
  return HostPathToWindows(path);
}

// Starts a program and leaves it running; its output goes where the test's goes.
UniqueHandle StartProgram(const std::string& commandLine) {
  STARTUPINFOA startup = {sizeof startup};
  PROCESS_INFORMATION process = {};
  std::string command = commandLine;
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return UniqueHandle();
  }
  CloseHandle(process.hThread);
  return UniqueHandle(process.hProcess);
}

DWORD WaitForExit(HANDLE process) {
  WaitForSingleObject(process, kWorkerTimeout);
  DWORD code = 0xFFFFFFFF;
  GetExitCodeProcess(process, &code);
  return code;
}

// Every folder of a parsed document as "A\B\C", and each one's search string.
void CollectFolders(IXMLDOMNode* node, const std::string& prefix, std::map<std::string, std::string>& folders) {
  ComPtr<IXMLDOMNodeList> children;
  Bstr query(L"folder");
  ThrowIfFailed(node->selectNodes(query.Get(), children.Put()));
  long count = 0;
  children->get_length(&count);
  for (long i = 0; i < count; ++i) {
    ComPtr<IXMLDOMNode> child;
    children->get_item(i, child.Put());
    char name[kNameSize] = {};
    char search[kQuerySize] = {};
    CFolderStore::GetNodeAttribute(child.Get(), "name", name, sizeof name);
    CFolderStore::GetNodeAttribute(child.Get(), "query", search, sizeof search);
    std::string path = prefix + name;
    folders[path] = search;
    CollectFolders(child.Get(), path + "\\", folders);
  }
}

std::map<std::string, std::string> FoldersOf(const std::string& documentPath) {
  CFolderStore store(ToWide(documentPath.c_str()));
  TestItemList root;
  root.Root();
  std::map<std::string, std::string> folders;
  CollectFolders(store.FindFolderNode(root.Get()).Get(), "", folders);
  return folders;
}

std::set<std::string> LinesOf(const std::string& path) {
  std::set<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.insert(line);
  }
  return lines;
}

// The DLL copied into a directory of its own, and the data directory every
// process of the test uses for quorvane.xml.
class SharedDocumentTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateDirectoryA(ProgramDirectory().c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(DataDirectory().c_str(), nullptr));
    ASSERT_TRUE(CopyFileA(BuiltServerPath().c_str(), DllPath().c_str(), FALSE));
    char previous[MAX_PATH] = {};
    GetEnvironmentVariableA("QUORVANE_DATA_DIR", previous, MAX_PATH);
    previousDataDirectory_ = previous;
    SetEnvironmentVariableA("QUORVANE_DATA_DIR", DataDirectory().c_str());
  }
  void TearDown() override { SetEnvironmentVariableA("QUORVANE_DATA_DIR", previousDataDirectory_.c_str()); }

  std::string ProgramDirectory() const { return dir_.File("program\\"); }
  std::string DataDirectory() const { return dir_.File("user\\"); }
  std::string DllPath() const { return ProgramDirectory() + "quorvane.dll"; }
  std::string DocumentPath() const { return DataDirectory() + "quorvane.xml"; }
  std::string Worker(const std::string& arguments) const {
    return "\"" + WorkerPath() + "\" \"" + DllPath() + "\" " + arguments;
  }
  // A name for the test's events that no other run shares.
  std::string Unique(const std::string& what) const {
    return "quorvane-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) + "-" +
           what;
  }

  TempDirectory dir_;
  std::string previousDataDirectory_;
};

TEST_F(SharedDocumentTest, FourProcessesInterleavingChangesLoseNoneAndListTheFile) {
  std::string xml = "<root name='root'>";
  for (int w = 0; w < kWorkers; ++w) {
    std::string own = "w" + std::to_string(w) + "-";
    xml += "<folder name='Box" + std::to_string(w) + "'/>";
    for (int k = 0; k < kEachKind; ++k) {
      std::string n = std::to_string(k);
      xml += "<folder name='" + own + "f" + n + "' query='keep'/><folder name='" + own + "m" + n + "'/>";
      xml += "<folder name='" + own + "q" + n + "' query='clear me'/><folder name='" + own + "d" + n + "'/>";
    }
  }
  WriteFileText(DocumentPath(), xml + "</root>");

  std::string goName = Unique("go"), doneName = Unique("done"), listedName = Unique("listed");
  UniqueHandle go(CreateEventA(nullptr, TRUE, FALSE, goName.c_str()));
  UniqueHandle done(CreateSemaphoreA(nullptr, 0, kWorkers, doneName.c_str()));
  UniqueHandle listed(CreateEventA(nullptr, TRUE, FALSE, listedName.c_str()));
  std::vector<UniqueHandle> workers;
  for (int w = 0; w < kWorkers; ++w) {
    workers.push_back(StartProgram(Worker("changes " + std::to_string(w) + " " + goName + " " + doneName + " " +
                                          listedName + " \"" + dir_.File("listing" + std::to_string(w)) + "\"")));
    ASSERT_TRUE(workers.back());
  }
  SetEvent(go.Get());
  for (int w = 0; w < kWorkers; ++w) ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(done.Get(), kWorkerTimeout));

  // Every one of the 100 changes is in the file.
  std::map<std::string, std::string> folders = FoldersOf(DocumentPath());
  std::map<std::string, std::string> expected;
  for (int w = 0; w < kWorkers; ++w) {
    std::string own = "w" + std::to_string(w) + "-";
    std::string box = "Box" + std::to_string(w);
    expected[box] = "";
    expected[box + "\\New Folder"] = "";
    for (int k = 0; k < kEachKind; ++k) {
      std::string n = std::to_string(k);
      expected[own + "r" + n] = "keep";
      expected[own + "q" + n] = "";
      expected[box + "\\" + own + "m" + n] = "";
      if (k > 0) expected[box + "\\New Folder (" + std::to_string(k) + ")"] = "";
    }
  }
  EXPECT_EQ(expected, folders);

  // Each process lists exactly the folders of the file.
  SetEvent(listed.Get());
  std::set<std::string> paths;
  for (const auto& [path, query] : folders) paths.insert(path);
  for (int w = 0; w < kWorkers; ++w) {
    EXPECT_EQ(0u, WaitForExit(workers[w].Get())) << "worker " << w;
    EXPECT_EQ(paths, LinesOf(dir_.File("listing" + std::to_string(w)))) << "worker " << w;
  }
}

TEST_F(SharedDocumentTest, TwoProcessesMakingNewFoldersNeverGiveTwoSiblingsOneName) {
  constexpr int kEach = 40;
  WriteFileText(DocumentPath(), "<root name='root'/>");
  std::string readyName = Unique("ready"), goName = Unique("go");
  UniqueHandle ready(CreateSemaphoreA(nullptr, 0, 2, readyName.c_str()));
  UniqueHandle go(CreateEventA(nullptr, TRUE, FALSE, goName.c_str()));
  std::vector<UniqueHandle> workers;
  for (int w = 0; w < 2; ++w) {
    workers.push_back(StartProgram(Worker("newfolders " + std::to_string(kEach) + " " + readyName + " " + goName)));
    ASSERT_TRUE(workers.back());
  }
  // Both start together, each with the component loaded.
  for (int w = 0; w < 2; ++w) ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready.Get(), kWorkerTimeout));
  SetEvent(go.Get());
  for (UniqueHandle& worker : workers) EXPECT_EQ(0u, WaitForExit(worker.Get()));

  // Every folder made is there, each under a name of its own, letter case aside.
  std::map<std::string, std::string> folders = FoldersOf(DocumentPath());
  std::set<std::wstring> names;
  for (const auto& [name, query] : folders) {
    std::wstring upper = ToWide(name.c_str());
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    EXPECT_TRUE(names.insert(upper).second) << "two folders named " << name;
  }
  EXPECT_EQ(2u * kEach, folders.size());
  EXPECT_TRUE(folders.count("New Folder") && folders.count("New Folder (" + std::to_string(2 * kEach - 1) + ")"));
}

TEST_F(SharedDocumentTest, ProcessEndedWhileHoldingTheLockBlocksNoOne) {
  WriteFileText(DocumentPath(), "<root name='root'><folder name='Before'/></root>");
  std::string heldName = Unique("held");
  UniqueHandle held(CreateEventA(nullptr, TRUE, FALSE, heldName.c_str()));
  UniqueHandle holder = StartProgram(Worker("hold " + heldName));
  ASSERT_TRUE(holder);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(held.Get(), kWorkerTimeout));

  CDocumentLock lock(ToWide(DocumentPath().c_str()));
  EXPECT_THROW(lock.Acquire(200), ComError) << "the other process holds the lock";

  TerminateProcess(holder.Get(), 9);
  WaitForSingleObject(holder.Get(), kWorkerTimeout);

  // Another process makes its change at once; so does this one.
  ProgramRun created = RunProgram(Worker("create After"), kWorkerTimeout);
  EXPECT_EQ(0u, created.exitCode) << created.output;
  CFolderStore store(ToWide(DocumentPath().c_str()));
  TestItemList root;
  root.Root();
  EXPECT_TRUE(store.AddFolder(store.FindFolderNode(root.Get()).Get(), "Here too"));
  std::map<std::string, std::string> folders = FoldersOf(DocumentPath());
  EXPECT_EQ(3u, folders.size());
  EXPECT_TRUE(folders.count("Before") && folders.count("After") && folders.count("Here too"));
}

TEST_F(SharedDocumentTest, StandardUserInstallSavesEveryChangeToTheUsersOwnFile) {
  // An all-users install: the DLL and the example folders in a directory the
  // user cannot write.
  const std::string installed =
      "<root name='root'><folder name='Example' query='report'/><folder name='Old'/></root>";
  std::string seed = ProgramDirectory() + "quorvane.xml";
  WriteFileText(seed, installed);
  SetFileAttributesA(seed.c_str(), FILE_ATTRIBUTE_READONLY);
  SetFileAttributesA(ProgramDirectory().c_str(), FILE_ATTRIBUTE_READONLY);
  ASSERT_FALSE(FileExists(DocumentPath()));
  {
    HMODULE module = LoadLibraryA(DllPath().c_str());
    ASSERT_TRUE(module);
    {
      using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
      auto getClassObject =
          reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
      ComPtr<IClassFactory> factory;
      ASSERT_EQ(S_OK, getClassObject(kShellFolderClassId, IID_IClassFactory, factory.PutVoid()));
      ComPtr<IShellFolder> root;
      ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IShellFolder, root.PutVoid()));
      TestItemList rootList;
      rootList.Root();
      ASSERT_EQ(S_OK, root.As<IPersistFolder>()->Initialize(rootList.Get()));
      EXPECT_EQ((std::vector<std::string>{"Example", "Old"}),
                NamesOf(root.Get(), EnumerateItems(root.Get(), SHCONTF_FOLDERS)))
          << "the user's first document is the installed one";

      // Create, rename and delete, as the menus do them.
      ComPtr<IContextMenu> background;
      ASSERT_EQ(S_OK, root->CreateViewObject(nullptr, IID_IContextMenu, background.PutVoid()));
      MenuHandle popup(CreatePopupMenu());
      background->QueryContextMenu(popup.Get(), 0, 0, 0x7FFF, CMF_NORMAL);
      CMINVOKECOMMANDINFO info = {sizeof info};
      info.lpVerb = MAKEINTRESOURCEA(4);  // New Folder
      EXPECT_EQ(S_OK, background->InvokeCommand(&info));
      std::wstring newName = L"New Folder";
      LPITEMIDLIST created = nullptr;
      ASSERT_EQ(S_OK, root->ParseDisplayName(nullptr, nullptr, newName.data(), nullptr, &created, nullptr));
      ShellList createdItem(created);
      LPITEMIDLIST renamed = nullptr;
      EXPECT_EQ(S_OK, root->SetNameOf(nullptr, createdItem.Get(), L"Mine", SHGDN_INFOLDER, &renamed));
      CoTaskMemFree(renamed);
      std::wstring oldName = L"Old";
      LPITEMIDLIST old = nullptr;
      ASSERT_EQ(S_OK, root->ParseDisplayName(nullptr, nullptr, oldName.data(), nullptr, &old, nullptr));
      ShellList oldItem(old);
      LPCITEMIDLIST items[] = {oldItem.Get()};
      ComPtr<IContextMenu> itemMenu;
      ASSERT_EQ(S_OK, root->GetUIObjectOf(nullptr, 1, items, IID_IContextMenu, nullptr, itemMenu.PutVoid()));
      MenuHandle itemPopup(CreatePopupMenu());
      itemMenu->QueryContextMenu(itemPopup.Get(), 0, 0, 0x7FFF, CMF_NORMAL);
      info.lpVerb = MAKEINTRESOURCEA(5);  // Delete
      {
        ConfirmationAnswerer answerer;
        EXPECT_EQ(S_OK, itemMenu->InvokeCommand(&info));
      }
      EXPECT_EQ((std::vector<std::string>{"Example", "Mine"}),
                NamesOf(root.Get(), EnumerateItems(root.Get(), SHCONTF_FOLDERS)));
    }
    using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();
    auto canUnload = reinterpret_cast<CanUnloadFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    EXPECT_EQ(S_OK, canUnload());
    FreeLibrary(module);
  }
  std::map<std::string, std::string> folders = FoldersOf(DocumentPath());
  EXPECT_EQ((std::map<std::string, std::string>{{"Example", "report"}, {"Mine", ""}}), folders);
  EXPECT_EQ(installed, ReadFileText(seed)) << "the installed file is never written";
  SetFileAttributesA(ProgramDirectory().c_str(), FILE_ATTRIBUTE_NORMAL);
  SetFileAttributesA(seed.c_str(), FILE_ATTRIBUTE_NORMAL);
  WIN32_FIND_DATAA data;
  std::vector<std::string> programFiles;
  HANDLE find = FindFirstFileA((ProgramDirectory() + "*").c_str(), &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, find);
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) programFiles.push_back(data.cFileName);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  std::sort(programFiles.begin(), programFiles.end());
  EXPECT_EQ((std::vector<std::string>{"quorvane.dll", "quorvane.xml"}), programFiles);
}

}  // namespace
}  // namespace qv::test
