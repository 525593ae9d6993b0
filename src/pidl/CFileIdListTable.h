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
  std::uint32_t Add(const std::string& path, LPITEMIDLIST list);
  // The list of the handle when it was issued for exactly this path, otherwise
  // the list of the path if it is in the table; null when neither. Paths are
  // compared exactly: in a case-sensitive directory two names that differ only
  // in case are two files.
  LPCITEMIDLIST Find(std::uint32_t handle, const std::string& path) const;
  std::size_t Size() const;

 private:
  struct Entry {
    std::string path;  // UTF-8
    LPITEMIDLIST list;
  };

  mutable SRWLOCK lock_ = SRWLOCK_INIT;
  std::vector<Entry> entries_;  // handle n is entries_[n - 1]
  std::unordered_map<std::string, std::uint32_t> byPath_;
};

}  // namespace qv
