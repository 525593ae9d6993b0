#include "view/ListColumns.h"

#include <windows.h>

#include <sstream>

#include "common/Text.h"

namespace qv {
namespace {

constexpr const char* kColumnKeys[kListColumnCount] = {"name", "details", "modified", "type", "size", "rank"};

// The stored text is UTF-8; the known words are ASCII, matched in any case.
bool SameWord(const std::string& first, const char* second) {
  return CompareStringOrdinal(ToWide(first).c_str(), -1, ToWide(second).c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

std::string SortOrderText(const SortOrder& order) {
  return std::string(kColumnKeys[static_cast<int>(order.column)]) + (order.ascending ? " ascending" : " descending");
}

bool ParseSortOrder(const std::string& text, SortOrder& order) {
  std::istringstream words(text);
  std::string key, direction, extra;
  if (!(words >> key)) return false;
  words >> direction;
  if (words >> extra) return false;
  for (int column = 0; column < kListColumnCount; ++column) {
    if (!SameWord(key, kColumnKeys[column])) continue;
    if (direction.empty() || SameWord(direction, "ascending")) {
      order = {static_cast<ListColumn>(column), true};
      return true;
    }
    if (SameWord(direction, "descending")) {
      order = {static_cast<ListColumn>(column), false};
      return true;
    }
    return false;
  }
  return false;
}

}  // namespace qv
