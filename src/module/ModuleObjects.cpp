#include "module/ModuleObjects.h"

#include <memory>

#include "folders/CFolderStore.h"
#include "module/ModulePaths.h"
#include "module/Text.h"
#include "pidl/CPidlManager.h"

namespace qv {
namespace {

std::string g_dataDirectory;
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

bool CreateModuleObjects(const std::string& dataDirectory) {
  DestroyModuleObjects();
  g_dataDirectory = dataDirectory;
  if (g_dataDirectory.empty()) {
    g_dataDirectory = ToUtf8(ModuleDirectory());
  } else if (g_dataDirectory.back() != '\\') {
    g_dataDirectory += '\\';
  }
  std::wstring document = g_dataDirectory.empty() ? std::wstring() : ToWide(g_dataDirectory + kDocumentFileName);
  g_folderStore = TryCreate<CFolderStore>(document);
  g_pidlManager = TryCreate<CPidlManager>();
  return g_folderStore && g_pidlManager;
}

void DestroyModuleObjects() {
  g_folderStore.reset();
  g_pidlManager.reset();
  g_dataDirectory.clear();
}

std::string DataDirectory() {
  if (!g_dataDirectory.empty()) return g_dataDirectory;
  return ToUtf8(ModuleDirectory());
}

CFolderStore* TheFolderStore() { return g_folderStore.get(); }
CPidlManager* ThePidlManager() { return g_pidlManager.get(); }

}  // namespace qv
