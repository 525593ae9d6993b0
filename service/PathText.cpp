#include "service/PathText.h"

#include <windows.h>

namespace qv::service {

std::wstring NormalizeFolderPath(const std::wstring& folder) {
  if (folder.empty()) return {};
  DWORD needed = GetFullPathNameW(folder.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return {};
  std::wstring full(needed, L'\0');
  DWORD length = GetFullPathNameW(folder.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return {};
  full.resize(length);
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  return full;
}

std::wstring SubtreePrefix(const std::wstring& folder) {
  return !folder.empty() && folder.back() == L'\\' ? folder : folder + L'\\';
}

std::wstring FoldPathCase(const std::wstring& path) {
  std::wstring folded = path;
  if (!folded.empty()) {
    LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, path.data(), static_cast<int>(path.size()),
                  folded.data(), static_cast<int>(folded.size()), nullptr, nullptr, 0);
  }
  return folded;
}

bool IsInsideFolder(const std::wstring& path, const std::wstring& folder) {
  std::wstring foldedPath = FoldPathCase(path);
  std::wstring foldedFolder = FoldPathCase(folder);
  if (foldedPath == foldedFolder) return true;
  std::wstring prefix = SubtreePrefix(foldedFolder);
  return foldedPath.compare(0, prefix.size(), prefix) == 0;
}

std::wstring ExtensionOf(const std::wstring& fileName) {
  std::size_t dot = fileName.find_last_of(L'.');
  if (dot == std::wstring::npos || dot + 1 == fileName.size()) return {};
  return FoldPathCase(fileName.substr(dot + 1));
}

std::wstring ForFileApi(const std::wstring& path) {
  // Below MAX_PATH with room for "\\*" the plain form works everywhere.
  if (path.size() < MAX_PATH - 12 || path.rfind(L"\\\\?\\", 0) == 0) return path;
  if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
  return L"\\\\?\\" + path;
}

}  // namespace qv::service
