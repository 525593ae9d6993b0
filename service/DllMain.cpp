// Entry points of the search service DLL. DllRegisterServer registers it for
// every user of the machine; "regsvr32 /n /i:user" (DllInstall with "user")
// registers it for the current user only, and arranges for the user's index
// watcher to start at logon (and starts it now). The logon entry runs
// "quorvane-indexw.exe watch", the index tool's windowless twin beside this DLL.

#include <windows.h>

#include <olectl.h>

#include <string>

#include "service/CServiceClassFactory.h"
#include "service/ServerRegistration.h"
#include "service/ServiceObject.h"
#include "service/WatcherInstance.h"

namespace {

HMODULE g_module = nullptr;

std::wstring ModulePath() { return qv::ModuleFilePath(g_module); }

HRESULT Register(qv::RegistrationScope scope) {
  std::wstring path = ModulePath();
  if (path.empty()) return SELFREG_E_CLASS;
  HRESULT hr = qv::service::RegisterServiceClasses(scope, path);
  if (FAILED(hr)) return SELFREG_E_CLASS;
  if (scope == qv::RegistrationScope::CurrentUser) {
    // The watcher is per user; an install for all users leaves it to the installer.
    std::wstring tool = qv::service::WindowlessToolPath();
    if (!tool.empty()) {
      qv::service::AddWatcherLogonEntry(L"\"" + tool + L"\" watch");
      qv::service::StartWatcherProcess(tool);
    }
  }
  return S_OK;
}

HRESULT Unregister(qv::RegistrationScope scope) {
  if (scope == qv::RegistrationScope::CurrentUser) {
    qv::service::RemoveWatcherLogonEntry();
    // The files may be deleted next: the watcher must not hold the tool open.
    qv::service::StopWatcher(10000);
  }
  return qv::service::UnregisterServiceClasses(scope);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  return qv::service::GetServiceClassObject(clsid, riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return qv::service::ServiceObjectCount() == 0 && qv::service::ServiceLockCount() == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return Register(qv::RegistrationScope::AllUsers); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  return qv::service::UnregisterServiceClasses(qv::RegistrationScope::AllUsers);
}

// "user" registers for the current user; no text (or "machine") for the machine.
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR commandLine) {
  qv::RegistrationScope scope;
  if (!qv::ParseInstallScope(commandLine, scope)) return E_INVALIDARG;
  return install ? Register(scope) : Unregister(scope);
}

// The logon entry of earlier versions ("rundll32 quorvane-search.dll,
// StartIndexWatcher"): starts the user's index watcher beside this DLL. A
// second start is harmless; the watcher that is already running keeps its place.
extern "C" void CALLBACK StartIndexWatcherW(HWND, HINSTANCE, LPWSTR, int) {
  std::wstring tool = qv::service::WindowlessToolPath();
  if (!tool.empty()) qv::service::StartWatcherProcess(tool);
}
