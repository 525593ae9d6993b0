#include "search/IndexChanges.h"

#include <windows.h>

#include <mutex>
#include <string>

#include "common/Holders.h"
#include "common/SearchDataFolder.h"

namespace qv {
namespace {

constexpr ULONGLONG kStampReadIntervalMs = 250;
// The database header: the file change counter, big-endian, at byte 24.
constexpr DWORD kChangeCounterOffset = 24;

std::uint32_t ReadStamp() {
  std::wstring folder = SearchDataFolder();
  if (folder.empty()) return 0;
  if (folder.back() != L'\\') folder += L'\\';
  // Shared with the service's own reading and writing; its locks lie far
  // beyond the header.
  UniqueHandle file = FileHandle(CreateFileW((folder + kSearchIndexFileName).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 0;
  unsigned char header[kChangeCounterOffset + 4] = {};
  DWORD read = 0;
  if (!ReadFile(file.Get(), header, sizeof header, &read, nullptr) || read != sizeof header) return 0;
  const unsigned char* counter = header + kChangeCounterOffset;
  // 1 more, so that an index that exists never reads as "no index".
  return ((std::uint32_t{counter[0]} << 24) | (std::uint32_t{counter[1]} << 16) | (std::uint32_t{counter[2]} << 8) |
          counter[3]) + 1;
}

}  // namespace

std::uint32_t SearchIndexStamp() {
  static std::mutex lock;
  static ULONGLONG readAt = 0;
  static bool read = false;
  static std::uint32_t stamp = 0;
  std::lock_guard<std::mutex> hold(lock);
  ULONGLONG now = GetTickCount64();
  if (!read || now - readAt >= kStampReadIntervalMs) {
    stamp = ReadStamp();
    readAt = now;
    read = true;
  }
  return stamp;
}

}  // namespace qv
