#include "service/ServicePaths.h"

#include <windows.h>
#include <shlobj.h>

#include "common/IndexToolNames.h"
#include "common/RegistryWriter.h"
#include "common/SearchDataFolder.h"

namespace qv::service {
namespace {

std::wstring InDataFolder(const wchar_t* name) {
  std::wstring folder = DataFolder();
  return folder.empty() ? folder : folder + name;
}

}  // namespace

bool CreateFolderTree(const std::wstring& folder) {
  if (folder.empty()) return false;
  DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  std::wstring trimmed = folder;
  while (trimmed.size() > 3 && (trimmed.back() == L'\\' || trimmed.back() == L'/')) trimmed.pop_back();
  std::size_t slash = trimmed.find_last_of(L"\\/");
  if (slash != std::wstring::npos && slash > 2) CreateFolderTree(trimmed.substr(0, slash));
  return CreateDirectoryW(trimmed.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::wstring DataFolder() {
  std::wstring folder = SearchDataFolder();
  if (folder.empty()) return folder;
  if (folder.back() != L'\\') folder += L'\\';
  return CreateFolderTree(folder) ? folder : std::wstring();
}

std::wstring ToolBesideThisModule(const wchar_t* fileName) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&ToolBesideThisModule), &module)) {
    return {};
  }
  std::wstring path = ModuleFilePath(module);
  std::size_t slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos) return {};
  std::wstring tool = path.substr(0, slash + 1) + fileName;
  return GetFileAttributesW(tool.c_str()) == INVALID_FILE_ATTRIBUTES ? std::wstring() : tool;
}

std::wstring IndexToolPath() { return ToolBesideThisModule(kIndexToolFileName); }

std::wstring ServiceDatabasePath() { return InDataFolder(L"service.db"); }
std::wstring IndexDatabasePath() { return InDataFolder(kSearchIndexFileName); }
std::wstring IndexDamageMarkerPath() { return InDataFolder(L"index.damaged"); }
std::wstring IndexLockPath() { return InDataFolder(L"index.lock"); }

}  // namespace qv::service
