#pragma once
// Writes and removes a server's registry entries for one scope, in wide text.
// Both DLLs register through it: the shell folder component its class, junction
// and approval, the search service its classes and ProgIDs.

#include <windows.h>

#include <string>

#include "common/Holders.h"

namespace qv {

// Where the entries go: for every user of the machine (HKEY_LOCAL_MACHINE, which
// needs administrator rights) or for the current user only (HKEY_CURRENT_USER,
// which HKEY_CLASSES_ROOT merges in for that user).
enum class RegistrationScope { AllUsers, CurrentUser };

// The scope a DllInstall command line names: "user" for the current user, no
// text or "machine" for all users (either case). False for any other text.
bool ParseInstallScope(const wchar_t* commandLine, RegistrationScope& scope);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
std::wstring GuidString(const GUID& guid);

// The full path of a loaded module, however long; empty when it cannot be read.
std::wstring ModuleFilePath(HMODULE module);

class RegistryWriter {
 public:
  explicit RegistryWriter(RegistrationScope scope);

  RegistrationScope Scope() const { return scope_; }
  // The root of the scope's Software\Classes and of its own Software keys.
  HKEY Root() const;
  // "Software\Classes\" + path: a class, ProgID or other classes-root key.
  static std::wstring ClassesPath(const std::wstring& path);

  // Creates the key (and its parents) and sets one REG_SZ value with its
  // terminating NUL; name null sets the default value. ERROR_SUCCESS or the failure.
  LSTATUS SetString(const std::wstring& path, const wchar_t* name, const std::wstring& value) const;
  LSTATUS SetBinary(const std::wstring& path, const wchar_t* name, const void* data, DWORD size) const;
  // A REG_SZ value with no data at all: present, and empty.
  LSTATUS SetEmptyValue(const std::wstring& path, const wchar_t* name) const;
  // Creates the key when missing; ERROR_SUCCESS or the failure.
  LSTATUS CreateKey(const std::wstring& path) const;

  // The key and everything below it; ERROR_SUCCESS or ERROR_FILE_NOT_FOUND when
  // it is gone afterwards.
  LSTATUS DeleteTree(const std::wstring& path) const;
  LSTATUS DeleteValue(const std::wstring& path, const wchar_t* name) const;
  // A REG_SZ value of the scope's root; empty when missing.
  std::wstring ReadString(const std::wstring& path, const wchar_t* name) const;

 private:
  RegistrationScope scope_;
};

// A REG_SZ value (null name: the default value); empty when missing.
std::wstring ReadRegistryString(HKEY root, const std::wstring& path, const wchar_t* name);
bool RegistryKeyExists(HKEY root, const std::wstring& path);
bool RegistryValueExists(HKEY root, const std::wstring& path, const wchar_t* name);

}  // namespace qv
