#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include <functional>
#include <string>

#include "common/ClassIds.h"
#include "common/ComBase.h"
#include "common/Holders.h"
#include "support/ServerModule.h"
#include "support/ShellFolderCalls.h"

namespace qv {
namespace {

using test::ServerModule;

constexpr char kTwoFolders[] = "<root name='root'><folder name='Work'/><folder name='Home'/></root>";

// Runs work on a new thread, which has not joined COM, and waits for its end.
void RunOnNewThread(const std::function<void()>& work) {
  UniqueHandle thread(CreateThread(
      nullptr, 0,
      [](void* context) -> DWORD {
        (*static_cast<const std::function<void()>*>(context))();
        return 0;
      },
      const_cast<std::function<void()>*>(&work), 0, nullptr));
  ASSERT_TRUE(thread);
  WaitForSingleObject(thread.Get(), INFINITE);
}

TEST(ServerEntry, FreshModuleIsUnloadableAndDebugTestAnswersOne) {
  ServerModule server;
  EXPECT_EQ(S_OK, server.CanUnloadNow());
  EXPECT_EQ(1, server.DebugTest());
  EXPECT_EQ(S_OK, server.CanUnloadNow());
}

TEST(ServerEntry, LoadingLeavesTheThreadOutsideCom) {
  // The module is loaded first on a thread that never joined COM: if loading had
  // initialised COM there, the thread could not choose its own apartment.
  test::TempDirectory dir;
  std::string path = dir.File("quorvane.dll");
  ASSERT_TRUE(CopyFileA(test::BuiltServerPath().c_str(), path.c_str(), FALSE));
  HMODULE module = nullptr;
  HRESULT join = E_FAIL;
  RunOnNewThread([&] {
    module = LoadLibraryA(path.c_str());
    join = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(join)) CoUninitialize();
    if (module) FreeLibrary(module);
  });
  ASSERT_NE(nullptr, module);
  EXPECT_EQ(S_OK, join);
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
  EXPECT_EQ(S_OK, factory->LockServer(TRUE));

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
  EXPECT_EQ(S_FALSE, server.CanUnloadNow()) << "the factory's lock keeps the module";

  ASSERT_EQ(S_OK, server.GetClassObject(kShellFolderClassId, IID_IClassFactory, factory.PutVoid()));
  EXPECT_EQ(S_OK, factory->LockServer(FALSE));
  factory.Reset();
  EXPECT_EQ(S_OK, server.CanUnloadNow());
}

TEST(ServerEntry, DocumentIsReadAgainOnlyWhenAnotherProgramChangedIt) {
  ServerModule server;
  test::WriteFileText(server.DocumentPath(), kTwoFolders);
  ComPtr<IShellFolder> root = server.CreateRootFolder();
  EXPECT_EQ((std::vector<std::string>{"Work", "Home"}), test::NamesOf(root.Get(), test::EnumerateItems(root.Get(), SHCONTF_FOLDERS)));

  // Another program changes the file while the folder lives: the next listing
  // shows the file as it is now.
  test::WriteFileText(server.DocumentPath(), "<root name='root'><folder name='Elsewhere'/></root>");
  EXPECT_EQ(S_FALSE, server.CanUnloadNow());
  EXPECT_EQ((std::vector<std::string>{"Elsewhere"}), test::NamesOf(root.Get(), test::EnumerateItems(root.Get(), SHCONTF_FOLDERS)));

  // Once idle the module lets its objects go; the next use reads the file again.
  root.Reset();
  EXPECT_EQ(S_OK, server.CanUnloadNow());
  test::WriteFileText(server.DocumentPath(), kTwoFolders);
  root = server.CreateRootFolder();
  EXPECT_EQ((std::vector<std::string>{"Work", "Home"}), test::NamesOf(root.Get(), test::EnumerateItems(root.Get(), SHCONTF_FOLDERS)));
}

TEST(ServerEntry, WithoutAnXmlParserNoFolderIsMadeUntilTheModuleIsUsedAgain) {
  ServerModule server;
  test::WriteFileText(server.DocumentPath(), kTwoFolders);
  // A thread outside COM cannot create the XML parser: the first use of the
  // module happens there, so the folder store cannot be made.
  HRESULT created = S_OK;
  void* folder = reinterpret_cast<void*>(1);
  RunOnNewThread([&] {
    ComPtr<IClassFactory> factory;
    if (SUCCEEDED(server.GetClassObject(kShellFolderClassId, IID_IClassFactory, factory.PutVoid()))) {
      created = factory->CreateInstance(nullptr, IID_IShellFolder, &folder);
    }
  });
  EXPECT_EQ(E_UNEXPECTED, created);
  EXPECT_EQ(nullptr, folder);

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
