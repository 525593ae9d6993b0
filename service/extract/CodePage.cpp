#include "service/extract/CodePage.h"

#include <windows.h>

#include <climits>

#include "service/extract/Utf8Text.h"

namespace qv::service {

bool CodePageToUtf8(unsigned codePage, std::string_view bytes, std::string* utf8) {
  utf8->clear();
  if (bytes.empty()) return true;
  if (bytes.size() > INT_MAX / 2) bytes = bytes.substr(0, INT_MAX / 2);
  UINT page = codePage == kAnsiCodePage ? CP_ACP : codePage;
  int length = MultiByteToWideChar(page, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (length <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  length = MultiByteToWideChar(page, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), length);
  if (length <= 0) return false;
  AppendUtf16(*utf8, reinterpret_cast<const char16_t*>(wide.data()), static_cast<std::size_t>(length));
  return true;
}

}  // namespace qv::service
