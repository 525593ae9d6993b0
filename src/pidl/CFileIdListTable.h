#pragma once
// The module-wide table behind a result identifier's fileIdList: small handles
// that stand for the shell's parsed ID list of a file path. A handle means nothing
// outside the process that issued it, so every lookup checks the path as well.

#include <windows.h>
#include <shtypes.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace qv {

class CFileIdListTable {
 public:
  CFileIdListTable() = default;
  CFileIdListTable(const CFileIdListTable&) = delete;
  CFileIdListTable& operator=(const CFileIdListTable&) = delete;
  ~CFileIdListTable();

  // Keeps the list (taking ownership; freed with CoTaskMemFree) for the path and
  // returns its handle. A path already in the table keeps its first handle and the
  // new list is freed.
  std::uint32_t Add(const char* path, LPITEMIDLIST list);
  // The list of the handle when it was issued for this path (letter case aside),
  // otherwise the list of the path if it is in the table; null when neither.
  LPCITEMIDLIST Find(std::uint32_t handle, const char* path) const;
  std::size_t Size() const;

 private:
  struct Entry {
    std::string path;  // lower-case key
    LPITEMIDLIST list;
  };
  static std::string Key(const char* path);

  mutable SRWLOCK lock_ = SRWLOCK_INIT;
  std::vector<Entry> entries_;  // handle n is entries_[n - 1]
  std::unordered_map<std::string, std::uint32_t> byPath_;
};

}  // namespace qv
