#pragma once
// The files of one directory, as one listing of it found them: looked up by
// their whole names as the listing spelled them.

#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>

namespace qv {

struct DirectoryListing {
  std::wstring names;  // the file names, one after another
  std::unordered_set<std::wstring_view> files;

  bool Holds(const std::wstring& name) const { return files.count(name) != 0; }
};

// Lists the files (not the sub-directories) of `directory`, a path of the form
// "X:\dir" of any length. Null when it cannot be listed, or when it holds more
// than `most` entries (then looking its results up one by one is cheaper).
std::unique_ptr<DirectoryListing> ListDirectory(const std::wstring& directory, std::size_t most);

}  // namespace qv
