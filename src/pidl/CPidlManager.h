#pragma once
// Allocation, copying, joining, walking and comparing of item identifier lists.
// One instance per process; every list it hands out comes from the shell's
// allocator and is freed through Free (or by the shell, once handed over).

#include <windows.h>
#include <shlobj.h>

#include <cstddef>
#include <string>

#include "common/ComBase.h"
#include "pidl/CFileIdListTable.h"
#include "pidl/FolderSettings.h"
#include "pidl/ItemIdentifier.h"

struct IDesktopSearchResult;

namespace qv {

// What an item of a list is, read without going past its size field.
enum class ItemKind {
  None,     // no item (null, or the terminator)
  Folder,   // a search folder identifier
  Result,   // a search result identifier
  Foreign,  // anything else: the shell's own item for the namespace root, or an
            // item whose kind says 0 or 1 but whose size is not ours
};

class CPidlManager {
 public:
  // Obtains the shell's allocator, then the desktop folder; throws ComError when
  // either is unavailable.
  CPidlManager();
  CPidlManager(const CPidlManager&) = delete;
  CPidlManager& operator=(const CPidlManager&) = delete;
  virtual ~CPidlManager();

  // A new one-item list of the given kind holding only the base record's cb and
  // kind (zero-filled); null when the allocator fails. Items made this way have
  // the older layout; the Create*Item functions write the current one.
  LPITEMIDLIST Create(std::int32_t kind);
  // Null when the allocator fails or the texts do not fit one item.
  LPITEMIDLIST CreateFolderItem(const FolderSettings& settings);
  LPITEMIDLIST CreateResultItem(const std::string& name, const std::string& path, std::uint32_t fileIdList);
  // A result item from one result of the desktop search service (see
  // FillResultRecord); null when the allocator fails or the path is too long for
  // an item. Throws ComError when the result's "uri" cannot be read.
  LPITEMIDLIST CreateResultItem(IDesktopSearchResult* result);

  // The shell's absolute ID list of a file (caller frees with Free), or null.
  // The path is used exactly as given: one that has no file is not parsed.
  LPITEMIDLIST ParseFilePath(const std::string& path);
  // Parses a file path and keeps its list in the module's table; the handle goes
  // into a result's fileIdList. 0 when the path cannot be parsed.
  std::uint32_t RegisterFilePath(const std::string& path);
  // The shell's ID list of a result item's exact file, owned by the table; null
  // when the item names no file exactly or the file cannot be parsed any more.
  // Items from other processes are parsed afresh.
  LPCITEMIDLIST GetFileIdList(LPCITEMIDLIST item);

  LPITEMIDLIST Copy(LPCITEMIDLIST list);
  LPITEMIDLIST Concat(LPCITEMIDLIST first, LPCITEMIDLIST second);
  void Free(LPITEMIDLIST list);

  static ItemKind KindOf(LPCITEMIDLIST item);
  static LPCITEMIDLIST GetNextItem(LPCITEMIDLIST item);
  static LPCITEMIDLIST GetLastItem(LPCITEMIDLIST list);
  static std::size_t GetSize(LPCITEMIDLIST list);
  // The record of one of the component's own items; null for a missing or
  // foreign item, so no caller reads past an item's cb.
  static const ItemRecord* GetItemRecord(LPCITEMIDLIST item);
  static const SearchFolderRecord* GetFolderRecord(LPCITEMIDLIST item);
  static const ResultRecord* GetResultRecord(LPCITEMIDLIST item);
  // The item's extension, or null for an item of the older layout (or none).
  static const ItemExtensionHeader* GetExtension(LPCITEMIDLIST item);

  // The full UTF-8 name of a folder or result item ("" for any other item).
  static std::string ItemName(LPCITEMIDLIST item);
  // A folder item's settings; false for any other item.
  static bool ReadFolderSettings(LPCITEMIDLIST item, FolderSettings& settings);
  // The exact full path of a result item's file; empty when the item does not
  // name one file exactly (not a result, or an older item whose ANSI copy of the
  // path may have lost characters or been cut).
  static std::string ResultPath(LPCITEMIDLIST item);
  // A result item's place in its folder's results (1 for the first), 0 when the
  // item does not hold one; SetResultRank writes it (up to kMaxItemRank).
  static std::uint32_t ResultRank(LPCITEMIDLIST item);
  static void SetResultRank(LPITEMIDLIST item, std::uint32_t rank);
  // The component's own path of a list's folders ("quorvane\A\B"), up to a result.
  static std::string DisplayPath(LPCITEMIDLIST list);
  // UTF-8 copies into buffers, cut at the buffer.
  static std::size_t GetName(LPCITEMIDLIST item, char* buffer, std::size_t capacity);
  static std::size_t GetPath(LPCITEMIDLIST list, char* buffer, std::size_t capacity);
  // Orders two names as the file system would, letter case aside; names equal
  // but for case are still ordered (never 0 unless identical).
  static int CompareNames(const std::string& first, const std::string& second);
  static int Compare(LPCITEMIDLIST first, LPCITEMIDLIST second);
  // The first items of two lists alone, in Compare's order: 0 when they name
  // one item.
  static int CompareItems(LPCITEMIDLIST first, LPCITEMIDLIST second);
  static bool IsSameItem(LPCITEMIDLIST first, LPCITEMIDLIST second);
  static bool IsResultItem(LPCITEMIDLIST item);

  IMalloc* Allocator() const { return allocator_.Get(); }
  IShellFolder* Desktop() const { return desktop_.Get(); }

 private:
  LPITEMIDLIST Allocate(std::size_t size);

  ComPtr<IMalloc> allocator_;
  ComPtr<IShellFolder> desktop_;
  CFileIdListTable fileIdLists_;
};

}  // namespace qv
