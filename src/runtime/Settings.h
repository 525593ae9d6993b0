#pragma once
// The per-user display settings: the widths of the list's two columns, shared by
// every folder window of the process, kept in HKCU\Software\quorvane as the
// binary value "Display Settings" (two little-endian 32-bit integers).

#include <windows.h>

namespace qv {

constexpr wchar_t kSettingsKey[] = L"Software\\quorvane";
constexpr wchar_t kDisplaySettingsValue[] = L"Display Settings";

constexpr int kNameColumn = 0;
constexpr int kDetailsColumn = 1;
constexpr int kColumnCount = 2;
constexpr int kDefaultColumnWidth = 100;

// Resets the widths to 100, then takes the stored ones (a negative one stays 100)
// and loads the registration cookie from its file. False, with the cookie left
// as it is, when there is no stored value of exactly 8 bytes.
bool LoadSettings();
// Stores the current widths; false when the value cannot be written.
bool SaveSettings();

// In memory only; an index outside the columns reads as the default and is not stored.
int GetColumnWidth(int column);
void SetColumnWidth(int column, int width);

// Writes a value under a key of HKEY_CURRENT_USER, creating the key.
bool WriteRegistryValue(const wchar_t* key, const wchar_t* valueName, const void* data, DWORD size, DWORD type);
// Reads a value that has exactly `size` bytes into the buffer.
bool ReadRegistryValue(HKEY root, const wchar_t* key, const wchar_t* valueName, void* buffer, DWORD size);

}  // namespace qv
