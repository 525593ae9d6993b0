#pragma once
// A fresh directory under the Windows temporary folder, deleted with everything in
// it when the test ends.

#include <string>

namespace qv::test {

class TempDirectory {
 public:
  TempDirectory();
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;
  ~TempDirectory();

  // The directory with a trailing backslash (UTF-8).
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

// Whole-file helpers for checking what the component wrote. Paths are UTF-8 and
// may be of any length.
std::string ReadFileText(const std::string& path);
void WriteFileText(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);
bool MakeDirectory(const std::string& path);

// The Windows path of a file named by a host (Unix) path, such as the built DLL.
std::string HostPathToWindows(const std::string& hostPath);

}  // namespace qv::test
