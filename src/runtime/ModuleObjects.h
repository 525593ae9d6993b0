#pragma once
// The module-wide objects: created in order when the module is attached to a
// process, destroyed when it is detached. Each has one accessor.

#include <string>

#include "folders/UserPaths.h"

namespace qv {

class CFolderStore;
class CPidlManager;

// Creates the folder store (reading quorvane.xml from dataDirectory, or from the
// user's data directory when it is empty, seeded from the module directory on
// first use) and the ID list manager. False when either cannot be created;
// whatever was created stays usable.
bool CreateModuleObjects(const std::wstring& dataDirectory = {});
void DestroyModuleObjects();

// Null outside the life of the module objects.
CFolderStore* TheFolderStore();
CPidlManager* ThePidlManager();

// For tests: module objects whose data directory is the given one, for the
// holder's lifetime.
class ScopedModuleObjects {
 public:
  explicit ScopedModuleObjects(const std::wstring& dataDirectory) { CreateModuleObjects(dataDirectory); }
  explicit ScopedModuleObjects(const std::string& dataDirectory);
  ScopedModuleObjects(const ScopedModuleObjects&) = delete;
  ScopedModuleObjects& operator=(const ScopedModuleObjects&) = delete;
  ~ScopedModuleObjects() { DestroyModuleObjects(); }
};

}  // namespace qv
