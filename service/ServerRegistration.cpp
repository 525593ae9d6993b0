#include "service/ServerRegistration.h"

#include <objbase.h>

#include "module/Holders.h"
#include "search/DesktopSearchInterfaces.h"
#include "service/ServiceClassIds.h"

namespace qv::service {
namespace {

struct ServiceClass {
  const CLSID* clsid;
  const wchar_t* progId;
  const wchar_t* description;
};

const ServiceClass kClasses[] = {
    {&kQueryApiClassId, kQueryApiProgId, L"quorvane desktop search: queries"},
    {&kRegistrarClassId, kRegistrarProgId, L"quorvane desktop search: registrar"},
    {&kQueryRegistrationClassId, kQueryRegistrationType, L"quorvane desktop search: query registration"},
};

std::wstring ClassIdText(const CLSID& clsid) {
  wchar_t text[39] = {};
  StringFromGUID2(clsid, text, 39);
  return text;
}

HKEY ScopeRoot(RegistrationScope scope) {
  return scope == RegistrationScope::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

LSTATUS SetKeyValue(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
  RegKey key;
  LSTATUS status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(), nullptr);
  if (status != ERROR_SUCCESS) return status;
  return RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

std::wstring ReadDefaultValue(HKEY root, const std::wstring& path) {
  wchar_t value[64] = {};
  DWORD size = sizeof value - sizeof(wchar_t);
  if (RegGetValueW(root, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) return {};
  return value;
}

}  // namespace

HRESULT RegisterServiceClasses(RegistrationScope scope, const std::wstring& modulePath) {
  HKEY root = ScopeRoot(scope);
  for (const ServiceClass& serviceClass : kClasses) {
    std::wstring classKey = L"Software\\Classes\\CLSID\\" + ClassIdText(*serviceClass.clsid);
    std::wstring progIdKey = std::wstring(L"Software\\Classes\\") + serviceClass.progId;
    LSTATUS status = SetKeyValue(root, classKey, nullptr, serviceClass.description);
    if (status == ERROR_SUCCESS) status = SetKeyValue(root, classKey + L"\\InprocServer32", nullptr, modulePath);
    if (status == ERROR_SUCCESS) status = SetKeyValue(root, classKey + L"\\InprocServer32", L"ThreadingModel", L"Both");
    if (status == ERROR_SUCCESS) status = SetKeyValue(root, classKey + L"\\ProgID", nullptr, serviceClass.progId);
    if (status == ERROR_SUCCESS) status = SetKeyValue(root, progIdKey, nullptr, serviceClass.description);
    if (status == ERROR_SUCCESS) status = SetKeyValue(root, progIdKey + L"\\CLSID", nullptr, ClassIdText(*serviceClass.clsid));
    if (status != ERROR_SUCCESS) {
      UnregisterServiceClasses(scope);
      return HRESULT_FROM_WIN32(status);
    }
  }
  return S_OK;
}

HRESULT UnregisterServiceClasses(RegistrationScope scope) {
  HKEY root = ScopeRoot(scope);
  HRESULT result = S_OK;
  for (const ServiceClass& serviceClass : kClasses) {
    std::wstring classId = ClassIdText(*serviceClass.clsid);
    std::wstring progIdKey = std::wstring(L"Software\\Classes\\") + serviceClass.progId;
    // Another server may have taken the ProgID since: leave it to that one.
    if (CompareStringOrdinal(ReadDefaultValue(root, progIdKey + L"\\CLSID").c_str(), -1, classId.c_str(), -1, TRUE) ==
        CSTR_EQUAL) {
      LSTATUS status = RegDeleteTreeW(root, progIdKey.c_str());
      if (status == ERROR_SUCCESS) RegDeleteKeyW(root, progIdKey.c_str());
    }
    std::wstring classKey = L"Software\\Classes\\CLSID\\" + classId;
    LSTATUS status = RegDeleteTreeW(root, classKey.c_str());
    if (status == ERROR_SUCCESS) status = RegDeleteKeyW(root, classKey.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) result = HRESULT_FROM_WIN32(status);
  }
  return result;
}

}  // namespace qv::service
