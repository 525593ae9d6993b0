#include "service/ServicePaths.h"

#include <windows.h>
#include <shlobj.h>

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

std::wstring IndexToolPath() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&IndexToolPath), &module)) {
    return {};
  }
  wchar_t path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring folder(path, length);
  std::size_t slash = folder.find_last_of(L'\\');
  if (slash == std::wstring::npos) return {};
  std::wstring tool = folder.substr(0, slash + 1) + L"quorvane-index.exe";
  return GetFileAttributesW(tool.c_str()) == INVALID_FILE_ATTRIBUTES ? std::wstring() : tool;
}

std::wstring ServiceDatabasePath() { return InDataFolder(L"service.db"); }
std::wstring IndexDatabasePath() { return InDataFolder(kSearchIndexFileName); }
std::wstring IndexDamageMarkerPath() { return InDataFolder(L"index.damaged"); }
std::wstring IndexLockPath() { return InDataFolder(L"index.lock"); }

}  // namespace qv::service
