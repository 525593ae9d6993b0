// The DLL's entry point and exports. DllMain runs under the loader lock, so it
// only records the module handle; everything else waits for the first call that
// needs it (see ModuleUse.h).

#include <windows.h>
#include <olectl.h>

#include "module/CClassFactory.h"
#include "module/Holders.h"
#include "module/ModulePaths.h"
#include "module/ModuleUse.h"
#include "module/ServerRegistration.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    qv::SetModuleInstance(instance);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID riid, LPVOID* ppv) { return qv::GetClassObject(classId, riid, ppv); }

STDAPI DllCanUnloadNow() { return qv::ReleaseModuleIfIdle() ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  qv::ComInitialization com;
  return qv::Guarded<HRESULT>(E_FAIL, [] { return qv::RegisterServer(); });
}

STDAPI DllUnregisterServer() {
  qv::ComInitialization com;
  qv::Guarded<HRESULT>(E_FAIL, [] { return qv::UnregisterServer(); });
  return S_OK;
}

extern "C" int STDAPICALLTYPE DllIsRegistered() {
  return qv::Guarded(0, [] { return qv::IsServerRegistered() ? 1 : 0; });
}

extern "C" int STDAPICALLTYPE DllDebugTest() { return 1; }
