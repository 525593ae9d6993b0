#include "common/RegistryWriter.h"

#include <objbase.h>

namespace qv {

bool ParseInstallScope(const wchar_t* commandLine, RegistrationScope& scope) {
  scope = RegistrationScope::AllUsers;
  if (!commandLine || !*commandLine) return true;
  if (CompareStringOrdinal(commandLine, -1, L"user", -1, TRUE) == CSTR_EQUAL) {
    scope = RegistrationScope::CurrentUser;
    return true;
  }
  return CompareStringOrdinal(commandLine, -1, L"machine", -1, TRUE) == CSTR_EQUAL;
}

std::wstring GuidString(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

std::wstring ModuleFilePath(HMODULE module) {
  // The buffer grows until the path fits; paths can exceed MAX_PATH.
  std::wstring path(MAX_PATH, L'\0');
  while (path.size() <= 32768) {
    DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
  return {};
}

RegistryWriter::RegistryWriter(RegistrationScope scope) : scope_(scope) {}

HKEY RegistryWriter::Root() const {
  return scope_ == RegistrationScope::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

std::wstring RegistryWriter::ClassesPath(const std::wstring& path) { return L"Software\\Classes\\" + path; }

LSTATUS RegistryWriter::CreateKey(const std::wstring& path) const {
  RegKey key;
  return RegCreateKeyExW(Root(), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                         key.Put(), nullptr);
}

LSTATUS RegistryWriter::SetBinary(const std::wstring& path, const wchar_t* name, const void* data, DWORD size) const {
  RegKey key;
  LSTATUS status = RegCreateKeyExW(Root(), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                   nullptr, key.Put(), nullptr);
  if (status != ERROR_SUCCESS) return status;
  return RegSetValueExW(key.Get(), name, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
}

LSTATUS RegistryWriter::SetString(const std::wstring& path, const wchar_t* name, const std::wstring& value) const {
  RegKey key;
  LSTATUS status = RegCreateKeyExW(Root(), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                   nullptr, key.Put(), nullptr);
  if (status != ERROR_SUCCESS) return status;
  return RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LSTATUS RegistryWriter::SetEmptyValue(const std::wstring& path, const wchar_t* name) const {
  RegKey key;
  LSTATUS status = RegCreateKeyExW(Root(), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                   nullptr, key.Put(), nullptr);
  if (status != ERROR_SUCCESS) return status;
  return RegSetValueExW(key.Get(), name, 0, REG_SZ, nullptr, 0);
}

LSTATUS RegistryWriter::DeleteTree(const std::wstring& path) const {
  LSTATUS status = RegDeleteTreeW(Root(), path.c_str());
  // Some versions only empty the named key: the key itself goes with RegDeleteKeyW.
  if (status == ERROR_SUCCESS) RegDeleteKeyW(Root(), path.c_str());
  return status;
}

LSTATUS RegistryWriter::DeleteValue(const std::wstring& path, const wchar_t* name) const {
  RegKey key;
  LSTATUS status = RegOpenKeyExW(Root(), path.c_str(), 0, KEY_SET_VALUE, key.Put());
  if (status != ERROR_SUCCESS) return status;
  return RegDeleteValueW(key.Get(), name);
}

std::wstring RegistryWriter::ReadString(const std::wstring& path, const wchar_t* name) const {
  return ReadRegistryString(Root(), path, name);
}

std::wstring ReadRegistryString(HKEY root, const std::wstring& path, const wchar_t* name) {
  DWORD size = 0;
  if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS) return {};
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, value.data(), &size) != ERROR_SUCCESS) return {};
  value.resize(wcsnlen(value.c_str(), value.size()));
  return value;
}

bool RegistryKeyExists(HKEY root, const std::wstring& path) {
  RegKey key;
  return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

bool RegistryValueExists(HKEY root, const std::wstring& path, const wchar_t* name) {
  RegKey key;
  return RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, key.Put()) == ERROR_SUCCESS &&
         RegQueryValueExW(key.Get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

}  // namespace qv
