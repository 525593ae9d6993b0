#pragma once
// The icons of the component's items: a small and a large image list that start
// with the shell's document and folder icons and take one more icon per file
// type, and per file for the types whose files carry icons of their own
// (programs, shortcuts, icon files), on first use. One cache serves every folder
// object of the process (as the shell's own image list does), so a folder opened
// again finds its icons made; the view shows the two lists and uses the indexes
// directly. Safe to use from any thread.

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <unordered_map>

#include "common/Holders.h"

namespace qv {

class CIconCache {
 public:
  // Fixed positions of the base icons in both lists.
  static constexpr int kDocumentIndex = 0;
  static constexpr int kClosedFolderIndex = 1;
  static constexpr int kOpenFolderIndex = 2;
  static constexpr int kResultWithoutRecordIndex = 3;
  // Files with icons of their own beyond this many share the generic document
  // icon, so a cache that lives long does not grow without end.
  static constexpr std::size_t kMaxPaths = 4096;

  CIconCache();
  CIconCache(const CIconCache&) = delete;
  CIconCache& operator=(const CIconCache&) = delete;
  virtual ~CIconCache();

  // The image-list index of a file's icon (a UTF-8 path of any length); the
  // shell is asked once per type, or once per path (letter case aside) for files
  // with icons of their own. -1 when the image lists refused the icon.
  int IndexFor(const char* path);

  // New icons that the caller destroys; null for an index the lists do not hold.
  HICON GetLargeIcon(int index) const;
  HICON GetSmallIcon(int index) const;

  // The lists themselves, still owned by the cache; null when one could not be made.
  HIMAGELIST GetLargeImageList() const { return large_.Get(); }
  HIMAGELIST GetSmallImageList() const { return small_.Get(); }

 private:
  int AddIcons(const char* path);

  SRWLOCK lock_ = SRWLOCK_INIT;
  ImageListHandle large_;
  ImageListHandle small_;
  std::unordered_map<std::wstring, int> pathIndexes_;  // case-folded path -> index (own icons)
  std::unordered_map<std::wstring, int> typeIndexes_;  // case-folded extension -> index
};

// The process's cache, made on first use. Released by ReleaseSharedIconCache once
// nothing of the component is alive (a reference taken before must not be used after).
CIconCache& SharedIconCache();
void ReleaseSharedIconCache();

// The icon for a file path (UTF-8) at 16 (small) or 32 pixels: an .ico file's own icon,
// else the shell's icon for its type (for the file itself where files of the type
// carry icons of their own: programs, shortcuts), else the generic document icon.
IconHandle IconForPath(const char* path, bool small);

// Where the shell keeps the (open) folder icon, as an icon file and an index in
// it (negative: a resource ID), for hosts that cache icons by location. False
// when the location does not fit `capacity` characters.
bool FolderIconLocation(bool open, wchar_t* file, UINT capacity, int* index);

// Icon `index` of the system icon library at 16 (small) or 32 pixels; a negative
// index names the icon by its resource ID.
IconHandle ExtractShellIcon(int index, bool small);

}  // namespace qv
