#include "runtime/LiveObjects.h"

namespace qv {
namespace {

constexpr int kClassCount = static_cast<int>(LiveClass::Count);

// Host threads may create and release objects at the same time, so every update is
// interlocked.
volatile LONG g_total = 0;
volatile LONG g_perClass[kClassCount] = {};
volatile LONG g_locks = 0;

const char* const kClassNames[kClassCount] = {
    "CDropSource",  "CShellFolder", "CShellView",  "CEnumFormatEtc",
    "CClassFactory", "CContextMenu", "CDataObject", "CDropTarget",
    "CEnumIDList",  "CExtractIcon", "CQueryInfo",  "CPidlManager"};

bool IsCounted(LiveClass cls) {
  int index = static_cast<int>(cls);
  return index >= 0 && index < kClassCount && cls != LiveClass::PidlManager;
}

}  // namespace

int CountObject(LiveClass cls) {
  if (IsCounted(cls)) {
    InterlockedIncrement(&g_total);
    InterlockedIncrement(&g_perClass[static_cast<int>(cls)]);
  }
  return static_cast<int>(cls);
}

int UncountObject(LiveClass cls) {
  if (IsCounted(cls)) {
    InterlockedDecrement(&g_total);
    InterlockedDecrement(&g_perClass[static_cast<int>(cls)]);
  }
  return static_cast<int>(cls);
}

const char* ClassName(LiveClass cls) {
  int index = static_cast<int>(cls);
  return index >= 0 && index < kClassCount ? kClassNames[index] : "";
}

LONG LiveObjectTotal() { return InterlockedCompareExchange(&g_total, 0, 0); }

LONG LiveObjectCount(LiveClass cls) {
  int index = static_cast<int>(cls);
  return index >= 0 && index < kClassCount
             ? InterlockedCompareExchange(&g_perClass[index], 0, 0)
             : 0;
}

void LockModule(bool lock) {
  if (lock) {
    InterlockedIncrement(&g_locks);
  } else if (InterlockedDecrement(&g_locks) < 0) {
    // An unlock without its lock is the caller's fault; the count stays at zero.
    InterlockedIncrement(&g_locks);
  }
}

LONG ModuleLockCount() { return InterlockedCompareExchange(&g_locks, 0, 0); }

HRESULT CanUnloadNow() { return LiveObjectTotal() == 0 && ModuleLockCount() == 0 ? S_OK : S_FALSE; }

}  // namespace qv
