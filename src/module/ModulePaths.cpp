#include "module/ModulePaths.h"

#include <cstring>

#include "module/Text.h"

namespace qv {
namespace {
HMODULE g_module = nullptr;
}

HMODULE ModuleInstance() { return g_module ? g_module : GetModuleHandleA(nullptr); }

void SetModuleInstance(HMODULE module) { g_module = module; }

bool GetModuleDirectory(char* buffer, std::size_t capacity) {
  if (!buffer || capacity == 0) return false;
  buffer[0] = '\0';
  char path[MAX_PATH] = {};
  // The current directory is read only as a check that the process can name paths.
  if (GetCurrentDirectoryA(MAX_PATH, path) == 0) return false;
  DWORD length = GetModuleFileNameA(ModuleInstance(), path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  char* slash = std::strrchr(path, '\\');
  if (!slash) return false;
  slash[1] = '\0';
  if (std::strlen(path) + 1 > capacity) return false;
  std::memcpy(buffer, path, std::strlen(path) + 1);
  return true;
}

std::size_t GetProductName(char* buffer, std::size_t capacity) {
  return CopyAnsi(kProductName, buffer, capacity);
}

}  // namespace qv
