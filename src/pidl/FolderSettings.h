#pragma once
// A search folder's stored settings as the component works with them: full
// UTF-8 text, no fixed sizes.

#include <cstdint>
#include <string>

#include "pidl/ItemIdentifier.h"

namespace qv {

// The longest folder name, in characters.
constexpr std::size_t kMaxFolderNameCharacters = kNameSize - 1;
// The longest search string, in characters.
constexpr std::size_t kMaxQueryCharacters = kQuerySize - 1;

struct FolderSettings {
  std::string name;
  std::string query;
  std::string category;
  std::int32_t rankByRecency = 0;
  std::int32_t maxResults = kDefaultMaxResults;
  std::int32_t style = kDefaultStyle;
  // The column and direction the user last sorted the folder's list by, as
  // stored ("rank descending"); kept by the document only, never in an item.
  std::string sort;

  bool operator==(const FolderSettings&) const = default;
};

}  // namespace qv
