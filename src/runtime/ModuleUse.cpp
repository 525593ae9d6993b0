#include "runtime/ModuleUse.h"

#include "common/ComBase.h"
#include "runtime/LiveObjects.h"
#include "runtime/ModuleObjects.h"
#include "runtime/Settings.h"

namespace qv {
namespace {

// Host threads may ask for class objects and for unloading at the same time.
SRWLOCK g_useLock = SRWLOCK_INIT;
// The module-wide objects were made by this module's own use (not by a host that
// made them itself, as a test program linking the component does).
bool g_madeHere = false;

void StartUse() {
  if (g_madeHere || TheFolderStore() || ThePidlManager()) return;
  // Order: settings (with the registration cookie), folder store, list of open
  // views, ID list manager, list of open properties dialogs. The two lists join
  // this sequence with the view and the properties dialog.
  Guarded(false, [] { return LoadSettings(); });
  Guarded(false, [] { return CreateModuleObjects(); });
  g_madeHere = true;
}

void EndUse() {
  if (!g_madeHere) return;
  // Order: settings saved, list of open views, folder store, ID list manager,
  // list of open properties dialogs. The document itself is saved by every change.
  Guarded(false, [] { return SaveSettings(); });
  Guarded(false, [] {
    DestroyModuleObjects();
    return true;
  });
  g_madeHere = false;
}

}  // namespace

ModuleUseScope::ModuleUseScope() {
  AcquireSRWLockExclusive(&g_useLock);
  StartUse();
}

ModuleUseScope::~ModuleUseScope() { ReleaseSRWLockExclusive(&g_useLock); }

bool ModuleUseScope::Ready() const { return TheFolderStore() && ThePidlManager(); }

CFolderStore& RequireFolderStore() {
  if (CFolderStore* store = TheFolderStore()) return *store;
  throw ComError(kModuleObjectsUnavailable);
}

CPidlManager& RequirePidlManager() {
  if (CPidlManager* manager = ThePidlManager()) return *manager;
  throw ComError(kModuleObjectsUnavailable);
}

bool ReleaseModuleIfIdle(void (*releaseAlso)()) {
  AcquireSRWLockExclusive(&g_useLock);
  bool idle = CanUnloadNow() == S_OK;
  if (idle && releaseAlso) {
    Guarded(false, [&] {
      releaseAlso();
      return true;
    });
  }
  if (idle) EndUse();
  ReleaseSRWLockExclusive(&g_useLock);
  return idle;
}

}  // namespace qv
