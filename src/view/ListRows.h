#pragma once
// The rows of a folder's list, held by the list itself (the control is virtual:
// it asks for what it paints). Each row owns a copy of its child's identifier;
// the text a sort needs is made once per row and column, and what the file
// system says of a result is read when a row is shown or sorted on.

#include <windows.h>
#include <shtypes.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "view/FileFacts.h"
#include "view/ListColumns.h"

namespace qv {

class ListRows {
 public:
  ListRows() = default;
  ListRows(const ListRows&) = delete;
  ListRows& operator=(const ListRows&) = delete;

  void Clear();
  // Takes over `item` (freed with the row); results are ranked in the order
  // they are appended. Frees it and throws std::bad_alloc when it cannot.
  void Append(LPITEMIDLIST item);
  int Count() const { return static_cast<int>(rows_.size()); }
  // Drops a row and frees its identifier.
  void Remove(int index);
  // Gives a row another identifier (taken over, the old one freed): what was
  // read of the old item goes, the row keeps its rank. Frees `item` and throws
  // std::bad_alloc when it cannot.
  void Replace(int index, LPITEMIDLIST item);
  // The identifier a row holds, or null for an index out of range.
  LPCITEMIDLIST Item(int index) const;
  // The row whose identifier names the same item, or -1.
  int Find(LPCITEMIDLIST item) const;
  // A result's place in the service's answer (1 for the first), 0 for a folder.
  std::uint32_t Rank(int index) const;
  // The first row from `start` on (wrapping) whose name begins with `prefix`,
  // ignoring case, or -1.
  int FindByPrefix(const std::wstring& prefix, int start) const;

  // Search folders before results whatever the direction, then the column's
  // values, then name and path (the order CompareIDs gives); rows that still
  // compare equal keep their order.
  void Sort(ListColumn column, bool ascending);

  // The text of any column but the name; empty where a column says nothing
  // of the row (a search folder's file columns, a missing file).
  std::wstring Text(int index, ListColumn column);
  // The image index the folder gave the row, or -1 when not asked yet.
  int Image(int index) const;
  void SetImage(int index, int image);

  // The detail text of an item (UTF-8): a folder's query string or a result's
  // exact path (empty when the item does not name its file exactly).
  static std::string DetailText(LPCITEMIDLIST item);
  // Frees an item this list was to own and could not take.
  static void FreeItemNow(LPITEMIDLIST item) { FreeItem()(item); }

 private:
  struct FreeItem {
    void operator()(ITEMIDLIST* item) const;
  };
  struct Row {
    std::unique_ptr<ITEMIDLIST, FreeItem> item;
    std::uint32_t rank = 0;  // 1 for the service's first result; 0 for folders
    int image = -1;
    bool factsRead = false;
    FileFacts facts;
    std::string key;  // sort key of `keyColumn_`
    bool keyed = false;  // whether `key` is made
    // What orders rows the column ties on, made the first time it does.
    mutable std::string tieKey;
    mutable bool tieKeyed = false;
  };

  const FileFacts& Facts(Row& row);
  static const std::string& TieKeyOf(const Row& row);
  void MakeKeys(ListColumn column);

  std::vector<Row> rows_;
  std::uint32_t results_ = 0;
  int keyColumn_ = -1;
  FileTypeNames types_;
};

}  // namespace qv
