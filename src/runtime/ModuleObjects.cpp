#include "runtime/ModuleObjects.h"

#include <memory>

#include "folders/CFolderStore.h"
#include "common/ModulePaths.h"
#include "common/Text.h"
#include "folders/UserPaths.h"
#include "pidl/CPidlManager.h"
#include "search/ResultCache.h"

namespace qv {
namespace {

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
  std::wstring directory = dataDirectory;
  if (directory.empty()) {
    // Each user's own folders; the module directory may be read-only (an
    // all-users install) and is never written.
    directory = UserDataDirectory();
    SeedUserDocument(directory, ModuleDirectoryPath());
  } else if (directory.back() != L'\\') {
    directory += L'\\';
  }
  SetDataDirectory(directory);
  std::wstring document = directory.empty() ? std::wstring() : directory + kDocumentFileNameW;
  g_folderStore = TryCreate<CFolderStore>(document);
  g_pidlManager = TryCreate<CPidlManager>();
  return g_folderStore && g_pidlManager;
}

void DestroyModuleObjects() {
  // Results kept for re-opened folders belong to the folders of this store.
  resultcache::Clear();
  g_folderStore.reset();
  g_pidlManager.reset();
  SetDataDirectory({});
}

ScopedModuleObjects::ScopedModuleObjects(const std::string& dataDirectory) {
  CreateModuleObjects(ToWide(dataDirectory.c_str()));
}

CFolderStore* TheFolderStore() { return g_folderStore.get(); }
CPidlManager* ThePidlManager() { return g_pidlManager.get(); }

}  // namespace qv
