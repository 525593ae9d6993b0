#pragma once
// What the list's columns say of one item, and the order they put items in.
// The view's list and the folder's details for the shell (IShellFolder2, and
// CompareIDs) both read them here, so the two never disagree.

#include <windows.h>
#include <shtypes.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "view/FileFacts.h"
#include "view/ListColumns.h"

namespace qv {

// A column's title (string table), alignment (LVCFMT_*) and default width in
// characters.
struct ColumnHeading {
  UINT title;
  int format;
  int widthCharacters;
};
ColumnHeading HeadingOf(ListColumn column);

// The file system's facts of a result's file, read when a column needs them.
using FactsSource = std::function<const FileFacts&()>;

// A FactsSource for one item that reads the file the first time it is asked
// (pass it as std::ref, so every copy shares what was read).
class FactsOnDemand {
 public:
  explicit FactsOnDemand(LPCITEMIDLIST item) : item_(item) {}
  const FileFacts& operator()();

 private:
  LPCITEMIDLIST item_;
  bool read_ = false;
  FileFacts facts_;
};

// What the columns read of an item: whether it is a result, its name, its
// detail text (see DetailText) and a result's rank. A row that holds a
// result's texts alone gives them without an identifier being made.
struct ItemFields {
  bool result = false;
  std::string_view name;
  std::string_view detail;
  std::uint32_t rank = 0;
};
// An item's fields, with the texts they point into.
class FieldsOfItem {
 public:
  explicit FieldsOfItem(LPCITEMIDLIST item);
  const ItemFields& Get() const { return fields_; }

 private:
  std::string name_;
  std::string detail_;
  ItemFields fields_;
};

// The text of a column of an item; empty where the column says nothing of it (a
// search folder's file columns, a missing file).
std::wstring ColumnText(const ItemFields& item, ListColumn column, const FactsSource& facts, FileTypeNames& types);
std::wstring ColumnText(LPCITEMIDLIST item, ListColumn column, const FactsSource& facts, FileTypeNames& types);
// Bytes whose order is the column's order of items of one kind.
std::string ColumnSortKey(const ItemFields& item, ListColumn column, const FactsSource& facts, FileTypeNames& types);
std::string ColumnSortKey(LPCITEMIDLIST item, ListColumn column, const FactsSource& facts, FileTypeNames& types);
// What orders items a column cannot tell apart: the name, then a result's path.
std::string TieKey(const ItemFields& item);
std::string TieKey(LPCITEMIDLIST item);
// Search folders before results whatever the direction, then the column's
// keys, then (on a tie) the tie keys, in the direction asked: negative, 0 or
// positive. The tie keys are asked for only when the column's keys tie.
int CompareColumnKeys(bool firstIsResult, const std::string& firstKey, bool secondIsResult,
                      const std::string& secondKey, const std::function<int()>& compareTieKeys,
                      bool ascending = true);
// Two items (single items of one folder) in the column's ascending order, as
// the list sorts them; 0 only for items of the same name and path.
int CompareByColumn(LPCITEMIDLIST first, LPCITEMIDLIST second, ListColumn column);

// The detail text of an item (UTF-8): a folder's query string or a result's
// exact path (empty when the item does not name its file exactly).
std::string DetailText(LPCITEMIDLIST item);

}  // namespace qv
