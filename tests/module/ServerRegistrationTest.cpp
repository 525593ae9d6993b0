#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "common/ClassIds.h"
#include "common/ComBase.h"
#include "common/Holders.h"
#include "common/RegistryWriter.h"
#include "common/Text.h"
#include "support/ProgramRun.h"
#include "support/ServerModule.h"
#include "support/ShellFolderCalls.h"

namespace qv {
namespace {

using test::ServerModule;

constexpr char kApprovedKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
constexpr char kNameSpaceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\NameSpace\\";
constexpr char kOtherExtension[] = "{0D5F1A2B-3C4D-4E5F-8091-A2B3C4D5E6F7}";

std::string GuidText(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return ToUtf8(text);
}

const std::string kFolderClass = GuidText(kShellFolderClassId);
const std::string kSheetClass = GuidText(kPropertySheetClassId);

struct RegistryValue {
  bool present = false;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;  // as the wide API stores it

  std::string Text() const {
    if (type != REG_SZ || data.size() < sizeof(wchar_t)) return {};
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
    return ToUtf8(text.c_str());
  }
};

// The value's raw data as the registry keeps it.
RegistryValue ReadValue(HKEY root, const std::string& key, const char* name) {
  RegistryValue value;
  RegKey handle;
  if (RegOpenKeyExW(root, ToWide(key.c_str()).c_str(), 0, KEY_QUERY_VALUE, handle.Put()) != ERROR_SUCCESS) {
    return value;
  }
  std::wstring wideName = name ? ToWide(name) : std::wstring();
  DWORD size = 0;
  if (RegQueryValueExW(handle.Get(), wideName.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) {
    return value;
  }
  value.present = true;
  value.data.resize(size);
  RegQueryValueExW(handle.Get(), wideName.c_str(), nullptr, &value.type, size ? value.data.data() : nullptr, &size);
  value.data.resize(size);
  return value;
}

bool KeyExists(HKEY root, const std::string& key) {
  RegKey handle;
  return RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, handle.Put()) == ERROR_SUCCESS;
}

DWORD RunRegsvr32(const std::string& arguments) { return test::RunProgram("regsvr32.exe " + arguments).exitCode; }

void ExpectString(HKEY root, const std::string& key, const char* name, const std::string& expected) {
  RegistryValue value = ReadValue(root, key, name);
  EXPECT_TRUE(value.present) << key << " " << (name ? name : "(default)");
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), value.type) << key << " " << (name ? name : "(default)");
  EXPECT_EQ(0, lstrcmpiW(ToWide(expected).c_str(), ToWide(value.Text()).c_str()))
      << key << " " << (name ? name : "(default)") << ": " << value.Text();
}

// Where one registration scope keeps its entries.
struct Scope {
  HKEY classes;
  std::string classesPrefix;
  HKEY explorer;
};
const Scope kAllUsers = {HKEY_CLASSES_ROOT, "", HKEY_LOCAL_MACHINE};
// All users' class entries without the current user's merged in.
const Scope kMachineClasses = {HKEY_LOCAL_MACHINE, "Software\\Classes\\", HKEY_LOCAL_MACHINE};
const Scope kCurrentUser = {HKEY_CURRENT_USER, "Software\\Classes\\", HKEY_CURRENT_USER};

void ExpectRegistered(const std::string& dllPath, const Scope& scope = kAllUsers) {
  std::string classKey = scope.classesPrefix + "CLSID\\" + kFolderClass;
  HKEY classes = scope.classes;
  ExpectString(classes, classKey, nullptr, "quorvane");
  ExpectString(classes, classKey + "\\InprocServer32", nullptr, dllPath);
  ExpectString(classes, classKey + "\\InprocServer32", "ThreadingModel", "Apartment");
  RegistryValue loadWithoutCom = ReadValue(classes, classKey + "\\InprocServer32", "LoadWithoutCOM");
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), loadWithoutCom.type);
  EXPECT_EQ(std::vector<BYTE>(2, 0), loadWithoutCom.data) << "only the terminating NUL";
  ExpectString(classes, classKey + "\\DefaultIcon", nullptr, dllPath + ",0");

  RegistryValue attributes = ReadValue(classes, classKey + "\\ShellFolder", "Attributes");
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), attributes.type);
  EXPECT_EQ((std::vector<BYTE>{0x00, 0x00, 0x00, 0xB8}), attributes.data)
      << "a virtual folder: sub-folders, folder, file-system ancestor, browsable; no file-system bit";
  RegistryValue wantsParsing = ReadValue(classes, classKey + "\\ShellFolder", "WantsFORPARSING");
  EXPECT_TRUE(wantsParsing.present);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), wantsParsing.type);
  EXPECT_TRUE(wantsParsing.data.empty()) << "no data bytes at all";

  ExpectString(scope.explorer, kNameSpaceKey + kFolderClass, nullptr, "quorvane");
  ExpectString(scope.explorer, kApprovedKey, kFolderClass.c_str(), "quorvane");
  ExpectString(classes, classKey + "\\ShellEx\\PropertySheetHandlers\\FolderProperties", nullptr, kSheetClass);

  std::string sheetKey = scope.classesPrefix + "CLSID\\" + kSheetClass;
  ExpectString(classes, sheetKey + "\\InprocServer32", nullptr, dllPath);
  ExpectString(classes, sheetKey + "\\InprocServer32", "ThreadingModel", "Apartment");
  EXPECT_FALSE(ReadValue(classes, sheetKey, nullptr).present) << "the sheet class has no name";
  EXPECT_FALSE(KeyExists(classes, sheetKey + "\\DefaultIcon"));
}

void ExpectUnregistered(const Scope& scope = kAllUsers) {
  EXPECT_FALSE(KeyExists(scope.classes, scope.classesPrefix + "CLSID\\" + kFolderClass));
  EXPECT_FALSE(KeyExists(scope.classes, scope.classesPrefix + "CLSID\\" + kSheetClass));
  EXPECT_FALSE(KeyExists(scope.explorer, kNameSpaceKey + kFolderClass));
  EXPECT_FALSE(ReadValue(scope.explorer, kApprovedKey, kFolderClass.c_str()).present);
}

// Registers the server's copy with regsvr32 for the test and removes it after.
class RegisteredServer : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(0u, RunRegsvr32("/s \"" + server_.DllPath() + "\"")); }
  void TearDown() override {
    RunRegsvr32("/u /s \"" + server_.DllPath() + "\"");
    // COM lets go of the copy it loaded, so its directory can be removed.
    CoFreeUnusedLibrariesEx(0, 0);
  }

  ServerModule server_;
};

TEST_F(RegisteredServer, Regsvr32WritesEveryEntryAndUnregisterKeepsOtherApprovals) {
  ExpectRegistered(server_.DllPath());
  EXPECT_EQ(1, server_.IsRegistered());

  // Registering again overwrites the same entries.
  EXPECT_EQ(S_OK, server_.RegisterServer());
  ExpectRegistered(server_.DllPath());

  RegKey approved;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApprovedKey, 0, KEY_SET_VALUE, approved.Put()));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(approved.Get(), kOtherExtension, 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>("other"), 6));

  EXPECT_EQ(0u, RunRegsvr32("/u /s \"" + server_.DllPath() + "\""));
  ExpectUnregistered();
  EXPECT_EQ(0, server_.IsRegistered());
  ExpectString(HKEY_LOCAL_MACHINE, kApprovedKey, kOtherExtension, "other");
  RegDeleteValueA(approved.Get(), kOtherExtension);

  // Unregistering what is not registered is no failure.
  EXPECT_EQ(S_OK, server_.UnregisterServer());
}

TEST_F(RegisteredServer, IsRegisteredAnswersFromAnyOfItsEntries) {
  ASSERT_EQ(1, server_.IsRegistered());
  RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + kFolderClass + "\\ShellFolder").c_str());
  EXPECT_EQ(1, server_.IsRegistered()) << "the namespace junction remains";
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, (kNameSpaceKey + kFolderClass).c_str());
  EXPECT_EQ(1, server_.IsRegistered()) << "the approval remains";
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kApprovedKey, kFolderClass.c_str());
  EXPECT_EQ(0, server_.IsRegistered());
}

TEST_F(RegisteredServer, IsRegisteredDoesNotCountAnOlderVersionsFolderAttributes) {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, (kNameSpaceKey + kFolderClass).c_str());
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kApprovedKey, kFolderClass.c_str());
  ASSERT_EQ(1, server_.IsRegistered()) << "the class's ShellFolder key alone";
  const std::string shellFolderKey = "CLSID\\" + kFolderClass + "\\ShellFolder";
  // What versions whose folders claimed to be directories wrote.
  const BYTE older[] = {0x00, 0x00, 0x00, 0xE8};
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetKeyValueA(HKEY_CLASSES_ROOT, shellFolderKey.c_str(), "Attributes", REG_BINARY, older, sizeof older));
  EXPECT_EQ(0, server_.IsRegistered());
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyValueA(HKEY_CLASSES_ROOT, shellFolderKey.c_str(), "Attributes"));
  EXPECT_EQ(0, server_.IsRegistered()) << "no attributes at all";
}

TEST_F(RegisteredServer, ComCreatesTheRootFolderFromTheRegistration) {
  ComPtr<IShellFolder> folder;
  ASSERT_EQ(S_OK, CoCreateInstance(kShellFolderClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IShellFolder,
                                   folder.PutVoid()));
  EXPECT_EQ(S_FALSE, server_.CanUnloadNow()) << "COM loaded the registered copy, which this test loaded too";
  folder.Reset();
  EXPECT_EQ(S_OK, server_.CanUnloadNow());
}

TEST_F(RegisteredServer, DesktopBindsToTheNamespaceJunction) {
  test::WriteFileText(server_.DocumentPath(), "<root name='root'><folder name='Work'/><folder name='Home'/></root>");
  ComPtr<IShellFolder> desktop;
  ASSERT_EQ(S_OK, SHGetDesktopFolder(desktop.Put()));
  std::wstring name = L"::" + ToWide(kFolderClass.c_str());
  LPITEMIDLIST junction = nullptr;
  ASSERT_EQ(S_OK, desktop->ParseDisplayName(nullptr, nullptr, name.data(), nullptr, &junction, nullptr));
  test::ShellList junctionList(junction);
  EXPECT_EQ("quorvane", test::DisplayName(desktop.Get(), junction, SHGDN_NORMAL));
  {
    ComPtr<IShellFolder> root = test::BindTo(desktop.Get(), junction);
    EXPECT_EQ((std::vector<std::string>{"Home", "Work"}), test::SortedNames(root.Get(), SHCONTF_FOLDERS | SHCONTF_NONFOLDERS));
    ComPtr<IPersistFolder2> persist = root.As<IPersistFolder2>();
    ASSERT_TRUE(persist);
    LPITEMIDLIST current = nullptr;
    ASSERT_EQ(S_OK, persist->GetCurFolder(&current));
    test::ShellList currentList(current);
    EXPECT_TRUE(ILIsEqual(junction, current)) << "the shell placed the folder at its junction";
  }
  desktop.Reset();
  EXPECT_EQ(S_OK, server_.CanUnloadNow());
}

TEST(PerUserRegistration, DllInstallUserWritesTheSameEntriesUnderTheCurrentUserOnly) {
  ServerModule server;
  ASSERT_EQ(0u, RunRegsvr32("/s /n /i:user \"" + server.DllPath() + "\""));
  ExpectRegistered(server.DllPath(), kCurrentUser);
  ExpectUnregistered(kMachineClasses);
  EXPECT_EQ(1, server.IsRegistered());

  // Where the classes root merges in the user's classes (Windows does; Wine 8
  // does not), the per-user class is what COM finds for this user.
  if (KeyExists(HKEY_CLASSES_ROOT, "CLSID\\" + kFolderClass)) {
    ComPtr<IShellFolder> folder;
    EXPECT_EQ(S_OK, CoCreateInstance(kShellFolderClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IShellFolder,
                                     folder.PutVoid()));
  }
  CoFreeUnusedLibrariesEx(0, 0);

  RegKey approved;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kApprovedKey, 0, KEY_SET_VALUE, approved.Put()));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(approved.Get(), kOtherExtension, 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>("other"), 6));
  EXPECT_EQ(0u, RunRegsvr32("/u /s /n /i:user \"" + server.DllPath() + "\""));
  ExpectUnregistered(kCurrentUser);
  EXPECT_EQ(0, server.IsRegistered());
  ExpectString(HKEY_CURRENT_USER, kApprovedKey, kOtherExtension, "other");
  RegDeleteValueA(approved.Get(), kOtherExtension);
}

TEST(PerUserRegistration, BothScopesStandApartAndUnknownCommandLinesAreRefused) {
  ServerModule server;
  ASSERT_EQ(S_OK, server.Install(true, L"user"));
  ASSERT_EQ(S_OK, server.Install(true, L""));
  ExpectRegistered(server.DllPath(), kCurrentUser);
  ExpectRegistered(server.DllPath(), kMachineClasses);

  EXPECT_EQ(S_OK, server.Install(false, L"USER"));
  ExpectUnregistered(kCurrentUser);
  ExpectRegistered(server.DllPath(), kMachineClasses);
  EXPECT_EQ(S_OK, server.Install(false, L"machine"));
  ExpectUnregistered(kMachineClasses);

  EXPECT_EQ(E_INVALIDARG, server.Install(true, L"everyone"));
  ExpectUnregistered(kCurrentUser);
  ExpectUnregistered(kMachineClasses);
}

// Installed under a user profile whose name the ANSI code page cannot spell, the
// server registers its own full path.
TEST(PerUserRegistration, RegistersTheFullPathOfANonAnsiInstallationFolder) {
  ServerModule built;
  std::wstring directory = ToWide(built.Directory()) + L"Zo\u00EB \u03A9 \u65E5\u672C";
  ASSERT_TRUE(CreateDirectoryW(directory.c_str(), nullptr));
  std::wstring dll = directory + L"\\quorvane.dll";
  ASSERT_TRUE(CopyFileW(ToWide(built.DllPath()).c_str(), dll.c_str(), FALSE));
  HMODULE module = LoadLibraryW(dll.c_str());
  ASSERT_NE(nullptr, module);
  using InstallFunction = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);
  auto install = reinterpret_cast<InstallFunction>(reinterpret_cast<void*>(GetProcAddress(module, "DllInstall")));
  ASSERT_NE(nullptr, install);
  ASSERT_EQ(S_OK, install(TRUE, L"user"));
  std::string classKey = kCurrentUser.classesPrefix + "CLSID\\" + kFolderClass;
  ExpectString(HKEY_CURRENT_USER, classKey + "\\InprocServer32", nullptr, ToUtf8(dll));
  ExpectString(HKEY_CURRENT_USER, classKey + "\\DefaultIcon", nullptr, ToUtf8(dll) + ",0");
  EXPECT_EQ(S_OK, install(FALSE, L"user"));
  ExpectUnregistered(kCurrentUser);
  FreeLibrary(module);
  DeleteFileW(dll.c_str());
  RemoveDirectoryW(directory.c_str());
}

TEST(PerUserRegistration, InstallCommandLineNamesOneScopeOrIsRefused) {
  struct Case {
    const wchar_t* commandLine;
    bool accepted;
    RegistrationScope scope;
  };
  const Case cases[] = {{nullptr, true, RegistrationScope::AllUsers},  {L"", true, RegistrationScope::AllUsers},
                        {L"machine", true, RegistrationScope::AllUsers}, {L"MACHINE", true, RegistrationScope::AllUsers},
                        {L"user", true, RegistrationScope::CurrentUser}, {L"User", true, RegistrationScope::CurrentUser},
                        {L"users", false, {}},                            {L"user ", false, {}},
                        {L"/user", false, {}}};
  for (const Case& c : cases) {
    RegistrationScope scope;
    EXPECT_EQ(c.accepted, ParseInstallScope(c.commandLine, scope)) << (c.commandLine ? ToUtf8(c.commandLine) : "(null)");
    if (c.accepted) {
      EXPECT_EQ(c.scope, scope);
    }
  }
}

}  // namespace
}  // namespace qv
