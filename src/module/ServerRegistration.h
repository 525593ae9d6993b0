#pragma once
// Self-registration: the shell folder class as an apartment-threaded in-process
// server marked as a shell folder, its namespace junction under the desktop, its
// approval as a shell extension, and the folder property sheet handler's class.

#include <windows.h>

#include "common/RegistryWriter.h"

namespace qv {

// S_OK, or E_FAIL when a key could not be created (what was written stays;
// UnregisterServer removes it).
HRESULT RegisterServer(RegistrationScope scope = RegistrationScope::AllUsers);
// Removes every entry RegisterServer writes, leaving other extensions' approvals;
// failures are ignored. S_OK.
HRESULT UnregisterServer(RegistrationScope scope = RegistrationScope::AllUsers);
// Registered for all users or for the current user: HKEY_CLASSES_ROOT shows both.
bool IsServerRegistered();

}  // namespace qv
