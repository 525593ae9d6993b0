#pragma once
// The module's own handle and the directory beside which it keeps its files.

#include <windows.h>

#include <cstddef>
#include <string>

namespace qv {

constexpr char kProductName[] = "quorvane";

// The module whose resources and file location the component uses. Inside the
// DLL it is the DLL; in a program that links the component statically it is the
// program itself.
HMODULE ModuleInstance();
void SetModuleInstance(HMODULE module);

// The module file's directory with its trailing backslash, of any length;
// empty when it cannot be determined.
std::wstring ModuleDirectory();
// The same as UTF-8 text into a buffer; false when it cannot be determined or
// does not fit.
bool GetModuleDirectory(char* buffer, std::size_t capacity);

std::size_t GetProductName(char* buffer, std::size_t capacity);

// The path in the form file APIs take at any length: a full drive or UNC path
// of MAX_PATH characters or more gets the "\\?\" prefix; anything else is
// returned unchanged.
std::wstring ExtendedLengthPath(const std::wstring& path);

}  // namespace qv
