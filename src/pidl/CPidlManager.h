#pragma once
// Allocation, copying, joining, walking and comparing of item identifier lists.
// One instance per process; every list it hands out comes from the shell's
// allocator and is freed through Free (or by the shell, once handed over).

#include <windows.h>
#include <shlobj.h>
#include <msxml2.h>

#include <cstddef>

#include "module/ComBase.h"
#include "pidl/CFileIdListTable.h"
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

  // A new one-item list of the given kind holding only cb and kind (kind 0 and 1
  // items are zero-filled); null when the allocator fails.
  LPITEMIDLIST Create(std::int32_t kind);
  LPITEMIDLIST CreateFolderItem(IXMLDOMNode* node);
  LPITEMIDLIST CreateFolderItem(const SearchFolderRecord& record);
  LPITEMIDLIST CreateResultItem(const ResultRecord& record);
  // A result item from one result of the desktop search service (see
  // FillResultRecord); null when the allocator fails. Throws ComError when the
  // result's "uri" cannot be read.
  LPITEMIDLIST CreateResultItem(IDesktopSearchResult* result);

  // The shell's absolute ID list of a file (caller frees with Free), or null.
  LPITEMIDLIST ParseFilePath(const char* path);
  // Parses a file path and keeps its list in the module's table; the handle goes
  // into a result's fileIdList. 0 when the path cannot be parsed.
  std::uint32_t RegisterFilePath(const char* path);
  // The shell's ID list of a result item's file, owned by the table; null when
  // the path cannot be parsed. Items from other processes are parsed afresh.
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
  static std::size_t GetName(LPCITEMIDLIST item, char* buffer, std::size_t capacity);
  static std::size_t GetPath(LPCITEMIDLIST list, char* buffer, std::size_t capacity);
  static int Compare(LPCITEMIDLIST first, LPCITEMIDLIST second);
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
