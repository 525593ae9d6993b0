#pragma once
// A read-only view of a whole open file, for readers that jump about in it
// (a PDF's cross-reference sits at its end). Nothing is copied.

#include <windows.h>

#include <string_view>

namespace qv::service {

class MappedFile {
 public:
  MappedFile() = default;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();

  // False when the file cannot be mapped (empty, or larger than `limit`).
  bool Open(HANDLE file, unsigned long long limit);
  std::string_view Bytes() const { return {static_cast<const char*>(view_), size_}; }

 private:
  HANDLE mapping_ = nullptr;
  void* view_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace qv::service
