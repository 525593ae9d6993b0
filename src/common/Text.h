#pragma once
// The component's text. Inside the component text is UTF-8 in std::string; it is
// converted to UTF-16 exactly at every Windows, shell, XML parser and search
// service interface, which are all called through their wide forms. The ANSI
// code page is met only in the compatibility fields of the item record, and
// nothing is ever identified by those.

#include <windows.h>

#include <cstddef>
#include <string>

namespace qv {

// UTF-8 <-> UTF-16. Invalid input gives an empty result rather than a guess.
std::string ToUtf8(const wchar_t* text);
std::string ToUtf8(const wchar_t* text, std::size_t length);
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const char* text, std::size_t length);
std::wstring FromUtf8(const std::string& text);
// The component's text for a wide API (null gives an empty string).
std::wstring ToWide(const char* text);
std::wstring ToWide(const std::string& text);

// True when the bytes are well-formed UTF-8.
bool IsUtf8(const char* text, std::size_t length);

// Text from a fixed field written in the process's ANSI code page (items of the
// older layout), and the best-fit ANSI copy of text for such a field.
std::string AnsiToUtf8(const char* text, std::size_t length);
std::string Utf8ToAnsi(const std::string& text);

// The number of characters (code points) the user sees counted in a name.
std::size_t CharacterCount(const std::string& text);

// Copies at most capacity - 1 bytes of UTF-8 text and terminates, never leaving
// part of a character at the end; returns the length placed.
std::size_t CopyText(const char* text, char* buffer, std::size_t capacity);
// The UTF-8 text of a wide string cut to fit `capacity` bytes with its terminator.
std::size_t WideToText(const wchar_t* text, char* buffer, std::size_t capacity);
// The longest prefix of the text that fits `bytes` without splitting a character.
std::string CutText(const std::string& text, std::size_t bytes);

// The text as a wide string in memory from the COM task allocator (the shell's
// allocator), for strings handed to the shell, which frees them. Null when the
// allocation fails.
wchar_t* ToTaskMemoryWide(const char* text);

// A string-table entry of the module; empty when missing.
std::string LoadResourceText(UINT id);

// A count with the user's digit grouping ("1,234").
std::wstring GroupedNumber(long long value);

// printf-style formatting of UTF-8 text, bounded at 1023 bytes.
std::string FormatText(const char* format, ...);

}  // namespace qv
