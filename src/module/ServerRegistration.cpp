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

void WriteInprocServer(const std::string& classId, const std::string& modulePath, bool loadWithoutCom) {
  RegKey key = CreateKey(HKEY_CLASSES_ROOT, ClassKey(classId) + "\\InprocServer32");
  if (!key) return;
  SetString(key, nullptr, modulePath);
  SetString(key, "ThreadingModel", "Apartment");
  if (loadWithoutCom) SetString(key, "LoadWithoutCOM", "");
}

void NotifyAssociationsChanged() { SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }

HRESULT RegisterFolderClass(const std::string& classId, const std::string& modulePath) {
  // The class entries themselves: a failed write here is not fatal.
  WriteString(HKEY_CLASSES_ROOT, ClassKey(classId), nullptr, kProductName);
  WriteInprocServer(classId, modulePath, true);
  WriteString(HKEY_CLASSES_ROOT, ClassKey(classId) + "\\DefaultIcon", nullptr, modulePath + ",0");

  RegKey shellFolder = CreateKey(HKEY_CLASSES_ROOT, ClassKey(classId) + "\\ShellFolder");
  if (!shellFolder) return SELFREG_E_CLASS;
  DWORD attributes = kJunctionAttributes;
  RegSetValueExA(shellFolder.Get(), "Attributes", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&attributes),
                 sizeof attributes);
  // Present and empty: the shell asks the folder itself for parsing names.
  RegSetValueExA(shellFolder.Get(), "WantsFORPARSING", 0, REG_SZ, nullptr, 0);

  if (!WriteString(HKEY_LOCAL_MACHINE, NameSpaceKey(classId), nullptr, kProductName)) return SELFREG_E_CLASS;
  if (!WriteString(HKEY_LOCAL_MACHINE, kApprovedKey, classId.c_str(), kProductName)) return SELFREG_E_CLASS;
  NotifyAssociationsChanged();
  return S_OK;
}

HRESULT RegisterPropertySheet(const std::string& folderClassId, const std::string& sheetClassId,
                              const std::string& modulePath) {
  WriteInprocServer(sheetClassId, modulePath, false);
  if (!WriteString(HKEY_CLASSES_ROOT, PropertySheetHandlersKey(folderClassId) + "\\FolderProperties", nullptr,
                   sheetClassId)) {
    return SELFREG_E_CLASS;
  }
  return S_OK;
}

void DeleteTree(HKEY root, const std::string& path) { RegDeleteTreeA(root, path.c_str()); }

void UnregisterClass(const std::string& classId) {
  DeleteTree(HKEY_CLASSES_ROOT, ClassKey(classId));
  DeleteTree(HKEY_LOCAL_MACHINE, NameSpaceKey(classId));
  RegKey approved;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApprovedKey, 0, KEY_SET_VALUE, approved.Put()) == ERROR_SUCCESS) {
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

HRESULT RegisterServer() {
  // The server registers even where the search service is not installed yet.
  RegisterComponent();
  std::string folderClassId = GuidString(kShellFolderClassId);
  std::string sheetClassId = GuidString(kPropertySheetClassId);
  std::string modulePath = ModulePath();
  if (modulePath.empty()) return E_FAIL;
  if (FAILED(RegisterFolderClass(folderClassId, modulePath))) return E_FAIL;
  if (FAILED(RegisterPropertySheet(folderClassId, sheetClassId, modulePath))) return E_FAIL;
  return S_OK;
}

HRESULT UnregisterServer() {
  std::string folderClassId = GuidString(kShellFolderClassId);
  std::string handlers = PropertySheetHandlersKey(folderClassId);
  DeleteTree(HKEY_CLASSES_ROOT, handlers + "\\FolderProperties");
  DeleteTree(HKEY_CLASSES_ROOT, handlers);
  DeleteTree(HKEY_CLASSES_ROOT, ClassKey(folderClassId) + "\\ShellEx");
  UnregisterClass(GuidString(kPropertySheetClassId));
  UnregisterClass(folderClassId);
  UnregisterComponent();
  CoFreeUnusedLibraries();
  return S_OK;
}

bool IsServerRegistered() {
  std::string classId = GuidString(kShellFolderClassId);
  return KeyExists(HKEY_CLASSES_ROOT, ClassKey(classId) + "\\ShellFolder") ||
         KeyExists(HKEY_LOCAL_MACHINE, NameSpaceKey(classId)) || ValueExists(HKEY_LOCAL_MACHINE, kApprovedKey, classId);
}

}  // namespace qv
