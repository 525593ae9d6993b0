#pragma once
// Conversions between the component's ANSI buffers and the wide text of the
// shell, the XML parser and the search service. Both cut at the buffer's size
// without splitting a character and always terminate.

#include <windows.h>

#include <cstddef>
#include <string>

namespace qv {

// Converts to the process's ANSI code page into a buffer of `capacity` bytes;
// returns the length placed (0 when capacity is 0).
std::size_t WideToAnsi(const wchar_t* text, char* buffer, std::size_t capacity);

// Converts from the process's ANSI code page into `capacity` wide characters.
std::size_t AnsiToWide(const char* text, wchar_t* buffer, std::size_t capacity);

std::string ToAnsi(const wchar_t* text);
std::wstring ToWide(const char* text);

// Copies at most capacity - 1 bytes of an ANSI string and terminates it, never
// leaving half of a double-byte character at the end.
std::size_t CopyAnsi(const char* text, char* buffer, std::size_t capacity);

// The text converted to wide characters in memory from the COM task allocator
// (the shell's allocator), for strings handed to the shell, which frees them.
// Null when the allocation fails.
wchar_t* ToTaskMemoryWide(const char* text);

}  // namespace qv

namespace qv {

// A string-table entry of the module (at most 511 bytes); empty when missing.
std::string LoadResourceText(UINT id);

// printf-style formatting bounded at 1023 bytes; the result is cut there.
std::string FormatText(const char* format, ...);

}  // namespace qv
