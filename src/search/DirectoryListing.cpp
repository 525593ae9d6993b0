#include "search/DirectoryListing.h"

#include <utility>
#include <vector>

#include "common/ModulePaths.h"

namespace qv {
namespace {

class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  ~FindHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

std::unique_ptr<DirectoryListing> ListDirectory(const std::wstring& directory, std::size_t most) {
  std::wstring pattern = ExtendedLengthPath(directory + L"\\*");
  WIN32_FIND_DATAW found;
  FindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH));
  // A directory that cannot be listed (gone, or listing is denied while its
  // files can still be opened) leaves its results to be checked one by one.
  if (find.Get() == INVALID_HANDLE_VALUE) return nullptr;
  auto listing = std::make_unique<DirectoryListing>();
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  std::size_t entries = 0;
  do {
    if (++entries > most) return nullptr;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    std::size_t length = wcsnlen(found.cFileName, ARRAYSIZE(found.cFileName));
    spans.emplace_back(listing->names.size(), length);
    listing->names.append(found.cFileName, length);
  } while (FindNextFileW(find.Get(), &found));
  if (GetLastError() != ERROR_NO_MORE_FILES) return nullptr;
  // Views into the names, made once they no longer move.
  listing->files.reserve(spans.size());
  for (const auto& [offset, length] : spans) listing->files.emplace(listing->names.data() + offset, length);
  return listing;
}

}  // namespace qv
