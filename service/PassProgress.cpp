#include "service/PassProgress.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "common/Holders.h"
#include "service/ServicePaths.h"

namespace qv::service {
namespace {

std::wstring ProgressPath() {
  std::wstring folder = DataFolder();
  return folder.empty() ? folder : folder + L"pass.progress";
}

ULONGLONG g_lastPublished = 0;

}  // namespace

void PublishPassProgress(const IndexProgress& progress, std::uint64_t expected, bool now) {
  ULONGLONG tick = GetTickCount64();
  if (!now && tick - g_lastPublished < 250) return;
  g_lastPublished = tick;
  std::wstring path = ProgressPath();
  if (path.empty()) return;
  char text[96] = {};
  int length = std::snprintf(text, sizeof text, "%llu %llu %llu\n", static_cast<unsigned long long>(progress.filesSeen),
                             static_cast<unsigned long long>(progress.filesIndexed),
                             static_cast<unsigned long long>(expected));
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) {
    file.Release();
    return;
  }
  DWORD written = 0;
  WriteFile(file.Get(), text, static_cast<DWORD>(length), &written, nullptr);
}

void ClearPassProgress() {
  std::wstring path = ProgressPath();
  if (!path.empty()) DeleteFileW(path.c_str());
  g_lastPublished = 0;
}

bool ReadPassProgress(PassProgress* progress) {
  *progress = {};
  std::wstring lock = IndexLockPath();
  if (lock.empty() || GetFileAttributesW(lock.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  UniqueHandle file(CreateFileW(ProgressPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) {
    file.Release();
    return true;
  }
  char text[96] = {};
  DWORD read = 0;
  ReadFile(file.Get(), text, sizeof text - 1, &read, nullptr);
  unsigned long long seen = 0, indexed = 0, expected = 0;
  if (std::sscanf(text, "%llu %llu %llu", &seen, &indexed, &expected) == 3) {
    progress->filesSeen = seen;
    progress->filesIndexed = indexed;
    progress->filesExpected = expected;
  }
  return true;
}

}  // namespace qv::service
