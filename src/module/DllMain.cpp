// The DLL's entry point and exports. DllMain runs under the loader lock, so it
// only records the module handle; everything else waits for the first call that
// needs it (see ModuleUse.h).

#include <windows.h>
#include <olectl.h>

#include "module/CClassFactory.h"
#include "common/Holders.h"
#include "common/ModulePaths.h"
#include "runtime/ModuleUse.h"
#include "ui/CIconCache.h"
#include "module/ServerRegistration.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    qv::SetModuleInstance(instance);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID riid, LPVOID* ppv) { return qv::GetClassObject(classId, riid, ppv); }

STDAPI DllCanUnloadNow() { return qv::ReleaseModuleIfIdle(qv::ReleaseSharedIconCache) ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  qv::ComInitialization com;
  return qv::Guarded<HRESULT>(E_FAIL, [] { return qv::RegisterServer(); });
}

STDAPI DllUnregisterServer() {
  qv::ComInitialization com;
  qv::Guarded<HRESULT>(E_FAIL, [] { return qv::UnregisterServer(); });
  return S_OK;
}

// "regsvr32 /n /i:user quorvane.dll" registers for the current user only, without
// administrator rights; an empty command line or "machine" means all users.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
  qv::RegistrationScope scope;
  if (!qv::ParseInstallScope(commandLine, scope)) return E_INVALIDARG;
  qv::ComInitialization com;
  if (install) return qv::Guarded<HRESULT>(E_FAIL, [scope] { return qv::RegisterServer(scope); });
  qv::Guarded<HRESULT>(E_FAIL, [scope] { return qv::UnregisterServer(scope); });
  return S_OK;
}

extern "C" int STDAPICALLTYPE DllIsRegistered() {
  return qv::Guarded(0, [] { return qv::IsServerRegistered() ? 1 : 0; });
}

extern "C" int STDAPICALLTYPE DllDebugTest() { return 1; }
