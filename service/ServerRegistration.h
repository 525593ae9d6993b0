#pragma once
// The service's entries in the registry: a class key per creatable class (in
// process, "Both" threading) and the ProgIDs that name them. Per user under
// HKEY_CURRENT_USER\Software\Classes, per machine under
// HKEY_LOCAL_MACHINE\Software\Classes.

#include <windows.h>

#include <string>

#include "common/RegistryWriter.h"

namespace qv::service {

HRESULT RegisterServiceClasses(RegistrationScope scope, const std::wstring& modulePath);
// Removes the class keys, and each ProgID only while it still names our class.
HRESULT UnregisterServiceClasses(RegistrationScope scope);

}  // namespace qv::service
