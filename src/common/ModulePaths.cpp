#include "common/ModulePaths.h"

#include <cstring>

#include "common/Text.h"

namespace qv {
namespace {
HMODULE g_module = nullptr;
}

HMODULE ModuleInstance() { return g_module ? g_module : GetModuleHandleW(nullptr); }

void SetModuleInstance(HMODULE module) { g_module = module; }

std::wstring ModuleDirectory() {
  // Installation folders may be deep: grow the buffer until the name fits.
  std::wstring path(MAX_PATH, L'\0');
  while (true) {
    DWORD length = GetModuleFileNameW(ModuleInstance(), path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
  std::size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

bool GetModuleDirectory(char* buffer, std::size_t capacity) {
  if (!buffer || capacity == 0) return false;
  buffer[0] = '\0';
  std::string directory = ToUtf8(ModuleDirectory());
  if (directory.empty() || directory.size() + 1 > capacity) return false;
  std::memcpy(buffer, directory.c_str(), directory.size() + 1);
  return true;
}

std::size_t GetProductName(char* buffer, std::size_t capacity) {
  return CopyText(kProductName, buffer, capacity);
}

std::wstring ExtendedLengthPath(const std::wstring& path) {
  if (path.size() < MAX_PATH || path.rfind(L"\\\\?\\", 0) == 0) return path;
  if (path.size() > 2 && path[1] == L':' && path[2] == L'\\') return L"\\\\?\\" + path;
  if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
  return path;
}

}  // namespace qv
