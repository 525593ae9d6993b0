#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "module/ClassIds.h"
#include "module/ComBase.h"
#include "module/Holders.h"
#include "support/ServerModule.h"
#include "support/ShellFolderCalls.h"

namespace qv {
namespace {

using test::ServerModule;

constexpr char kTwoFolders[] = "<root name='root'><folder name='Work'/><folder name='Home'/></root>";

TEST(ServerEntry, FreshModuleIsUnloadableAndDebugTestAnswersOne) {
  ServerModule server;
  EXPECT_EQ(S_OK, server.CanUnloadNow());
  EXPECT_EQ(1, server.DebugTest());
  EXPECT_EQ(S_OK, server.CanUnloadNow());
}

TEST(ServerEntry, LoadingLeavesTheThreadOutsideCom) {
  // The module is loaded first on a thread that never joined COM: if loading had
  // initialised COM there, the thread could not choose its own apartment.
  struct Outcome {
    HRESULT join = E_FAIL;
    HMODULE module = nullptr;
    std::string path;
  } outcome;
  test::TempDirectory dir;
  outcome.path = dir.File("quorvane.dll");
  ASSERT_TRUE(CopyFileA(test::BuiltServerPath().c_str(), outcome.path.c_str(), FALSE));
  UniqueHandle thread(CreateThread(
      nullptr, 0,
      [](void* context) -> DWORD {
        auto* result = static_cast<Outcome*>(context);
        result->module = LoadLibraryA(result->path.c_str());
        result->join = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(result->join)) CoUninitialize();
        if (result->module) FreeLibrary(result->module);
        return 0;
      },
      &outcome, 0, nullptr));
  ASSERT_TRUE(thread);
  WaitForSingleObject(thread.Get(), INFINITE);
  ASSERT_NE(nullptr, outcome.module);
  EXPECT_EQ(S_OK, outcome.join);
}

TEST(ServerEntry, ServesOnlyTheShellFolderClass) {
  ServerModule server;
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, server.GetClassObject(kPropertySheetClassId, IID_IClassFactory, &object));
  EXPECT_EQ(nullptr, object);
  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, server.GetClassObject(IID_IShellFolder, IID_IClassFactory, &object));
  EXPECT_EQ(nullptr, object);

  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, server.GetClassObject(kShellFolderClassId, IID_IShellFolder, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(S_OK, server.CanUnloadNow()) << "the refused factory destroyed itself";
}

TEST(ServerEntry, FactoryKeepsTheModuleLoadedAndMakesRootFolders) {
  ServerModule server;
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(S_OK, server.GetClassObject(kShellFolderClassId, IID_IClassFactory, factory.PutVoid()));
  EXPECT_EQ(S_FALSE, server.CanUnloadNow());
  EXPECT_EQ(E_NOTIMPL, factory->LockServer(TRUE));
  EXPECT_EQ(E_NOTIMPL, factory->LockServer(FALSE));

  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(factory.Get(), IID_IUnknown, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, &object));
  EXPECT_EQ(nullptr, object);

  ComPtr<IPersistFolder> folder;
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IPersistFolder, folder.PutVoid()));
  CLSID classId = {};
  EXPECT_EQ(S_OK, folder->GetClassID(&classId));
  EXPECT_TRUE(IsEqualCLSID(kShellFolderClassId, classId));
  factory.Reset();
  EXPECT_EQ(S_FALSE, server.CanUnloadNow()) << "a live folder keeps the module";
  folder.Reset();
  EXPECT_EQ(S_OK, server.CanUnloadNow());
}

TEST(ServerEntry, DocumentIsReadOnceForEachPeriodOfUse) {
  ServerModule server;
  test::WriteFileText(server.DocumentPath(), kTwoFolders);
  ComPtr<IShellFolder> root = server.CreateRootFolder();
  EXPECT_EQ((std::vector<std::string>{"Work", "Home"}), test::NamesOf(root.Get(), test::EnumerateItems(root.Get(), SHCONTF_FOLDERS)));

  // Another program changes the file while the folder lives: the module keeps the
  // document it has.
  test::WriteFileText(server.DocumentPath(), "<root name='root'><folder name='Elsewhere'/></root>");
  EXPECT_EQ(S_FALSE, server.CanUnloadNow());
  EXPECT_EQ((std::vector<std::string>{"Work", "Home"}), test::NamesOf(root.Get(), test::EnumerateItems(root.Get(), SHCONTF_FOLDERS)));

  // Once idle the module lets its objects go; the next use reads the file again.
  root.Reset();
  EXPECT_EQ(S_OK, server.CanUnloadNow());
  root = server.CreateRootFolder();
  EXPECT_EQ((std::vector<std::string>{"Elsewhere"}), test::NamesOf(root.Get(), test::EnumerateItems(root.Get(), SHCONTF_FOLDERS)));
}

TEST(ServerEntry, WithoutAnXmlParserNoFolderIsMadeUntilTheModuleIsUsedAgain) {
  ServerModule server;
  test::WriteFileText(server.DocumentPath(), kTwoFolders);
  // A thread outside COM cannot create the XML parser: the first use of the
  // module happens there, so the folder store cannot be made.
  struct Outcome {
    const ServerModule* server;
    HRESULT created = S_OK;
    void* folder = reinterpret_cast<void*>(1);
  } outcome{&server};
  UniqueHandle thread(CreateThread(
      nullptr, 0,
      [](void* context) -> DWORD {
        auto* result = static_cast<Outcome*>(context);
        ComPtr<IClassFactory> factory;
        if (SUCCEEDED(result->server->GetClassObject(kShellFolderClassId, IID_IClassFactory, factory.PutVoid()))) {
          result->created = factory->CreateInstance(nullptr, IID_IShellFolder, &result->folder);
        }
        return 0;
      },
      &outcome, 0, nullptr));
  ASSERT_TRUE(thread);
  WaitForSingleObject(thread.Get(), INFINITE);
  EXPECT_EQ(E_UNEXPECTED, outcome.created);
  EXPECT_EQ(nullptr, outcome.folder);

  // Idle again, the module lets the half-made objects go; the next use makes them
  // all.
  EXPECT_EQ(S_OK, server.CanUnloadNow());
  ComPtr<IShellFolder> root = server.CreateRootFolder();
  EXPECT_EQ((std::vector<std::string>{"Work", "Home"}),
            test::NamesOf(root.Get(), test::EnumerateItems(root.Get(), SHCONTF_FOLDERS)));
}

TEST(ServerEntry, IdleUnloadSavesTheDisplaySettings) {
  RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\quorvane", "Display Settings");
  ServerModule server;
  server.CreateRootFolder().Reset();
  ASSERT_EQ(S_OK, server.CanUnloadNow());
  BYTE stored[16] = {};
  DWORD size = sizeof stored;
  DWORD type = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_CURRENT_USER, "Software\\quorvane", "Display Settings", RRF_RT_ANY,
                                        &type, stored, &size));
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
  ASSERT_EQ(8u, size);
  EXPECT_EQ(100, *reinterpret_cast<INT32*>(stored));
  EXPECT_EQ(100, *reinterpret_cast<INT32*>(stored + 4));
}

}  // namespace
}  // namespace qv
