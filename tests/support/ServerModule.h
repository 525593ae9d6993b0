#pragma once
// A private copy of the built quorvane.dll in a temporary directory, loaded into
// the test process the way a host loads it. Its data files (quorvane.xml, the
// cookie file) lie beside the copy (the user's data directory is set to the
// copy's directory while the ServerModule lives), and every ServerModule is a
// freshly loaded module with its own module-wide state.

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "common/ComBase.h"
#include "support/TempDirectory.h"

namespace qv::test {

class ServerModule {
 public:
  // Copies the DLL named by QUORVANE_DLL and loads the copy; throws
  // std::runtime_error when it cannot.
  ServerModule();
  ServerModule(const ServerModule&) = delete;
  ServerModule& operator=(const ServerModule&) = delete;
  // Unloads the copy when the module agrees; a module that still has live objects
  // stays loaded, so a failed test cannot crash the next one.
  ~ServerModule();

  // The copy's directory: its name holds characters no ANSI code page has, as
  // a user profile such as "C:\Users\Zoë Ω" does.
  const std::string& Directory() const { return directory_; }
  std::string DllPath() const { return directory_ + "quorvane.dll"; }
  std::string DocumentPath() const { return directory_ + "quorvane.xml"; }
  HMODULE Handle() const { return module_; }

  HRESULT GetClassObject(REFCLSID classId, REFIID riid, void** ppv) const;
  HRESULT CanUnloadNow() const;
  HRESULT RegisterServer() const;
  HRESULT UnregisterServer() const;
  HRESULT Install(bool install, const wchar_t* commandLine) const;
  int IsRegistered() const;
  int DebugTest() const;

  // The namespace root as the shell makes it: from the class factory, placed
  // with IPersistFolder::Initialize at the desktop's item for the class.
  ComPtr<IShellFolder> CreateRootFolder() const;

 private:
  template <class Fn>
  Fn Export(const char* name) const;

  TempDirectory dir_;
  std::string directory_;
  std::string previousDataDirectory_;
  HMODULE module_ = nullptr;
};

// A test that drives a freshly loaded server from its namespace root, and checks
// at the end that every object it made was released.
class ServerTest : public testing::Test {
 protected:
  void WriteDocument(const std::string& xml) const { WriteFileText(server_.DocumentPath(), xml); }
  std::string DocumentText() const { return ReadFileText(server_.DocumentPath()); }
  IShellFolder* Root() {
    if (!root_) root_ = server_.CreateRootFolder();
    return root_.Get();
  }
  void TearDown() override {
    root_.Reset();
    EXPECT_EQ(S_OK, server_.CanUnloadNow()) << "an object of the component is still alive";
  }

  ServerModule server_;
  ComPtr<IShellFolder> root_;
};

// The built DLL's own path (QUORVANE_DLL) as Windows sees it.
std::string BuiltServerPath();

}  // namespace qv::test
