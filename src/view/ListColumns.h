#pragma once
// The columns of the list: "Name" and "Details" for every row, then what a file
// manager shows of a file, left empty for search folders.

#include <string>

namespace qv {

enum class ListColumn : int { Name = 0, Details = 1, Modified = 2, Type = 3, Size = 4, Rank = 5 };
constexpr int kListColumnCount = 6;

// The column of a header index; false when the index names no column.
inline bool ToListColumn(int index, ListColumn& column) {
  if (index < 0 || index >= kListColumnCount) return false;
  column = static_cast<ListColumn>(index);
  return true;
}

// A folder's kept sort, as the folder definition document stores it ("modified
// descending"); empty text for a folder the user never sorted.
struct SortOrder {
  ListColumn column = ListColumn::Name;
  bool ascending = true;
};
std::string SortOrderText(const SortOrder& order);
// False for empty or unknown text, which sorts as a folder never sorted.
bool ParseSortOrder(const std::string& text, SortOrder& order);

}  // namespace qv
