#include "service/ExclusionList.h"

#include <windows.h>

#include "service/PathText.h"
#include "service/ServiceDatabase.h"
#include "service/query/QueryCompiler.h"

namespace qv::service {
namespace {

bool HasWildcard(const std::wstring& text) { return text.find_first_of(L"*?") != std::wstring::npos; }

std::wstring Trimmed(const std::wstring& text) {
  std::size_t first = text.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return {};
  std::size_t last = text.find_last_not_of(L" \t");
  return text.substr(first, last - first + 1);
}

// The entry as it is kept: a folder by its full path, a pattern as given.
std::wstring StoredForm(const std::wstring& pathOrPattern) {
  std::wstring text = Trimmed(pathOrPattern);
  if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') text = Trimmed(text.substr(1, text.size() - 2));
  return IsFolderExclusion(text) ? NormalizeFolderPath(text) : text;
}

std::wstring UserTempFolder() {
  // GetTempPathW answers at most MAX_PATH + 1 characters, the backslash included.
  wchar_t path[MAX_PATH + 2] = {};
  DWORD length = GetTempPathW(MAX_PATH + 2, path);
  if (length == 0 || length > MAX_PATH + 1) return {};
  // The variable may name it by its short (8.3) name, and its long name may be
  // longer than MAX_PATH; passes see the long one.
  std::wstring longPath(MAX_PATH + 1, L'\0');
  DWORD longLength = GetLongPathNameW(path, longPath.data(), static_cast<DWORD>(longPath.size()));
  if (longLength >= longPath.size()) {
    longPath.resize(longLength);
    longLength = GetLongPathNameW(path, longPath.data(), static_cast<DWORD>(longPath.size()));
  }
  if (longLength > 0 && longLength < longPath.size()) return NormalizeFolderPath(longPath.substr(0, longLength));
  return NormalizeFolderPath(std::wstring(path, length));
}

}  // namespace

std::wstring ExcludeRefusal(ExcludeResult result, const std::wstring& given) {
  switch (result) {
    case ExcludeResult::NotAFolder: return L"Not a folder: " + given;
    case ExcludeResult::ExcludesEverything: return L"That pattern would leave out every file: " + given;
    default: return {};
  }
}

bool IsFolderExclusion(const std::wstring& text) { return text.find_first_of(L"\\/:") != std::wstring::npos; }

ExclusionList::ExclusionList() : db_(OpenServiceDatabase()) {}

std::vector<std::wstring> ExclusionList::All() {
  std::vector<std::wstring> entries;
  // Folders first, then patterns, each alphabetically.
  SqliteStatement select = db_->Prepare(
      "SELECT entry FROM exclusions ORDER BY (instr(entry, '\\') + instr(entry, ':') + instr(entry, '/')) = 0, entry");
  while (select.Step()) entries.push_back(select.Text(0));
  return entries;
}

ExcludeResult ExclusionList::Add(const std::wstring& pathOrPattern, std::wstring* stored) {
  std::wstring entry = StoredForm(pathOrPattern);
  if (stored) *stored = entry;
  if (IsFolderExclusion(Trimmed(pathOrPattern))) {
    DWORD attributes = entry.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(ForFileApi(entry).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return ExcludeResult::NotAFolder;
    }
  } else if (entry.find_first_not_of(L"*") == std::wstring::npos || MatchesNamePattern(L"x", entry) ||
             MatchesNamePattern(L"a.b", entry)) {
    // "*", "?*", "*.*" and the like would leave out every file.
    return ExcludeResult::ExcludesEverything;
  }
  db_->Prepare("INSERT OR IGNORE INTO exclusions(entry) VALUES(?1)").Bind(1, entry).Run();
  return db_->ScalarInteger("SELECT changes()") > 0 ? ExcludeResult::Added : ExcludeResult::AlreadyExcluded;
}

bool ExclusionList::Remove(const std::wstring& pathOrPattern) {
  std::wstring entry = StoredForm(pathOrPattern);
  db_->Prepare("DELETE FROM exclusions WHERE entry = ?1").Bind(1, entry).Run();
  return db_->ScalarInteger("SELECT changes()") > 0;
}

void AddDefaultExclusions(SqliteDatabase& serviceDb) {
  std::vector<std::wstring> defaults = {L"$Recycle.Bin", L"System Volume Information", L".git", L".svn", L".hg",
                                        L"node_modules"};
  std::wstring temp = UserTempFolder();
  if (!temp.empty()) defaults.push_back(temp);
  SqliteStatement insert = serviceDb.Prepare("INSERT OR IGNORE INTO exclusions(entry) VALUES(?1)");
  for (const std::wstring& entry : defaults) insert.Bind(1, entry).Run();
}

ExclusionRules::ExclusionRules(const std::vector<std::wstring>& entries) {
  for (const std::wstring& entry : entries) {
    std::wstring folded = FoldPathCase(entry);
    if (IsFolderExclusion(entry)) {
      folders_.insert(folded);
    } else if (HasWildcard(entry)) {
      patterns_.push_back(folded);
    } else {
      names_.insert(folded);
    }
  }
}

ExclusionRules ExclusionRules::Load() {
  try {
    return ExclusionRules(ExclusionList().All());
  } catch (const SqliteError&) {
    return {};
  }
}

bool ExclusionRules::Excludes(const std::wstring& folder, const std::wstring& name) const {
  if (Empty()) return false;
  std::wstring folded = FoldPathCase(name);
  if (names_.count(folded)) return true;
  for (const std::wstring& pattern : patterns_) {
    if (MatchesNamePattern(folded, pattern)) return true;
  }
  return !folders_.empty() && folders_.count(FoldPathCase(SubtreePrefix(folder) + name)) > 0;
}

bool ExclusionRules::ExcludesUnder(const std::wstring& root, const std::wstring& path) const {
  if (Empty() || !IsInsideFolder(path, root)) return false;
  std::wstring prefix = SubtreePrefix(root);
  if (path.size() <= prefix.size()) return false;
  std::wstring folder = root;
  std::size_t start = prefix.size();
  while (start < path.size()) {
    std::size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    std::wstring name = path.substr(start, end - start);
    if (!name.empty() && Excludes(folder, name)) return true;
    folder = SubtreePrefix(folder) + name;
    start = end + 1;
  }
  return false;
}

}  // namespace qv::service
