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

constexpr wchar_t kApprovedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
constexpr wchar_t kDesktopNameSpaceKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\NameSpace\\";
// How the desktop shows the junction: a browsable folder with sub-folders.
constexpr DWORD kJunctionAttributes = SFGAO_HASSUBFOLDER | SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_BROWSABLE;
static_assert(kJunctionAttributes == 0xE8000000);

// The registry roots of one scope. Per-user class entries live under the user's
// Software\Classes, which HKEY_CLASSES_ROOT merges in for that user.
struct RegistryRoots {
  HKEY classes;
  const wchar_t* classesPrefix;
  HKEY explorer;
};

RegistryRoots RootsOf(RegistrationScope scope) {
  if (scope == RegistrationScope::CurrentUser) return {HKEY_CURRENT_USER, L"Software\\Classes\\", HKEY_CURRENT_USER};
  return {HKEY_CLASSES_ROOT, L"", HKEY_LOCAL_MACHINE};
}

std::wstring GuidString(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

std::wstring ClassKey(const std::wstring& classId) { return L"CLSID\\" + classId; }
std::wstring NameSpaceKey(const std::wstring& classId) { return kDesktopNameSpaceKey + classId; }
std::wstring PropertySheetHandlersKey(const std::wstring& classId) {
  return ClassKey(classId) + L"\\ShellEx\\PropertySheetHandlers";
}

std::wstring ProductName() { return ToWide(kProductName); }

// The module file's full path, however long: the buffer grows until it fits.
std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  while (path.size() <= 32768) {
    DWORD length = GetModuleFileNameW(ModuleInstance(), path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
  return {};
}

RegKey CreateKey(HKEY root, const std::wstring& path) {
  RegKey key;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.Put(),
                      nullptr) != ERROR_SUCCESS) {
    key.Reset();
  }
  return key;
}

// A REG_SZ value with its terminating NUL; name null sets the default value.
void SetString(const RegKey& key, const wchar_t* name, const std::wstring& value) {
  RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// Creates the key and sets one string value; false when the key cannot be created.
bool WriteString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
  RegKey key = CreateKey(root, path);
  if (!key) return false;
  SetString(key, name, value);
  return true;
}

void WriteInprocServer(const RegistryRoots& roots, const std::wstring& classKey, const std::wstring& modulePath,
                       bool loadWithoutCom) {
  RegKey key = CreateKey(roots.classes, roots.classesPrefix + classKey + L"\\InprocServer32");
  if (!key) return;
  SetString(key, nullptr, modulePath);
  SetString(key, L"ThreadingModel", L"Apartment");
  if (loadWithoutCom) SetString(key, L"LoadWithoutCOM", L"");
}

void NotifyAssociationsChanged() { SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }

HRESULT RegisterFolderClass(const RegistryRoots& roots, const std::wstring& classId,
                            const std::wstring& modulePath) {
  std::wstring classKey = roots.classesPrefix + ClassKey(classId);
  // The class entries themselves: a failed write here is not fatal.
  WriteString(roots.classes, classKey, nullptr, ProductName());
  WriteInprocServer(roots, ClassKey(classId), modulePath, true);
  WriteString(roots.classes, classKey + L"\\DefaultIcon", nullptr, modulePath + L",0");

  RegKey shellFolder = CreateKey(roots.classes, classKey + L"\\ShellFolder");
  if (!shellFolder) return SELFREG_E_CLASS;
  DWORD attributes = kJunctionAttributes;
  RegSetValueExW(shellFolder.Get(), L"Attributes", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&attributes),
                 sizeof attributes);
  // Present and empty: the shell asks the folder itself for parsing names.
  RegSetValueExW(shellFolder.Get(), L"WantsFORPARSING", 0, REG_SZ, nullptr, 0);

  if (!WriteString(roots.explorer, NameSpaceKey(classId), nullptr, ProductName())) return SELFREG_E_CLASS;
  if (!WriteString(roots.explorer, kApprovedKey, classId.c_str(), ProductName())) return SELFREG_E_CLASS;
  NotifyAssociationsChanged();
  return S_OK;
}

HRESULT RegisterPropertySheet(const RegistryRoots& roots, const std::wstring& folderClassId,
                              const std::wstring& sheetClassId, const std::wstring& modulePath) {
  WriteInprocServer(roots, ClassKey(sheetClassId), modulePath, false);
  if (!WriteString(roots.classes, roots.classesPrefix + PropertySheetHandlersKey(folderClassId) + L"\\FolderProperties",
                   nullptr, sheetClassId)) {
    return SELFREG_E_CLASS;
  }
  return S_OK;
}

void DeleteTree(HKEY root, const std::wstring& path) { RegDeleteTreeW(root, path.c_str()); }

void UnregisterClass(const RegistryRoots& roots, const std::wstring& classId) {
  DeleteTree(roots.classes, roots.classesPrefix + ClassKey(classId));
  DeleteTree(roots.explorer, NameSpaceKey(classId));
  RegKey approved;
  if (RegOpenKeyExW(roots.explorer, kApprovedKey, 0, KEY_SET_VALUE, approved.Put()) == ERROR_SUCCESS) {
    RegDeleteValueW(approved.Get(), classId.c_str());
  }
  NotifyAssociationsChanged();
}

bool KeyExists(HKEY root, const std::wstring& path) {
  RegKey key;
  return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

bool ValueExists(HKEY root, const std::wstring& path, const std::wstring& name) {
  RegKey key;
  return RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, key.Put()) == ERROR_SUCCESS &&
         RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

}  // namespace

HRESULT RegisterServer(RegistrationScope scope) {
  RegistryRoots roots = RootsOf(scope);
  // The server registers even where the search service is not installed yet.
  RegisterComponent();
  std::wstring folderClassId = GuidString(kShellFolderClassId);
  std::wstring sheetClassId = GuidString(kPropertySheetClassId);
  std::wstring modulePath = ModulePath();
  if (modulePath.empty()) return E_FAIL;
  if (FAILED(RegisterFolderClass(roots, folderClassId, modulePath))) return E_FAIL;
  if (FAILED(RegisterPropertySheet(roots, folderClassId, sheetClassId, modulePath))) return E_FAIL;
  return S_OK;
}

HRESULT UnregisterServer(RegistrationScope scope) {
  RegistryRoots roots = RootsOf(scope);
  std::wstring folderClassId = GuidString(kShellFolderClassId);
  std::wstring handlers = roots.classesPrefix + PropertySheetHandlersKey(folderClassId);
  DeleteTree(roots.classes, handlers + L"\\FolderProperties");
  DeleteTree(roots.classes, handlers);
  DeleteTree(roots.classes, roots.classesPrefix + ClassKey(folderClassId) + L"\\ShellEx");
  UnregisterClass(roots, GuidString(kPropertySheetClassId));
  UnregisterClass(roots, folderClassId);
  UnregisterComponent();
  CoFreeUnusedLibraries();
  return S_OK;
}

bool IsServerRegistered() {
  std::wstring classId = GuidString(kShellFolderClassId);
  return KeyExists(HKEY_CLASSES_ROOT, ClassKey(classId) + L"\\ShellFolder") ||
         KeyExists(HKEY_LOCAL_MACHINE, NameSpaceKey(classId)) || ValueExists(HKEY_LOCAL_MACHINE, kApprovedKey, classId) ||
         KeyExists(HKEY_CURRENT_USER, NameSpaceKey(classId)) || ValueExists(HKEY_CURRENT_USER, kApprovedKey, classId);
}

}  // namespace qv
