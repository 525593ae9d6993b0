#include "service/ServiceObject.h"

namespace qv::service {
namespace {
volatile LONG g_objects = 0;
volatile LONG g_locks = 0;
}  // namespace

void ServiceObjectCreated() { InterlockedIncrement(&g_objects); }
void ServiceObjectDestroyed() { InterlockedDecrement(&g_objects); }
LONG ServiceObjectCount() { return InterlockedCompareExchange(&g_objects, 0, 0); }

void LockService(bool lock) {
  if (lock) {
    InterlockedIncrement(&g_locks);
  } else if (InterlockedDecrement(&g_locks) < 0) {
    // An unlock without its lock is the caller's fault; the count stays at zero.
    InterlockedIncrement(&g_locks);
  }
}

LONG ServiceLockCount() { return InterlockedCompareExchange(&g_locks, 0, 0); }

}  // namespace qv::service
