#include "module/Text.h"

#include <objbase.h>
#include <shlwapi.h>

#include <cstdarg>

#include <cstring>

#include "module/ModulePaths.h"

namespace qv {

std::string ToAnsi(const wchar_t* text) {
  if (!text || !*text) return {};
  int needed = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (needed <= 1) return {};
  std::string result(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, result.data(), needed, nullptr, nullptr);
  result.resize(static_cast<std::size_t>(needed - 1));
  return result;
}

std::wstring ToWide(const char* text) {
  if (!text || !*text) return {};
  int needed = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (needed <= 1) return {};
  std::wstring result(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, result.data(), needed);
  result.resize(static_cast<std::size_t>(needed - 1));
  return result;
}

std::size_t CopyAnsi(const char* text, char* buffer, std::size_t capacity) {
  if (!buffer || capacity == 0) return 0;
  std::size_t length = 0;
  if (text) {
    while (text[length] && length + 1 < capacity) {
      std::size_t step = IsDBCSLeadByte(static_cast<BYTE>(text[length])) && text[length + 1] ? 2 : 1;
      if (length + step + 1 > capacity) break;
      length += step;
    }
    std::memcpy(buffer, text, length);
  }
  buffer[length] = '\0';
  return length;
}

std::size_t WideToAnsi(const wchar_t* text, char* buffer, std::size_t capacity) {
  return CopyAnsi(ToAnsi(text).c_str(), buffer, capacity);
}

std::size_t AnsiToWide(const char* text, wchar_t* buffer, std::size_t capacity) {
  if (!buffer || capacity == 0) return 0;
  std::wstring wide = ToWide(text);
  std::size_t length = wide.size() < capacity ? wide.size() : capacity - 1;
  // Do not end on the first half of a surrogate pair.
  if (length > 0 && length < wide.size() && IS_HIGH_SURROGATE(wide[length - 1])) --length;
  wide.copy(buffer, length);
  buffer[length] = L'\0';
  return length;
}

wchar_t* ToTaskMemoryWide(const char* text) {
  std::wstring wide = ToWide(text);
  auto* memory = static_cast<wchar_t*>(CoTaskMemAlloc((wide.size() + 1) * sizeof(wchar_t)));
  if (!memory) return nullptr;
  std::memcpy(memory, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
  return memory;
}

}  // namespace qv

namespace qv {

std::string LoadResourceText(UINT id) {
  char text[512] = {};
  LoadStringA(ModuleInstance(), id, text, sizeof text);
  return text;
}

std::string FormatText(const char* format, ...) {
  char text[1024] = {};
  va_list arguments;
  va_start(arguments, format);
  wvnsprintfA(text, sizeof text, format, arguments);
  va_end(arguments);
  return text;
}

}  // namespace qv
