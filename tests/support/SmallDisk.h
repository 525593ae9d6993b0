#pragma once
// A small disk of a test's own: a tmpfs of a few kilobytes mounted on a new
// directory under /tmp (as root, which the tests run as here and in CI) and
// reached through Wine's Z: drive, which maps the Linux root. The mount and
// unmount run as Linux programs started from the test. Where that is not
// possible, Mounted() is false and Reason() says why, for GTEST_SKIP.

#include <cstdint>
#include <string>

namespace qv::test {

class SmallDisk {
 public:
  explicit SmallDisk(unsigned kilobytes = 64);
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  ~SmallDisk();

  bool Mounted() const { return mounted_; }
  const std::string& Reason() const { return reason_; }
  // The disk's root with a trailing backslash (Windows path).
  const std::string& Path() const { return path_; }
  std::uint64_t FreeBytes() const;
  // Takes space with a filler file in the disk's root until at most `leave`
  // bytes are free; Free gives it all back.
  void Fill(std::uint64_t leave = 0);
  void Free();

 private:
  bool RunLinux(const std::string& commandLine) const;
  std::uint64_t TotalBytes() const;

  std::string unixPath_;
  std::string path_;
  std::string reason_;
  bool mounted_ = false;
};

}  // namespace qv::test
