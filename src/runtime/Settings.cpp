#include "runtime/Settings.h"

#include <cstdint>

#include "common/Holders.h"
#include "search/RegistrationCookie.h"

namespace qv {
namespace {

int g_columnWidths[kColumnCount] = {kDefaultColumnWidth, kDefaultColumnWidth};

bool IsColumn(int column) { return column >= 0 && column < kColumnCount; }

}  // namespace

bool LoadSettings() {
  for (int& width : g_columnWidths) width = kDefaultColumnWidth;
  std::int32_t stored[kColumnCount] = {};
  if (!ReadRegistryValue(HKEY_CURRENT_USER, kSettingsKey, kDisplaySettingsValue, stored, sizeof stored)) return false;
  SetRegistrationCookie(ReadCookieFile());
  for (int column = 0; column < kColumnCount; ++column) {
    g_columnWidths[column] = stored[column] < 0 ? kDefaultColumnWidth : stored[column];
  }
  return true;
}

bool SaveSettings() {
  std::int32_t stored[kColumnCount] = {};
  for (int column = 0; column < kColumnCount; ++column) stored[column] = g_columnWidths[column];
  return WriteRegistryValue(kSettingsKey, kDisplaySettingsValue, stored, sizeof stored, REG_BINARY);
}

int GetColumnWidth(int column) { return IsColumn(column) ? g_columnWidths[column] : kDefaultColumnWidth; }

void SetColumnWidth(int column, int width) {
  if (IsColumn(column)) g_columnWidths[column] = width;
}

bool WriteRegistryValue(const wchar_t* key, const wchar_t* valueName, const void* data, DWORD size, DWORD type) {
  RegKey handle;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                      handle.Put(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return RegSetValueExW(handle.Get(), valueName, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool ReadRegistryValue(HKEY root, const wchar_t* key, const wchar_t* valueName, void* buffer, DWORD size) {
  RegKey handle;
  if (RegOpenKeyExW(root, key, 0, KEY_QUERY_VALUE, handle.Put()) != ERROR_SUCCESS) return false;
  DWORD read = size;
  if (RegQueryValueExW(handle.Get(), valueName, nullptr, nullptr, static_cast<BYTE*>(buffer), &read) != ERROR_SUCCESS) {
    return false;
  }
  return read == size;
}

}  // namespace qv
