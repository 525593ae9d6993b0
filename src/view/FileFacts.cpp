#include "view/FileFacts.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "common/ModulePaths.h"
#include "common/Text.h"

namespace qv {

FileFacts ReadFileFacts(const std::string& path) {
  FileFacts facts;
  if (path.empty()) return facts;
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(ExtendedLengthPath(ToWide(path)).c_str(), GetFileExInfoStandard, &data)) return facts;
  facts.found = true;
  facts.modified = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                   data.ftLastWriteTime.dwLowDateTime;
  facts.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return facts;
}

std::wstring FormatModified(std::uint64_t fileTime) {
  FILETIME utc = {static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
  SYSTEMTIME universal = {}, local = {};
  if (!FileTimeToSystemTime(&utc, &universal) || !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
    return {};
  wchar_t date[80] = {}, time[80] = {};
  if (!GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, ARRAYSIZE(date))) return {};
  if (!GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &local, nullptr, time, ARRAYSIZE(time))) return date;
  return std::wstring(date) + L" " + time;
}

std::wstring FormatSize(std::uint64_t size) {
  wchar_t text[64] = {};
  if (!StrFormatKBSizeW(static_cast<LONGLONG>(size), text, ARRAYSIZE(text))) return {};
  return text;
}

std::wstring FileTypeNames::NameFor(const std::string& path) {
  std::wstring wide = ToWide(path);
  std::size_t slash = wide.find_last_of(L"\\/");
  std::size_t dot = wide.rfind(L'.');
  std::wstring extension = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)
                               ? wide.substr(dot) : std::wstring();
  CharLowerBuffW(extension.data(), static_cast<DWORD>(extension.size()));
  auto known = byExtension_.find(extension);
  if (known != byExtension_.end()) return known->second;
  // Asked by extension alone: the file itself is never opened.
  SHFILEINFOW info = {};
  std::wstring probe = L"file" + extension;
  std::wstring name;
  if (SHGetFileInfoW(probe.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                     SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES) && info.szTypeName[0]) {
    name = info.szTypeName;
  } else if (extension.size() > 1) {
    std::wstring upper = extension.substr(1);
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    name = upper + L" File";
  } else {
    name = L"File";
  }
  byExtension_.emplace(extension, name);
  return name;
}

}  // namespace qv
