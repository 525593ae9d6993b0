#include "module/ServerRegistration.h"

#include <olectl.h>
#include <shlobj.h>

#include <string>

#include "module/ClassIds.h"
#include "module/Holders.h"
#include "module/ModulePaths.h"
#include "module/Text.h"
#include "search/ServiceRegistration.h"

namespace qv {
namespace {

constexpr char kApprovedKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
constexpr char kDesktopNameSpaceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\NameSpace\\";
// How the desktop shows the junction: a browsable folder with sub-folders.
constexpr DWORD kJunctionAttributes = SFGAO_HASSUBFOLDER | SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_BROWSABLE;
static_assert(kJunctionAttributes == 0xE8000000);

// The registry roots of one scope. Per-user class entries live under the user's
// Software\Classes, which HKEY_CLASSES_ROOT merges in for that user.
struct RegistryRoots {
  HKEY classes;
  const char* classesPrefix;
  HKEY explorer;
};

RegistryRoots RootsOf(RegistrationScope scope) {
  if (scope == RegistrationScope::CurrentUser) return {HKEY_CURRENT_USER, "Software\\Classes\\", HKEY_CURRENT_USER};
  return {HKEY_CLASSES_ROOT, "", HKEY_LOCAL_MACHINE};
}

std::string GuidString(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return ToAnsi(text);
}

std::string ClassKey(const std::string& classId) { return "CLSID\\" + classId; }
std::string NameSpaceKey(const std::string& classId) { return kDesktopNameSpaceKey + classId; }
std::string PropertySheetHandlersKey(const std::string& classId) {
  return ClassKey(classId) + "\\ShellEx\\PropertySheetHandlers";
}

std::string ModulePath() {
  char path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameA(ModuleInstance(), path, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(path, length) : std::string();
}

RegKey CreateKey(HKEY root, const std::string& path) {
  RegKey key;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.Put(),
                      nullptr) != ERROR_SUCCESS) {
    key.Reset();
  }
  return key;
}

// A REG_SZ value with its terminating NUL; name null sets the default value.
void SetString(const RegKey& key, const char* name, const std::string& value) {
  RegSetValueExA(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
}

// Creates the key and sets one string value; false when the key cannot be created.
bool WriteString(HKEY root, const std::string& path, const char* name, const std::string& value) {
  RegKey key = CreateKey(root, path);
  if (!key) return false;
  SetString(key, name, value);
  return true;
}

void WriteInprocServer(const RegistryRoots& roots, const std::string& classKey, const std::string& modulePath,
                       bool loadWithoutCom) {
  RegKey key = CreateKey(roots.classes, roots.classesPrefix + classKey + "\\InprocServer32");
  if (!key) return;
  SetString(key, nullptr, modulePath);
  SetString(key, "ThreadingModel", "Apartment");
  if (loadWithoutCom) SetString(key, "LoadWithoutCOM", "");
}

void NotifyAssociationsChanged() { SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }

HRESULT RegisterFolderClass(const RegistryRoots& roots, const std::string& classId, const std::string& modulePath) {
  std::string classKey = roots.classesPrefix + ClassKey(classId);
  // The class entries themselves: a failed write here is not fatal.
  WriteString(roots.classes, classKey, nullptr, kProductName);
  WriteInprocServer(roots, ClassKey(classId), modulePath, true);
  WriteString(roots.classes, classKey + "\\DefaultIcon", nullptr, modulePath + ",0");

  RegKey shellFolder = CreateKey(roots.classes, classKey + "\\ShellFolder");
  if (!shellFolder) return SELFREG_E_CLASS;
  DWORD attributes = kJunctionAttributes;
  RegSetValueExA(shellFolder.Get(), "Attributes", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&attributes),
                 sizeof attributes);
  // Present and empty: the shell asks the folder itself for parsing names.
  RegSetValueExA(shellFolder.Get(), "WantsFORPARSING", 0, REG_SZ, nullptr, 0);

  if (!WriteString(roots.explorer, NameSpaceKey(classId), nullptr, kProductName)) return SELFREG_E_CLASS;
  if (!WriteString(roots.explorer, kApprovedKey, classId.c_str(), kProductName)) return SELFREG_E_CLASS;
  NotifyAssociationsChanged();
  return S_OK;
}

HRESULT RegisterPropertySheet(const RegistryRoots& roots, const std::string& folderClassId,
                              const std::string& sheetClassId, const std::string& modulePath) {
  WriteInprocServer(roots, ClassKey(sheetClassId), modulePath, false);
  if (!WriteString(roots.classes, roots.classesPrefix + PropertySheetHandlersKey(folderClassId) + "\\FolderProperties",
                   nullptr, sheetClassId)) {
    return SELFREG_E_CLASS;
  }
  return S_OK;
}

void DeleteTree(HKEY root, const std::string& path) { RegDeleteTreeA(root, path.c_str()); }

void UnregisterClass(const RegistryRoots& roots, const std::string& classId) {
  DeleteTree(roots.classes, roots.classesPrefix + ClassKey(classId));
  DeleteTree(roots.explorer, NameSpaceKey(classId));
  RegKey approved;
  if (RegOpenKeyExA(roots.explorer, kApprovedKey, 0, KEY_SET_VALUE, approved.Put()) == ERROR_SUCCESS) {
    RegDeleteValueA(approved.Get(), classId.c_str());
  }
  NotifyAssociationsChanged();
}

bool KeyExists(HKEY root, const std::string& path) {
  RegKey key;
  return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

bool ValueExists(HKEY root, const std::string& path, const std::string& name) {
  RegKey key;
  return RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, key.Put()) == ERROR_SUCCESS &&
         RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

}  // namespace

HRESULT RegisterServer(RegistrationScope scope) {
  RegistryRoots roots = RootsOf(scope);
  // The server registers even where the search service is not installed yet.
  RegisterComponent();
  std::string folderClassId = GuidString(kShellFolderClassId);
  std::string sheetClassId = GuidString(kPropertySheetClassId);
  std::string modulePath = ModulePath();
  if (modulePath.empty()) return E_FAIL;
  if (FAILED(RegisterFolderClass(roots, folderClassId, modulePath))) return E_FAIL;
  if (FAILED(RegisterPropertySheet(roots, folderClassId, sheetClassId, modulePath))) return E_FAIL;
  return S_OK;
}

HRESULT UnregisterServer(RegistrationScope scope) {
  RegistryRoots roots = RootsOf(scope);
  std::string folderClassId = GuidString(kShellFolderClassId);
  std::string handlers = roots.classesPrefix + PropertySheetHandlersKey(folderClassId);
  DeleteTree(roots.classes, handlers + "\\FolderProperties");
  DeleteTree(roots.classes, handlers);
  DeleteTree(roots.classes, roots.classesPrefix + ClassKey(folderClassId) + "\\ShellEx");
  UnregisterClass(roots, GuidString(kPropertySheetClassId));
  UnregisterClass(roots, folderClassId);
  UnregisterComponent();
  CoFreeUnusedLibraries();
  return S_OK;
}

bool IsServerRegistered() {
  std::string classId = GuidString(kShellFolderClassId);
  return KeyExists(HKEY_CLASSES_ROOT, ClassKey(classId) + "\\ShellFolder") ||
         KeyExists(HKEY_LOCAL_MACHINE, NameSpaceKey(classId)) || ValueExists(HKEY_LOCAL_MACHINE, kApprovedKey, classId) ||
         KeyExists(HKEY_CURRENT_USER, NameSpaceKey(classId)) || ValueExists(HKEY_CURRENT_USER, kApprovedKey, classId);
}

}  // namespace qv
