#pragma once
// What the list shows of a result's file beyond its name and path, read from
// the file system when a row needs it.

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

namespace qv {

struct FileFacts {
  bool found = false;
  std::uint64_t modified = 0;  // FILETIME, UTC
  std::uint64_t size = 0;
};

// The file's last write time and size at exactly `path` (UTF-8, any length).
FileFacts ReadFileFacts(const std::string& path);
// The time in the user's time zone, as the user's short date and time.
std::wstring FormatModified(std::uint64_t fileTime);
// The size as the shell writes it in a list ("12 KB").
std::wstring FormatSize(std::uint64_t size);

// The shell's type names of files ("Text Document"), asked once per extension.
class FileTypeNames {
 public:
  std::wstring NameFor(const std::string& path);

 private:
  std::map<std::wstring, std::wstring> byExtension_;
};

}  // namespace qv
