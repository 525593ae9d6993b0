// Entry points of the search service DLL. DllRegisterServer registers it for
// every user of the machine; "regsvr32 /n /i:user" (DllInstall with "user")
// registers it for the current user only.

#include <windows.h>

#include <olectl.h>

#include <string>

#include "service/CServiceClassFactory.h"
#include "service/ServerRegistration.h"
#include "service/ServiceObject.h"

namespace {

HMODULE g_module = nullptr;

std::wstring ModulePath() {
  wchar_t path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameW(g_module, path, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

HRESULT Register(qv::service::RegistrationScope scope) {
  std::wstring path = ModulePath();
  if (path.empty()) return SELFREG_E_CLASS;
  HRESULT hr = qv::service::RegisterServiceClasses(scope, path);
  return SUCCEEDED(hr) ? S_OK : SELFREG_E_CLASS;
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

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return Register(qv::service::RegistrationScope::Machine); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  return qv::service::UnregisterServiceClasses(qv::service::RegistrationScope::Machine);
}

// "user" registers for the current user; no text (or "machine") for the machine.
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR commandLine) {
  qv::service::RegistrationScope scope = qv::service::RegistrationScope::Machine;
  if (commandLine && *commandLine) {
    if (CompareStringOrdinal(commandLine, -1, L"user", -1, TRUE) == CSTR_EQUAL) {
      scope = qv::service::RegistrationScope::User;
    } else if (CompareStringOrdinal(commandLine, -1, L"machine", -1, TRUE) != CSTR_EQUAL) {
      return E_INVALIDARG;
    }
  }
  return install ? Register(scope) : qv::service::UnregisterServiceClasses(scope);
}
