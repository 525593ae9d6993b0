#pragma once
// What identifies one version of a file without reading it: the volume, the
// file's index on it (a file put in place by a rename has a new one), its last
// write time and its size. Two equal stamps mean the file was not replaced or
// written in between.

#include <windows.h>

#include <cstdint>
#include <string>

namespace qv {

struct FileStamp {
  bool exists = false;
  DWORD volumeSerial = 0;
  std::uint64_t fileIndex = 0;
  std::uint64_t lastWrite = 0;
  std::uint64_t size = 0;

  // The stamp of the file now; a missing file gives the stamp with exists false.
  // False, with the stamp cleared, when the file exists but cannot be examined.
  static bool Read(const std::wstring& path, FileStamp& stamp);

  bool operator==(const FileStamp&) const = default;
};

// A cheaper look at a file, from its attributes alone (no handle is opened):
// enough to tell that a file did not change in the common case, though a file
// replaced within the time stamps' resolution by one of the same size escapes it.
struct FileGlance {
  bool exists = false;
  std::uint64_t created = 0;
  std::uint64_t lastWrite = 0;
  std::uint64_t size = 0;

  // False when the file cannot be looked at (then the glance tells nothing).
  static bool Read(const std::wstring& path, FileGlance& glance);

  bool operator==(const FileGlance&) const = default;
};

}  // namespace qv
