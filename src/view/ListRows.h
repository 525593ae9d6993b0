#pragma once
// The rows of a folder's list, held by the list itself (the control is virtual:
// it asks for what it paints). A row owns its child's identifier, or for a
// result of a search its name and path alone, its identifier made the first
// time something asks for it (a folder of 100,000 results holds their texts,
// not 100,000 identifiers); the text a sort needs is made once per row and
// column, and what the file system says of a result is read when a row is
// shown or sorted on.

#include <windows.h>
#include <shtypes.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "view/FileFacts.h"
#include "view/ItemColumns.h"
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
  // Appends a result of the folder's search by its texts, as a result item of
  // that name and path (made when asked for). Throws std::bad_alloc when it
  // cannot; false for texts no item can hold.
  bool AppendResult(std::string_view name, std::string_view path);
  int Count() const { return static_cast<int>(rows_.size()); }
  // Drops a row and frees its identifier.
  void Remove(int index);
  // Gives a row another identifier (taken over, the old one freed): what was
  // read of the old item goes, the row keeps its rank. Frees `item` and throws
  // std::bad_alloc when it cannot.
  void Replace(int index, LPITEMIDLIST item);
  // The identifier a row holds (made now for a row of texts, and then kept
  // with the row), or null for an index out of range or when it cannot be made.
  LPCITEMIDLIST Item(int index) const;
  // A result's name and exact path (empty for a folder, and for a result item
  // that does not name its file exactly), without making its identifier.
  std::string_view ResultName(int index) const;
  std::string_view ResultPath(int index) const;
  // The row whose identifier names the same item, or -1.
  int Find(LPCITEMIDLIST item) const;
  // A result's place in the service's answer (1 for the first), 0 for a folder.
  std::uint32_t Rank(int index) const;
  // The first row from `start` on (wrapping) whose name begins with `prefix`,
  // ignoring case, or -1.
  int FindByPrefix(const std::wstring& prefix, int start) const;

  // Search folders before results whatever the direction, then the column's
  // values, then name and path (the order CompareIDs gives); rows that still
  // compare equal keep their order. `placeOf`, when given, receives for each
  // row's old index its new one.
  void Sort(ListColumn column, bool ascending, std::vector<int>* placeOf = nullptr);
  // Makes the sort keys of the column that rows lack, ahead of the next sort.
  void MakeKeys(ListColumn column);

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
    // A result's name, then its path, each ending in a NUL: the row's texts
    // until its identifier is made (null for a row made from an identifier).
    std::unique_ptr<char[]> texts;
    std::uint32_t nameBytes = 0;
    std::uint32_t pathBytes = 0;
    mutable std::unique_ptr<ITEMIDLIST, FreeItem> item;
    std::uint32_t rank = 0;  // 1 for the service's first result; 0 for folders
    int image = -1;
    bool factsRead = false;
    bool keyed = false;  // whether `key` is made
    std::uint32_t place = 0;  // the row's index before a sort
    FileFacts facts;
    std::string key;  // sort key of `keyColumn_`
    // What orders rows the column ties on, made the first time it does.
    mutable std::unique_ptr<std::string> tieKey;
  };

  // The fields the columns read of a row; `texts` holds what they point into
  // for a row of an identifier.
  static ItemFields FieldsOf(const Row& row, std::unique_ptr<FieldsOfItem>& texts);
  static LPCITEMIDLIST ItemOf(const Row& row);
  const FileFacts& Facts(Row& row);
  static const std::string& TieKeyOf(const Row& row);

  std::vector<Row> rows_;
  std::uint32_t results_ = 0;
  int keyColumn_ = -1;
  // The leading rows in the order of the last sort (by keyColumn_, in
  // sortedAscending_ direction): rows appended since are merged in.
  std::size_t sortedRows_ = 0;
  bool sortedAscending_ = true;
  FileTypeNames types_;
};

}  // namespace qv
