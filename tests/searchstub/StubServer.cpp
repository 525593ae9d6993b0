// The stand-in service's COM server: class factories, and registration of its two
// ProgIDs for the current user (HKCU\Software\Classes), so that the tests' Wine
// prefix has a desktop search service only while a test wants one. Wine's COM
// does not read per-user classes, so there the machine's classes of the private
// prefix are used as well.

#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include <string>

#include "common/ComBase.h"
#include "common/Holders.h"
#include "searchstub/StubObjects.h"

namespace qv::stub {
namespace {

HMODULE g_module = nullptr;

// {B1AAC1A2-D877-4911-96DF-0CE65ECBCCAF}
constexpr CLSID kQueryApiClsid = {0xb1aac1a2, 0xd877, 0x4911, {0x96, 0xdf, 0x0c, 0xe6, 0x5e, 0xcb, 0xcc, 0xaf}};
// {DE5CCA12-C3A8-4E88-ADD8-7DE202786B23}
constexpr CLSID kRegistrarClsid = {0xde5cca12, 0xc3a8, 0x4e88, {0xad, 0xd8, 0x7d, 0xe2, 0x02, 0x78, 0x6b, 0x23}};

struct ServedClass {
  const CLSID* clsid;
  const wchar_t* progId;
  StubCall creation;
};
const ServedClass kServedClasses[] = {
    {&kQueryApiClsid, kQueryApiProgId, kStubCreateQueryApi},
    {&kRegistrarClsid, kRegistrarProgId, kStubCreateRegistrar},
};

class CStubClassFactory final : public ComObject<CStubClassFactory, NotCounted, IClassFactory> {
 public:
  explicit CStubClassFactory(const ServedClass& served) : served_(served) {}
  static const InterfaceEntry* InterfaceTable() {
    static const InterfaceEntry table[] = {QV_INTERFACE(CStubClassFactory, IClassFactory), {}};
    return table;
  }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    HRESULT scripted = S_OK;
    if (IsScripted(served_.creation, scripted)) return FAILED(scripted) ? scripted : E_FAIL;
    if (served_.creation == kStubCreateQueryApi) return CreateComObject<CStubQueryApi>(riid, ppv);
    return CreateComObject<CStubRegistrar>(riid, ppv);
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

 private:
  const ServedClass& served_;
};

std::wstring ClsidText(const CLSID& clsid) {
  wchar_t text[40] = {};
  StringFromGUID2(clsid, text, 40);
  return text;
}

bool SetKeyValue(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  RegKey handle;
  if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, handle.Put(), nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(handle.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) ==
         ERROR_SUCCESS;
}

bool RegisterClasses(HKEY root) {
  wchar_t path[MAX_PATH] = {};
  if (!GetModuleFileNameW(g_module, path, MAX_PATH)) return false;
  for (const ServedClass& served : kServedClasses) {
    std::wstring clsid = ClsidText(*served.clsid);
    std::wstring classKey = L"Software\\Classes\\CLSID\\" + clsid;
    std::wstring progIdKey = std::wstring(L"Software\\Classes\\") + served.progId;
    bool written = SetKeyValue(root, progIdKey + L"\\CLSID", nullptr, clsid) &&
                   SetKeyValue(root, classKey, nullptr, served.progId) &&
                   SetKeyValue(root, classKey + L"\\ProgID", nullptr, served.progId) &&
                   SetKeyValue(root, classKey + L"\\InprocServer32", nullptr, path) &&
                   SetKeyValue(root, classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    if (!written) return false;
  }
  return true;
}

void UnregisterClasses(HKEY root) {
  for (const ServedClass& served : kServedClasses) {
    RegDeleteTreeW(root, (L"Software\\Classes\\CLSID\\" + ClsidText(*served.clsid)).c_str());
    RegDeleteTreeW(root, (std::wstring(L"Software\\Classes\\") + served.progId).c_str());
  }
}

bool ProgIdsResolve() {
  CLSID clsid;
  return SUCCEEDED(CLSIDFromProgID(kQueryApiProgId, &clsid)) && SUCCEEDED(CLSIDFromProgID(kRegistrarProgId, &clsid));
}

}  // namespace
}  // namespace qv::stub

using namespace qv::stub;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

SEARCH_STUB_API HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  for (const ServedClass& served : kServedClasses) {
    if (IsEqualCLSID(clsid, *served.clsid)) return qv::CreateComObject<CStubClassFactory>(riid, ppv, served);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

// The tests keep the stand-in loaded for the whole run.
SEARCH_STUB_API HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }

SEARCH_STUB_API HRESULT WINAPI DllRegisterServer() {
  if (!RegisterClasses(HKEY_CURRENT_USER)) return SELFREG_E_CLASS;
  if (!ProgIdsResolve() && !RegisterClasses(HKEY_LOCAL_MACHINE)) return SELFREG_E_CLASS;
  return S_OK;
}

SEARCH_STUB_API HRESULT WINAPI DllUnregisterServer() {
  UnregisterClasses(HKEY_CURRENT_USER);
  UnregisterClasses(HKEY_LOCAL_MACHINE);
  return S_OK;
}
