#include "support/TempDirectory.h"

#include <windows.h>

#include <sstream>
#include <stdexcept>

#include "common/ModulePaths.h"
#include "common/Text.h"

namespace qv::test {
namespace {

std::wstring LongForm(const std::string& path) { return ExtendedLengthPath(ToWide(path)); }

// Removes a directory tree of any depth and path length.
void RemoveTree(const std::wstring& directory) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((directory + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = directory + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
        SetFileAttributesW(path.c_str(), found.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
      }
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(directory.c_str());
}

}  // namespace

TempDirectory::TempDirectory() {
  wchar_t base[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, base);
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::wostringstream name;
    name << base << L"qv-test-" << GetCurrentProcessId() << L"-" << ++counter << L"\\";
    if (CreateDirectoryW(name.str().c_str(), nullptr)) {
      path_ = ToUtf8(name.str());
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary directory");
}

TempDirectory::~TempDirectory() {
  std::wstring directory = ToWide(path_.substr(0, path_.size() - 1));
  RemoveTree(directory.rfind(L"\\\\?\\", 0) == 0 ? directory : L"\\\\?\\" + directory);
}

std::string ReadFileText(const std::string& path) {
  HANDLE file = CreateFileW(LongForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
  CloseHandle(file);
  return text;
}

void WriteFileText(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

bool FileExists(const std::string& path) {
  return GetFileAttributesW(LongForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool MakeDirectory(const std::string& path) { return CreateDirectoryW(LongForm(path).c_str(), nullptr) != FALSE; }

std::string HostPathToWindows(const std::string& hostPath) {
  if (hostPath.size() > 1 && hostPath[1] == ':') return hostPath;
  std::string result = "Z:" + hostPath;
  for (char& c : result) {
    if (c == '/') c = '\\';
  }
  return result;
}

std::string MakeNumberedFiles(const TempDirectory& tree, int count, std::vector<std::wstring>& paths,
                              int perDirectory) {
  std::string directory = tree.File("files-" + std::to_string(count));
  MakeDirectory(directory);
  paths.clear();
  for (int i = 0; i < count; ++i) {
    std::string parent = directory;
    if (perDirectory > 0) {
      parent += "\\part-" + std::to_string(i / perDirectory);
      if (i % perDirectory == 0) MakeDirectory(parent);
    }
    std::string path = parent + "\\document-" + std::to_string(i) + ".txt";
    WriteFileText(path, "bench");
    paths.push_back(ToWide(path));
  }
  return directory;
}

}  // namespace qv::test
