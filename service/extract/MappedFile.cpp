#include "service/extract/MappedFile.h"

namespace qv::service {

MappedFile::~MappedFile() {
  if (view_) UnmapViewOfFile(view_);
  if (mapping_) CloseHandle(mapping_);
}

bool MappedFile::Open(HANDLE file, unsigned long long limit) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size) || size.QuadPart <= 0 || static_cast<unsigned long long>(size.QuadPart) > limit) {
    return false;
  }
  mapping_ = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (!mapping_) return false;
  view_ = MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0);
  if (!view_) return false;
  size_ = static_cast<std::size_t>(size.QuadPart);
  return true;
}

}  // namespace qv::service
