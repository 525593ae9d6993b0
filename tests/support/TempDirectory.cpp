#include "support/TempDirectory.h"

#include <windows.h>
#include <shellapi.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace qv::test {

TempDirectory::TempDirectory() {
  char base[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, base);
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::ostringstream name;
    name << base << "qv-test-" << GetCurrentProcessId() << "-" << ++counter << "\\";
    if (CreateDirectoryA(name.str().c_str(), nullptr)) {
      path_ = name.str();
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary directory");
}

TempDirectory::~TempDirectory() {
  // SHFileOperation wants a double-terminated list without the trailing backslash.
  std::string from = path_.substr(0, path_.size() - 1);
  from.push_back('\0');
  SHFILEOPSTRUCTA op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  SHFileOperationA(&op);
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFileText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string HostPathToWindows(const std::string& hostPath) {
  if (hostPath.size() > 1 && hostPath[1] == ':') return hostPath;
  std::string result = "Z:" + hostPath;
  for (char& c : result) {
    if (c == '/') c = '\\';
  }
  return result;
}

}  // namespace qv::test
