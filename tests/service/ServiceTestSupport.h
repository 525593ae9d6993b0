#pragma once
// Drives the search service the way the component does: registration through the
// registrar, queries through the query API, the ready-state wait and the results'
// "uri" and "title". Each test gets its own data folder and file tree.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/ComBase.h"
#include "common/DesktopSearchInterfaces.h"
#include "search/ServiceObjects.h"
#include "support/TempDirectory.h"

namespace qv::service::test {

extern const wchar_t kClientGuid[];

struct Result {
  std::wstring uri;
  std::wstring title;
};

// Creates a service object from its ProgID exactly as the component does.
template <class Interface>
HRESULT CreateServiceObject(const wchar_t* progId, ComPtr<Interface>* object) {
  return qv::CreateServiceObject(progId, __uuidof(Interface), object->PutVoid());
}

// The component's description of itself: Title, Description, Icon pairs.
VARIANT MakeDescription();

// The whole registration sequence; the cookie, or 0 when a step failed.
LONG RegisterClient(const wchar_t* guid = kClientGuid);
HRESULT UnregisterClient(const wchar_t* guid = kClientGuid);

struct QueryOutcome {
  HRESULT hr = E_FAIL;
  std::vector<Result> results;
  LONG finalCount = 0;
  LONG finalState = 0;
  // What the result set says the query read literally.
  std::wstring warning;
};

// One query as the component sends it: category as a BSTR (or missing when
// null), ranking as a VT_UI1 byte; waits as the component does, bounded to a
// few seconds, then reads up to `take` results (all when 0).
QueryOutcome RunQuery(LONG cookie, const wchar_t* text, const wchar_t* category = L"file", BYTE ranking = 0,
                      LONG maxResults = 0, std::size_t take = 0);

// Each test: a private data folder for the service, a tree of files to index,
// and the service registered in the test prefix.
class ServiceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

  // Writes a file (and its folders) under the tree; returns its Windows path.
  std::wstring AddFile(const std::string& relativePath, const std::string& content = "");
  std::wstring TreePath(const std::string& relativePath = "") const;
  // Adds the tree as a root and runs one index pass.
  void IndexTree();
  void IndexAgain();
  // The service's data in `folder` from here on (SetUp gives each test its own).
  static void UseDataFolder(const std::wstring& folder);

  qv::test::TempDirectory data_;
  qv::test::TempDirectory tree_;
};

struct ToolRun {
  DWORD exitCode = 0xFFFFFFFF;
  std::string output;
};

// Runs quorvane-index.exe with the test's data folder (inherited from the
// environment) and captures what it prints.
ToolRun RunTool(const std::string& arguments);

// Runs a command of the host's shell in a folder when the tests run under Wine,
// which starts Unix programs it is handed; waits until `done` holds. False on
// Windows or when the command did not do its work in time.
bool RunUnderWineShell(const std::wstring& folder, const std::string& command, const std::function<bool()>& done);

// The Unix path of a Windows path under Wine, for the host's shell.
std::string UnixPathOf(const std::wstring& path);

// A disk of its own, of `bytes`, for a folder: under Wine, a tmpfs mounted on
// it from the host's shell (which takes root, as the tests run here and in CI).
// Unmounted when it goes.
class SmallDisk {
 public:
  SmallDisk(const std::wstring& folder, std::uint64_t bytes);
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  ~SmallDisk();
  // False where it could not be mounted: the test skips.
  bool Mounted() const { return mounted_; }
  bool Resize(std::uint64_t bytes);
  bool MakeReadOnly();

 private:
  std::wstring folder_;
  bool mounted_ = false;
};

using Names = std::vector<std::wstring>;
Names Titles(const std::vector<Result>& results);
Names Sorted(Names names);
std::wstring Wide(const std::string& text);

// Little-endian numbers, as the binary formats under test store them.
inline void Put16(std::string& out, unsigned value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}
inline void Put32(std::string& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

}  // namespace qv::service::test
