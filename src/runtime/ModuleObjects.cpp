#include "runtime/ModuleObjects.h"

#include <memory>

#include "folders/CFolderStore.h"
#include "common/ModulePaths.h"
#include "common/Text.h"
#include "folders/UserPaths.h"
#include "pidl/CPidlManager.h"

namespace qv {
namespace {

std::wstring g_dataDirectory;
std::unique_ptr<CFolderStore> g_folderStore;
std::unique_ptr<CPidlManager> g_pidlManager;

template <class T, class... Args>
std::unique_ptr<T> TryCreate(Args&&... args) {
  try {
    return std::make_unique<T>(std::forward<Args>(args)...);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

bool CreateModuleObjects(const std::wstring& dataDirectory) {
  DestroyModuleObjects();
  g_dataDirectory = dataDirectory;
  if (g_dataDirectory.empty()) {
    // Each user's own folders; the module directory may be read-only (an
    // all-users install) and is never written.
    g_dataDirectory = UserDataDirectory();
    SeedUserDocument(g_dataDirectory, ModuleDirectoryPath());
  } else if (g_dataDirectory.back() != L'\\') {
    g_dataDirectory += L'\\';
  }
  std::wstring document = g_dataDirectory.empty() ? std::wstring() : g_dataDirectory + kDocumentFileNameW;
  g_folderStore = TryCreate<CFolderStore>(document);
  g_pidlManager = TryCreate<CPidlManager>();
  return g_folderStore && g_pidlManager;
}

void DestroyModuleObjects() {
  g_folderStore.reset();
  g_pidlManager.reset();
  g_dataDirectory.clear();
}

std::wstring DataDirectory() {
  if (!g_dataDirectory.empty()) return g_dataDirectory;
  return UserDataDirectory();
}

ScopedModuleObjects::ScopedModuleObjects(const std::string& dataDirectory) {
  CreateModuleObjects(ToWide(dataDirectory.c_str()));
}

CFolderStore* TheFolderStore() { return g_folderStore.get(); }
CPidlManager* ThePidlManager() { return g_pidlManager.get(); }

}  // namespace qv
