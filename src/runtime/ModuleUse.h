#pragma once
// When the module-wide objects of the loaded server exist. They are made by the
// first call that needs them, never inside DllMain (the loader lock forbids COM
// work there), and released once no object of the component is alive and the
// host asks whether the module may be unloaded. The folder definition document is
// therefore loaded once for each period of use and never behind a live object's
// back.

#include <windows.h>

namespace qv {

class CFolderStore;
class CPidlManager;

// What a call that needs the module-wide objects answers when one of them could
// not be made (no shell allocator, no desktop folder, no XML parser).
constexpr HRESULT kModuleObjectsUnavailable = E_UNEXPECTED;

// Holds the module in use for its lifetime: makes the module-wide objects if they
// do not exist yet, and keeps ReleaseModuleIfIdle from running meanwhile, so an
// object created under it always finds them.
class ModuleUseScope {
 public:
  ModuleUseScope();
  ModuleUseScope(const ModuleUseScope&) = delete;
  ModuleUseScope& operator=(const ModuleUseScope&) = delete;
  ~ModuleUseScope();

  // True when every module-wide object exists.
  bool Ready() const;
};

// The module-wide objects for code that cannot go on without them: throw
// ComError(kModuleObjectsUnavailable) when missing.
CFolderStore& RequireFolderStore();
CPidlManager& RequirePidlManager();

// With no live object of the component: saves the settings and releases the
// module-wide objects this module made, and answers true (the module may be
// unloaded), after `releaseAlso` (what later layers keep for the module's
// period of use). Otherwise changes nothing and answers false.
bool ReleaseModuleIfIdle(void (*releaseAlso)() = nullptr);

}  // namespace qv
