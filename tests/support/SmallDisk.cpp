#include "support/SmallDisk.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace qv::test {
namespace {

constexpr DWORD kMountWait = 10000;

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

}  // namespace

SmallDisk::SmallDisk(unsigned kilobytes) {
  unixPath_ = "/tmp/quorvane-small-disk-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(GetTickCount());
  path_ = "Z:" + unixPath_;
  for (char& c : path_) {
    if (c == '/') c = '\\';
  }
  if (!CreateDirectoryW(Wide(path_).c_str(), nullptr)) {
    reason_ = "no Z: drive onto the Linux root to mount a small disk under";
    return;
  }
  path_ += '\\';
  std::uint64_t before = TotalBytes();
  if (!RunLinux("Z:\\bin\\mount -t tmpfs -o size=" + std::to_string(kilobytes) + "k tmpfs " + unixPath_)) {
    reason_ = "Linux programs cannot be started from here to mount a small disk";
    return;
  }
  // The program runs on its own: the disk is there once the directory's volume
  // is the small one.
  for (DWORD waited = 0; waited < kMountWait; waited += 50) {
    std::uint64_t total = TotalBytes();
    if (total != before && total <= kilobytes * 1024ull) {
      mounted_ = true;
      return;
    }
    Sleep(50);
  }
  reason_ = "mounting a tmpfs failed (the tests are not running as root?)";
}

SmallDisk::~SmallDisk() {
  if (mounted_) {
    Free();
    std::uint64_t small = TotalBytes();
    RunLinux("Z:\\bin\\umount " + unixPath_);
    for (DWORD waited = 0; waited < kMountWait && TotalBytes() == small; waited += 50) Sleep(50);
  }
  if (!path_.empty()) RemoveDirectoryW(Wide(path_).c_str());
}

bool SmallDisk::RunLinux(const std::string& commandLine) const {
  STARTUPINFOW startup = {sizeof startup};
  PROCESS_INFORMATION process = {};
  std::wstring command = Wide(commandLine);
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  if (process.hProcess) {
    WaitForSingleObject(process.hProcess, kMountWait);
    CloseHandle(process.hProcess);
  }
  if (process.hThread) CloseHandle(process.hThread);
  return true;
}

std::uint64_t SmallDisk::TotalBytes() const {
  ULARGE_INTEGER available = {}, total = {}, free = {};
  if (!GetDiskFreeSpaceExW(Wide(path_).c_str(), &available, &total, &free)) return 0;
  return total.QuadPart;
}

std::uint64_t SmallDisk::FreeBytes() const {
  ULARGE_INTEGER available = {}, total = {}, free = {};
  if (!GetDiskFreeSpaceExW(Wide(path_).c_str(), &available, &total, &free)) return 0;
  return available.QuadPart;
}

void SmallDisk::Fill(std::uint64_t leave) {
  HANDLE file = CreateFileW(Wide(path_ + "filler").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  SetFilePointer(file, 0, nullptr, FILE_END);
  std::vector<char> block(1024, 'x');
  while (FreeBytes() > leave) {
    DWORD size = static_cast<DWORD>(std::min<std::uint64_t>(block.size(), FreeBytes() - leave));
    DWORD written = 0;
    if (!WriteFile(file, block.data(), size, &written, nullptr) || written == 0) break;
    FlushFileBuffers(file);
  }
  CloseHandle(file);
}

void SmallDisk::Free() { DeleteFileW(Wide(path_ + "filler").c_str()); }

}  // namespace qv::test
