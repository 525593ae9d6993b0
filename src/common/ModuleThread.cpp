#include "common/ModuleThread.h"

#include <memory>
#include <new>
#include <utility>

namespace qv {
namespace {

struct ThreadStart {
  std::function<void()> work;
  HMODULE pinned = nullptr;
};

// The module holding this code, with a reference of the caller's own.
HMODULE PinThisModule() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&PinThisModule),
                          &module)) {
    return nullptr;
  }
  return module;
}

DWORD WINAPI RunModuleThread(void* parameter) {
  HMODULE module = nullptr;
  {
    // The thread owns its start from here on; it is gone before the module may go.
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
    module = start->pinned;
    try {
      start->work();
    } catch (...) {
      // An exception ends the work, never the process.
    }
  }
  // A program's own module is not unloaded: its reference is dropped only.
  if (module && module != GetModuleHandleW(nullptr)) FreeLibraryAndExitThread(module, 0);
  if (module) FreeLibrary(module);
  return 0;
}

}  // namespace

bool StartModuleThread(std::function<void()> work) {
  auto start = std::unique_ptr<ThreadStart>(new (std::nothrow) ThreadStart{std::move(work), PinThisModule()});
  if (!start) return false;
  if (!start->pinned) return false;
  HANDLE thread = CreateThread(nullptr, 0, RunModuleThread, start.get(), 0, nullptr);
  if (!thread) {
    FreeLibrary(start->pinned);
    return false;
  }
  start.release();  // the thread frees it
  CloseHandle(thread);
  return true;
}

}  // namespace qv
