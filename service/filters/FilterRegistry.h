#pragma once
// Which filter (an IFilter class another program registered) reads the files
// of an extension, found the documented way through the classes root: the
// extension's PersistentHandler, or that of its ProgID (directly or through the
// ProgID's class), then the handler's
// PersistentAddinsRegistered\{89BCB740-6119-101A-BCB7-00DD010655AF} entry,
// which names the filter's class.

#include <windows.h>

#include <optional>
#include <string>

namespace qv::service {

// The filter's class for an extension (lower case, without the dot); none when
// nothing is registered for it.
std::optional<CLSID> RegisteredFilterClass(const std::wstring& extension);

}  // namespace qv::service
