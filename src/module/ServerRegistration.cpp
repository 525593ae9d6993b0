#include "module/ServerRegistration.h"

#include <olectl.h>
#include <shlobj.h>

#include <string>

#include "common/ClassIds.h"
#include "common/Holders.h"
#include "common/RegistryWriter.h"
#include "common/ModulePaths.h"
#include "common/Text.h"
#include "search/ServiceRegistration.h"

namespace qv {
namespace {

constexpr wchar_t kApprovedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
constexpr wchar_t kDesktopNameSpaceKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\NameSpace\\";
// How the desktop shows the junction: a browsable virtual folder with
// sub-folders, whose folders hold files (so file dialogs list and enter it) but
// which is no directory itself.
constexpr DWORD kJunctionAttributes =
    SFGAO_HASSUBFOLDER | SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_BROWSABLE;
static_assert(kJunctionAttributes == 0xB8000000);

std::wstring ClassKey(const std::wstring& classId) { return RegistryWriter::ClassesPath(L"CLSID\\" + classId); }
std::wstring NameSpaceKey(const std::wstring& classId) { return kDesktopNameSpaceKey + classId; }
std::wstring PropertySheetHandlersKey(const std::wstring& classId) {
  return ClassKey(classId) + L"\\ShellEx\\PropertySheetHandlers";
}

std::wstring ProductName() { return ToWide(kProductName); }

void WriteInprocServer(const RegistryWriter& registry, const std::wstring& classKey, const std::wstring& modulePath,
                       bool loadWithoutCom) {
  std::wstring key = classKey + L"\\InprocServer32";
  if (registry.SetString(key, nullptr, modulePath) != ERROR_SUCCESS) return;
  registry.SetString(key, L"ThreadingModel", L"Apartment");
  if (loadWithoutCom) registry.SetString(key, L"LoadWithoutCOM", L"");
}

void NotifyAssociationsChanged() { SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }

HRESULT RegisterFolderClass(const RegistryWriter& registry, const std::wstring& classId,
                            const std::wstring& modulePath) {
  std::wstring classKey = ClassKey(classId);
  // The class entries themselves: a failed write here is not fatal.
  registry.SetString(classKey, nullptr, ProductName());
  WriteInprocServer(registry, classKey, modulePath, true);
  registry.SetString(classKey + L"\\DefaultIcon", nullptr, modulePath + L",0");

  DWORD attributes = kJunctionAttributes;
  if (registry.SetBinary(classKey + L"\\ShellFolder", L"Attributes", &attributes, sizeof attributes) != ERROR_SUCCESS) {
    return SELFREG_E_CLASS;
  }
  // Present and empty: the shell asks the folder itself for parsing names.
  registry.SetEmptyValue(classKey + L"\\ShellFolder", L"WantsFORPARSING");

  if (registry.SetString(NameSpaceKey(classId), nullptr, ProductName()) != ERROR_SUCCESS) return SELFREG_E_CLASS;
  if (registry.SetString(kApprovedKey, classId.c_str(), ProductName()) != ERROR_SUCCESS) return SELFREG_E_CLASS;
  NotifyAssociationsChanged();
  return S_OK;
}

HRESULT RegisterPropertySheet(const RegistryWriter& registry, const std::wstring& folderClassId,
                              const std::wstring& sheetClassId, const std::wstring& modulePath) {
  WriteInprocServer(registry, ClassKey(sheetClassId), modulePath, false);
  if (registry.SetString(PropertySheetHandlersKey(folderClassId) + L"\\FolderProperties", nullptr, sheetClassId) !=
      ERROR_SUCCESS) {
    return SELFREG_E_CLASS;
  }
  return S_OK;
}

void UnregisterClass(const RegistryWriter& registry, const std::wstring& classId) {
  registry.DeleteTree(ClassKey(classId));
  registry.DeleteTree(NameSpaceKey(classId));
  registry.DeleteValue(kApprovedKey, classId.c_str());
  NotifyAssociationsChanged();
}

}  // namespace

HRESULT RegisterServer(RegistrationScope scope) {
  RegistryWriter registry(scope);
  // The server registers even where the search service is not installed yet.
  RegisterComponent();
  std::wstring folderClassId = GuidString(kShellFolderClassId);
  std::wstring sheetClassId = GuidString(kPropertySheetClassId);
  std::wstring modulePath = ModuleFilePath(ModuleInstance());
  if (modulePath.empty()) return E_FAIL;
  if (FAILED(RegisterFolderClass(registry, folderClassId, modulePath))) return E_FAIL;
  if (FAILED(RegisterPropertySheet(registry, folderClassId, sheetClassId, modulePath))) return E_FAIL;
  return S_OK;
}

HRESULT UnregisterServer(RegistrationScope scope) {
  RegistryWriter registry(scope);
  std::wstring folderClassId = GuidString(kShellFolderClassId);
  std::wstring handlers = PropertySheetHandlersKey(folderClassId);
  registry.DeleteTree(handlers + L"\\FolderProperties");
  registry.DeleteTree(handlers);
  registry.DeleteTree(ClassKey(folderClassId) + L"\\ShellEx");
  UnregisterClass(registry, GuidString(kPropertySheetClassId));
  UnregisterClass(registry, folderClassId);
  UnregisterComponent();
  CoFreeUnusedLibraries();
  return S_OK;
}

namespace {

// The class's ShellFolder key as this version writes it: an older version's
// (whose folders claimed to be directories) does not count.
bool HasCurrentShellFolderKey(const std::wstring& classId) {
  RegKey key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, (L"CLSID\\" + classId + L"\\ShellFolder").c_str(), 0, KEY_QUERY_VALUE,
                    key.Put()) != ERROR_SUCCESS) {
    return false;
  }
  DWORD attributes = 0, type = 0, size = sizeof attributes;
  return RegQueryValueExW(key.Get(), L"Attributes", nullptr, &type, reinterpret_cast<BYTE*>(&attributes), &size) ==
             ERROR_SUCCESS &&
         size == sizeof attributes && attributes == kJunctionAttributes;
}

}  // namespace

bool IsServerRegistered() {
  std::wstring classId = GuidString(kShellFolderClassId);
  return HasCurrentShellFolderKey(classId) ||
         RegistryKeyExists(HKEY_LOCAL_MACHINE, NameSpaceKey(classId)) ||
         RegistryValueExists(HKEY_LOCAL_MACHINE, kApprovedKey, classId.c_str()) ||
         RegistryKeyExists(HKEY_CURRENT_USER, NameSpaceKey(classId)) ||
         RegistryValueExists(HKEY_CURRENT_USER, kApprovedKey, classId.c_str());
}

}  // namespace qv
