// FolderOperations: narrowing a folder's search string to one file type, hiding a
// type, splitting a type into its own sub-folder and clearing a search string.

#include <cstring>
#include <functional>
#include <optional>
#include <string>

#include "common/Text.h"
#include "folders/CFolderStore.h"
#include "operations/FileTypeFilter.h"
#include "operations/FolderOperations.h"
#include "pidl/CPidlManager.h"
#include "runtime/ModuleUse.h"

namespace qv {
namespace {

// The text a file-type rewrite starts from: the search string, or the folder's
// name when the string is empty.
std::string BaseQueryOf(const FolderSettings& record) { return record.query.empty() ? record.name : record.query; }

bool IsUsableExtension(const char* extension) {
  return extension && *extension && !std::strpbrk(extension, "\\/ ");
}

// A settings change that rewrites the search string; refused when the rewrite
// would not fit.
using QueryRewrite = std::optional<std::string> (*)(const std::string&, const std::string&);

std::function<bool(FolderSettings&)> RewriteWith(QueryRewrite rewrite, const char* extension) {
  return [rewrite, extension](FolderSettings& record) {
    std::optional<std::string> query = rewrite(BaseQueryOf(record), extension);
    if (query) record.query = *query;
    return query.has_value();
  };
}

}  // namespace

bool FolderOperations::ShowOnlyFileType(const char* extension) {
  return IsUsableExtension(extension) && ChangeStoredSettings(absolute_.Get(), RewriteWith(ShowOnlyQuery, extension), true);
}

bool FolderOperations::HideFileType(const char* extension) {
  return IsUsableExtension(extension) && ChangeStoredSettings(absolute_.Get(), RewriteWith(HideQuery, extension), true);
}

bool FolderOperations::MoveFileTypeToFolder(const char* extension) {
  if (!IsUsableExtension(extension)) return false;
  try {
    ComPtr<IXMLDOMNode> node = store_->FindFolderNode(absolute_.Get());
    if (!node || !absolute_.IsFolder()) return false;
    FolderSettings record = CFolderStore::ReadFolderSettings(node.Get());
    std::string base = BaseQueryOf(record);
    std::optional<std::string> query = ShowOnlyQuery(base, extension);
    // The caller hides the type here next; a split whose second half cannot be
    // stored would show the files twice, so both must fit.
    if (!query || !HideQuery(base, extension)) return false;
    // A folder per use: a second split of the type takes "pdf files (1)".
    return AddAndAnnounceFolder(FileTypeFolderName(extension), query->c_str(), true).Get() != nullptr;
  } catch (...) {
    return false;
  }
}

void FolderOperations::ClearSearchString(LPCITEMIDLIST item) {
  auto clear = [](FolderSettings& record) {
    record.query.clear();
    return true;
  };
  if (!item) {
    ChangeStoredSettings(absolute_.Get(), clear, true);
    return;
  }
  try {
    if (CPidlManager::KindOf(item) != ItemKind::Folder) return;
    ChangeStoredSettings(AbsoluteListOf(item).Get(), clear, true);
  } catch (...) {
  }
}

}  // namespace qv
