#pragma once
// The module's own handle and the directory beside which it keeps its files.

#include <windows.h>

#include <cstddef>

namespace qv {

constexpr char kProductName[] = "quorvane";

// The module whose resources and file location the component uses. Inside the
// DLL it is the DLL; in a program that links the component statically it is the
// program itself.
HMODULE ModuleInstance();
void SetModuleInstance(HMODULE module);

// The module file's directory with its trailing backslash, into a buffer of at
// least MAX_PATH bytes. False when it cannot be determined.
bool GetModuleDirectory(char* buffer, std::size_t capacity);

std::size_t GetProductName(char* buffer, std::size_t capacity);

}  // namespace qv
