#pragma once
// The component's two COM class IDs: the shell folder that Explorer binds to,
// and the folder property sheet handler that the registration names for it.

#include <windows.h>
#include <guiddef.h>

namespace qv {

// {F641BE64-07A8-47BA-A7E5-B43A77D93CB9}
inline constexpr CLSID kShellFolderClassId = {
    0xF641BE64, 0x07A8, 0x47BA, {0xA7, 0xE5, 0xB4, 0x3A, 0x77, 0xD9, 0x3C, 0xB9}};

// {13266FB3-ACEB-4480-BC93-20A22BE137E6}
inline constexpr CLSID kPropertySheetClassId = {
    0x13266FB3, 0xACEB, 0x4480, {0xBC, 0x93, 0x20, 0xA2, 0x2B, 0xE1, 0x37, 0xE6}};

}  // namespace qv
