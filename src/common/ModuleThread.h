#pragma once
// Background threads of a module that the host may unload: the thread keeps the
// module holding its code loaded until its work has returned.

#include <windows.h>

#include <functional>

namespace qv {

// Runs `work` on a thread of its own. False when no thread could be started:
// nothing runs then. `work` must not throw; what it throws is dropped.
bool StartModuleThread(std::function<void()> work);

}  // namespace qv
