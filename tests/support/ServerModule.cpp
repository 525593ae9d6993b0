#include "support/ServerModule.h"

#include <cstdlib>
#include <stdexcept>

#include "common/ClassIds.h"
#include "common/Text.h"
#include "support/TestItemList.h"

namespace qv::test {

std::string BuiltServerPath() {
  const char* path = std::getenv("QUORVANE_DLL");
  if (!path || !*path) throw std::runtime_error("QUORVANE_DLL does not name the built quorvane.dll");
  return HostPathToWindows(path);
}

ServerModule::ServerModule() : directory_(dir_.Path() + "Zo\xC3\xAB \xCE\xA9 \xE6\x97\xA5\xE6\x9C\xAC\\") {
  // The copy's per-user files lie beside it, not in the prefix's profile.
  wchar_t previous[MAX_PATH] = {};
  GetEnvironmentVariableW(L"QUORVANE_DATA_DIR", previous, MAX_PATH);
  previousDataDirectory_ = ToUtf8(previous);
  SetEnvironmentVariableW(L"QUORVANE_DATA_DIR", ToWide(directory_).c_str());
  if (!MakeDirectory(directory_) ||
      !CopyFileW(ToWide(BuiltServerPath()).c_str(), ToWide(DllPath()).c_str(), FALSE)) {
    throw std::runtime_error("cannot copy " + BuiltServerPath());
  }
  module_ = LoadLibraryW(ToWide(DllPath()).c_str());
  if (!module_) throw std::runtime_error("cannot load " + DllPath());
}

ServerModule::~ServerModule() {
  SetEnvironmentVariableW(L"QUORVANE_DATA_DIR",
                          previousDataDirectory_.empty() ? nullptr : ToWide(previousDataDirectory_).c_str());
  if (!module_ || CanUnloadNow() != S_OK) return;
  // A shell that loads the server without COM (LoadWithoutCOM) never frees it;
  // with no object alive its references are let go too, so the copy's directory
  // can be removed.
  for (int reference = 0; reference < 8 && GetModuleHandleW(ToWide(DllPath()).c_str()) == module_; ++reference) {
    FreeLibrary(module_);
  }
}

template <class Fn>
Fn ServerModule::Export(const char* name) const {
  auto function = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  if (!function) throw std::runtime_error(std::string("quorvane.dll does not export ") + name);
  return function;
}

HRESULT ServerModule::GetClassObject(REFCLSID classId, REFIID riid, void** ppv) const {
  return Export<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject")(classId, riid, ppv);
}

HRESULT ServerModule::CanUnloadNow() const { return Export<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow")(); }
HRESULT ServerModule::RegisterServer() const { return Export<HRESULT(STDAPICALLTYPE*)()>("DllRegisterServer")(); }
HRESULT ServerModule::UnregisterServer() const { return Export<HRESULT(STDAPICALLTYPE*)()>("DllUnregisterServer")(); }
HRESULT ServerModule::Install(bool install, const wchar_t* commandLine) const {
  return Export<HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR)>("DllInstall")(install, commandLine);
}
int ServerModule::IsRegistered() const { return Export<int(STDAPICALLTYPE*)()>("DllIsRegistered")(); }
int ServerModule::DebugTest() const { return Export<int(STDAPICALLTYPE*)()>("DllDebugTest")(); }

ComPtr<IShellFolder> ServerModule::CreateRootFolder() const {
  ComPtr<IClassFactory> factory;
  ThrowIfFailed(GetClassObject(kShellFolderClassId, IID_IClassFactory, factory.PutVoid()));
  ComPtr<IShellFolder> folder;
  ThrowIfFailed(factory->CreateInstance(nullptr, IID_IShellFolder, folder.PutVoid()));
  TestItemList root;
  root.Root();
  ThrowIfFailed(folder.As<IPersistFolder>()->Initialize(root.Get()));
  return folder;
}

}  // namespace qv::test
