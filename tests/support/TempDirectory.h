#pragma once
// A fresh directory under the Windows temporary folder, deleted with everything in
// it when the test ends.

#include <string>
#include <vector>

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
// `count` small files "document-0.txt"... in a new directory "files-<count>" of
// the tree, for benchmarks; the directory, and each file's path in `paths`.
// With `perDirectory`, they go into sub-directories of that many files each
// (Wine makes each new file in a directory look through all the others).
std::string MakeNumberedFiles(const TempDirectory& tree, int count, std::vector<std::wstring>& paths,
                              int perDirectory = 0);

// The Windows path of a file named by a host (Unix) path, such as the built DLL.
std::string HostPathToWindows(const std::string& hostPath);

}  // namespace qv::test
