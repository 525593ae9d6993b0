#pragma once
// What the indexer leaves out under its roots: folders (with everything under
// them) and name patterns (`node_modules`, `*.tmp`: `*` any run, `?` one
// character) matched against the names of files and folders anywhere under a
// root. A root itself is never excluded: a folder the user chose to index is
// indexed even when an exclusion covers where it lies. New data folders start
// with a short default list the user sees in "quorvane-index list" and may
// remove like any other.

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "service/SqliteDatabase.h"

namespace qv::service {

// True when the text names a folder (it holds a path separator or a drive
// colon); otherwise it is a name pattern.
bool IsFolderExclusion(const std::wstring& text);

enum class ExcludeResult { Added, AlreadyExcluded, NotAFolder, ExcludesEverything };

// What to tell the user when an exclusion was refused; empty when it was not.
std::wstring ExcludeRefusal(ExcludeResult result, const std::wstring& given);

class ExclusionList {
 public:
  ExclusionList();

  // As stored: folders as full paths, patterns as given.
  std::vector<std::wstring> All();
  // `stored` receives the entry as it was kept (a folder's full path).
  ExcludeResult Add(const std::wstring& pathOrPattern, std::wstring* stored = nullptr);
  bool Remove(const std::wstring& pathOrPattern);

 private:
  std::unique_ptr<SqliteDatabase> db_;
};

// The defaults of a new data folder: the recycle bin, System Volume
// Information, version-control folders, node_modules and the user's temporary
// folder.
void AddDefaultExclusions(SqliteDatabase& serviceDb);

// The exclusions as a pass or the watcher applies them, read once.
class ExclusionRules {
 public:
  ExclusionRules() = default;
  explicit ExclusionRules(const std::vector<std::wstring>& entries);
  // The rules stored now; none when they cannot be read.
  static ExclusionRules Load();

  bool Empty() const { return names_.empty() && patterns_.empty() && folders_.empty(); }
  // A file or folder of this name, directly inside `folder`, is left out.
  bool Excludes(const std::wstring& folder, const std::wstring& name) const;
  // Something between the root and `path` (its own name included) is left out.
  bool ExcludesUnder(const std::wstring& root, const std::wstring& path) const;
  bool operator==(const ExclusionRules& other) const {
    return names_ == other.names_ && patterns_ == other.patterns_ && folders_ == other.folders_;
  }

 private:
  std::set<std::wstring> names_;        // folded names without wildcards
  std::vector<std::wstring> patterns_;  // folded patterns with wildcards
  std::set<std::wstring> folders_;      // folded full paths
};

}  // namespace qv::service
