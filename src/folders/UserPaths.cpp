#include "folders/UserPaths.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "common/Holders.h"
#include "common/ModulePaths.h"

namespace qv {
namespace {

constexpr wchar_t kDocumentName[] = L"quorvane.xml";

// The data directory the module objects were made for; empty for the user's own.
std::wstring& ChosenDataDirectory() {
  static std::wstring directory;
  return directory;
}

std::wstring WithBackslash(std::wstring directory) {
  if (!directory.empty() && directory.back() != L'\\' && directory.back() != L'/') directory += L'\\';
  return directory;
}

bool FileExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

std::wstring ModuleDirectoryPath() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameW(ModuleInstance(), path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      std::wstring file(path.data(), length);
      std::size_t slash = file.find_last_of(L'\\');
      return slash == std::wstring::npos ? std::wstring() : file.substr(0, slash + 1);
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

std::wstring UserDataDirectory() {
  DWORD needed = GetEnvironmentVariableW(kDataDirectoryVariable, nullptr, 0);
  if (needed > 1) {
    std::vector<wchar_t> value(needed);
    DWORD length = GetEnvironmentVariableW(kDataDirectoryVariable, value.data(), needed);
    if (length > 0 && length < needed) {
      std::wstring directory = WithBackslash(std::wstring(value.data(), length));
      CreateDirectoryW(directory.c_str(), nullptr);
      return directory;
    }
  }
  TaskMemory<wchar_t> roaming;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, roaming.Put())) ||
      !roaming.Get()) {
    return {};
  }
  std::wstring directory = WithBackslash(roaming.Get()) + kUserDataFolderName + L"\\";
  if (!CreateDirectoryW(directory.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return {};
  return directory;
}

bool SeedUserDocument(const std::wstring& dataDirectory, const std::wstring& seedDirectory) {
  if (dataDirectory.empty()) return false;
  std::wstring document = WithBackslash(dataDirectory) + kDocumentName;
  if (FileExists(document)) return true;
  if (seedDirectory.empty() || SamePath(WithBackslash(dataDirectory), WithBackslash(seedDirectory))) return false;
  std::wstring seed = WithBackslash(seedDirectory) + kDocumentName;
  if (!FileExists(seed)) return false;
  // Copied under a name of its own, then moved into place without replacing:
  // another process seeding at the same moment, or reading, sees no half file.
  wchar_t suffix[32];
  wsprintfW(suffix, L".seed-%lu", GetCurrentProcessId());
  std::wstring partial = document + suffix;
  if (!CopyFileW(seed.c_str(), partial.c_str(), FALSE)) return false;
  // The copy is the user's own file, whatever the installed one's attributes.
  SetFileAttributesW(partial.c_str(), FILE_ATTRIBUTE_NORMAL);
  bool placed = MoveFileExW(partial.c_str(), document.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
  if (!placed) DeleteFileW(partial.c_str());
  return FileExists(document);
}

std::wstring DataDirectory() {
  std::wstring chosen = ChosenDataDirectory();
  return chosen.empty() ? UserDataDirectory() : chosen;
}

void SetDataDirectory(const std::wstring& directory) { ChosenDataDirectory() = directory; }

}  // namespace qv
