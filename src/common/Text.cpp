#include "common/Text.h"

#include <objbase.h>
#include <shlwapi.h>

#include <cstdarg>
#include <cstring>

#include "common/ModulePaths.h"

namespace qv {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

std::string ToUtf8(const wchar_t* text, std::size_t length) {
  if (!text || length == 0) return {};
  int wideLength = static_cast<int>(length);
  int needed = WideCharToMultiByte(CP_UTF8, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string result(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, wideLength, result.data(), needed, nullptr, nullptr);
  return result;
}

std::string ToUtf8(const wchar_t* text) { return text ? ToUtf8(text, wcslen(text)) : std::string(); }

std::string ToUtf8(const std::wstring& text) { return ToUtf8(text.data(), text.size()); }

std::wstring FromUtf8(const char* text, std::size_t length) {
  if (!text || length == 0) return {};
  int byteLength = static_cast<int>(length);
  int needed = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, byteLength, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring result(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, byteLength, result.data(), needed);
  return result;
}

std::wstring FromUtf8(const std::string& text) { return FromUtf8(text.data(), text.size()); }

std::wstring ToWide(const char* text) { return text ? FromUtf8(text, std::strlen(text)) : std::wstring(); }

std::wstring ToWide(const std::string& text) { return FromUtf8(text); }

bool IsUtf8(const char* text, std::size_t length) {
  if (length == 0) return true;
  return text && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, static_cast<int>(length), nullptr, 0) > 0;
}

std::string AnsiToUtf8(const char* text, std::size_t length) {
  if (!text || length == 0) return {};
  int needed = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), wide.data(), needed);
  return ToUtf8(wide);
}

std::string Utf8ToAnsi(const std::string& text) {
  std::wstring wide = FromUtf8(text);
  if (wide.empty()) return {};
  int needed = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string result(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), result.data(), needed, nullptr, nullptr);
  return result;
}

std::size_t CharacterCount(const std::string& text) {
  std::size_t count = 0;
  for (unsigned char byte : text) count += IsContinuation(byte) ? 0 : 1;
  return count;
}

std::string CutText(const std::string& text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  std::size_t length = bytes;
  while (length > 0 && IsContinuation(static_cast<unsigned char>(text[length]))) --length;
  return text.substr(0, length);
}

std::size_t CopyText(const char* text, char* buffer, std::size_t capacity) {
  if (!buffer || capacity == 0) return 0;
  std::string cut = CutText(text ? text : "", capacity - 1);
  std::memcpy(buffer, cut.data(), cut.size());
  buffer[cut.size()] = '\0';
  return cut.size();
}

std::size_t WideToText(const wchar_t* text, char* buffer, std::size_t capacity) {
  return CopyText(ToUtf8(text).c_str(), buffer, capacity);
}

wchar_t* ToTaskMemoryWide(const char* text) {
  std::wstring wide = ToWide(text);
  auto* memory = static_cast<wchar_t*>(CoTaskMemAlloc((wide.size() + 1) * sizeof(wchar_t)));
  if (!memory) return nullptr;
  std::memcpy(memory, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
  return memory;
}

std::string LoadResourceText(UINT id) {
  const wchar_t* text = nullptr;
  // With a zero length the call points into the resource itself: no limit.
  int length = LoadStringW(ModuleInstance(), id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 && text ? ToUtf8(text, static_cast<std::size_t>(length)) : std::string();
}

std::wstring GroupedNumber(long long value) {
  std::wstring digits = std::to_wstring(value);
  wchar_t grouped[64] = {};
  NUMBERFMTW format = {};
  wchar_t decimal[] = L".";
  wchar_t thousand[8] = L",";
  GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, thousand, ARRAYSIZE(thousand));
  format.Grouping = 3;
  format.lpDecimalSep = decimal;
  format.lpThousandSep = thousand;
  if (GetNumberFormatEx(LOCALE_NAME_USER_DEFAULT, 0, digits.c_str(), &format, grouped, ARRAYSIZE(grouped)) > 0)
    return grouped;
  return digits;
}

std::string FormatText(const char* format, ...) {
  char text[1024] = {};
  va_list arguments;
  va_start(arguments, format);
  // Byte-wise formatting: UTF-8 arguments pass through unchanged.
  wvnsprintfA(text, sizeof text, format, arguments);
  va_end(arguments);
  std::string result(text);
  // A cut at the bound may have left part of a character behind.
  for (int i = 0; i < 3 && !IsUtf8(result.data(), result.size()); ++i) result.pop_back();
  return result;
}

}  // namespace qv
