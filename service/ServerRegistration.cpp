#include "service/ServerRegistration.h"

#include <objbase.h>

#include "common/Holders.h"
#include "common/DesktopSearchInterfaces.h"

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

}  // namespace

HRESULT RegisterServiceClasses(RegistrationScope scope, const std::wstring& modulePath) {
  RegistryWriter registry(scope);
  for (const ServiceClass& serviceClass : kClasses) {
    std::wstring classKey = RegistryWriter::ClassesPath(L"CLSID\\" + GuidString(*serviceClass.clsid));
    std::wstring progIdKey = RegistryWriter::ClassesPath(serviceClass.progId);
    LSTATUS status = registry.SetString(classKey, nullptr, serviceClass.description);
    if (status == ERROR_SUCCESS) status = registry.SetString(classKey + L"\\InprocServer32", nullptr, modulePath);
    if (status == ERROR_SUCCESS) status = registry.SetString(classKey + L"\\InprocServer32", L"ThreadingModel", L"Both");
    if (status == ERROR_SUCCESS) status = registry.SetString(classKey + L"\\ProgID", nullptr, serviceClass.progId);
    if (status == ERROR_SUCCESS) status = registry.SetString(progIdKey, nullptr, serviceClass.description);
    if (status == ERROR_SUCCESS) {
      status = registry.SetString(progIdKey + L"\\CLSID", nullptr, GuidString(*serviceClass.clsid));
    }
    if (status != ERROR_SUCCESS) {
      UnregisterServiceClasses(scope);
      return HRESULT_FROM_WIN32(status);
    }
  }
  return S_OK;
}

HRESULT UnregisterServiceClasses(RegistrationScope scope) {
  RegistryWriter registry(scope);
  HRESULT result = S_OK;
  for (const ServiceClass& serviceClass : kClasses) {
    std::wstring classId = GuidString(*serviceClass.clsid);
    std::wstring progIdKey = RegistryWriter::ClassesPath(serviceClass.progId);
    // Another server may have taken the ProgID since: leave it to that one.
    if (CompareStringOrdinal(registry.ReadString(progIdKey + L"\\CLSID", nullptr).c_str(), -1, classId.c_str(), -1,
                             TRUE) == CSTR_EQUAL) {
      registry.DeleteTree(progIdKey);
    }
    LSTATUS status = registry.DeleteTree(RegistryWriter::ClassesPath(L"CLSID\\" + classId));
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) result = HRESULT_FROM_WIN32(status);
  }
  return result;
}

}  // namespace qv::service
