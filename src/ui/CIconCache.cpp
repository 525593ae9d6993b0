#include "ui/CIconCache.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cstring>
#include <memory>

#include "common/Text.h"

namespace qv {
namespace {

constexpr int kSmallSize = 16;
constexpr int kLargeSize = 32;
constexpr wchar_t kShellIconLibrary[] = L"SHELL32.DLL";

// The system icon library's document, folder and open folder icons, named by
// resource ID (a negative "index"): the position of an icon in the library
// differs between builds of it, its ID does not.
constexpr int kDocumentIcon = -2;
constexpr int kFolderIcon = -4;
constexpr int kOpenFolderIcon = -5;

// The icons of the base positions: the shell's own stock icons, or where the
// shell cannot give one (it may answer without an icon), the library's.
struct BaseIcon {
  SHSTOCKICONID stock;
  int libraryIcon;
};
constexpr BaseIcon kBaseIcons[] = {{SIID_DOCNOASSOC, kDocumentIcon},
                                   {SIID_FOLDER, kFolderIcon},
                                   {SIID_FOLDEROPEN, kOpenFolderIcon},
                                   {SIID_DOCNOASSOC, kDocumentIcon}};

// Types whose files carry icons of their own; every other file shows its type's.
constexpr const wchar_t* kOwnIconTypes[] = {L".exe", L".lnk", L".ico", L".cur", L".ani", L".scr", L".cpl", L".url"};

bool HasOwnIcon(const std::wstring& path) {
  const wchar_t* extension = PathFindExtensionW(path.c_str());
  for (const wchar_t* type : kOwnIconTypes)
    if (lstrcmpiW(extension, type) == 0) return true;
  return false;
}

IconHandle StockIcon(SHSTOCKICONID id, bool small) {
  SHSTOCKICONINFO info = {};
  info.cbSize = sizeof info;
  if (FAILED(SHGetStockIconInfo(id, SHGSI_ICON | (small ? SHGSI_SMALLICON : SHGSI_LARGEICON), &info))) return {};
  return IconHandle(info.hIcon);
}

HIMAGELIST CreateList(int size) { return ImageList_Create(size, size, ILC_MASK | ILC_COLOR32, 20, 5); }

// Appends the base icons. When the library cannot give one, a stock icon stands
// in, so the fixed positions always hold.
void AddBaseIcons(HIMAGELIST list, bool small) {
  if (!list) return;
  for (const BaseIcon& base : kBaseIcons) {
    IconHandle icon = StockIcon(base.stock, small);
    if (!icon) icon = ExtractShellIcon(base.libraryIcon, small);
    ImageList_ReplaceIcon(list, -1, icon ? icon.Get() : LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION)));
  }
}

// The file system's view of letter case: the same file whatever the case.
std::wstring CaseFolded(std::wstring text) {
  if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

HICON IconFromShell(const std::wstring& path, DWORD attributes, UINT flags) {
  SHFILEINFOW info = {};
  if (!SHGetFileInfoW(path.c_str(), attributes, &info, sizeof info, flags)) return nullptr;
  return info.hIcon;
}

}  // namespace

IconHandle ExtractShellIcon(int index, bool small) {
  HICON icon = nullptr;
  if (small) {
    ExtractIconExW(kShellIconLibrary, index, nullptr, &icon, 1);
  } else {
    ExtractIconExW(kShellIconLibrary, index, &icon, nullptr, 1);
  }
  return IconHandle(icon);
}

namespace {

struct IconLocation {
  std::wstring file;
  int index = 0;
};

bool Loads(const IconLocation& location) {
  HICON icon = nullptr;
  if (location.file.empty()) return false;
  ExtractIconExW(location.file.c_str(), location.index, nullptr, &icon, 1);
  return IconHandle(icon).Get() != nullptr;
}

// The shell's stock location when it names an icon that loads (a shell may answer
// with a location holding none), else the system library's icon by its ID.
IconLocation FindFolderIcon(bool open) {
  IconLocation location;
  SHSTOCKICONINFO info = {};
  info.cbSize = sizeof info;
  if (SUCCEEDED(SHGetStockIconInfo(open ? SIID_FOLDEROPEN : SIID_FOLDER, SHGSI_ICONLOCATION, &info))) {
    location = {info.szPath, info.iIcon};
    if (Loads(location)) return location;
  }
  wchar_t system[MAX_PATH];
  UINT length = GetSystemDirectoryW(system, ARRAYSIZE(system));
  if (length == 0 || length >= ARRAYSIZE(system)) return {};
  location = {std::wstring(system, length) + L"\\" + kShellIconLibrary, open ? kOpenFolderIcon : kFolderIcon};
  return Loads(location) ? location : IconLocation{};
}

}  // namespace

bool FolderIconLocation(bool open, wchar_t* file, UINT capacity, int* index) {
  // Looked up once per process: the answer does not change while it runs.
  static const IconLocation closedFolder = FindFolderIcon(false);
  static const IconLocation openFolder = FindFolderIcon(true);
  const IconLocation& location = open ? openFolder : closedFolder;
  if (location.file.empty() || location.file.size() >= capacity) return false;
  location.file.copy(file, location.file.size());
  file[location.file.size()] = L'\0';
  *index = location.index;
  return true;
}

IconHandle IconForPath(const char* path, bool small) {
  int size = small ? kSmallSize : kLargeSize;
  std::wstring wide = ToWide(path);
  if (lstrcmpiW(PathFindExtensionW(wide.c_str()), L".ico") == 0) {
    if (HANDLE icon = LoadImageW(nullptr, wide.c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE)) {
      return IconHandle(static_cast<HICON>(icon));
    }
  }
  UINT sizeFlag = small ? SHGFI_SMALLICON : SHGFI_LARGEICON;
  // Most files show their type's icon, which the shell gives from the name
  // alone; asking for the file itself would have the shell parse its path.
  if (HasOwnIcon(wide)) {
    if (HICON icon = IconFromShell(wide, 0, SHGFI_ICON | sizeFlag)) return IconHandle(icon);
  }
  // A file that no longer exists still has a type whose icon the shell knows.
  if (HICON icon = IconFromShell(wide, FILE_ATTRIBUTE_NORMAL, SHGFI_ICON | SHGFI_USEFILEATTRIBUTES | sizeFlag)) {
    return IconHandle(icon);
  }
  return ExtractShellIcon(kDocumentIcon, small);
}

CIconCache::CIconCache() : large_(CreateList(kLargeSize)), small_(CreateList(kSmallSize)) {
  AddBaseIcons(small_.Get(), true);
  AddBaseIcons(large_.Get(), false);
}

CIconCache::~CIconCache() = default;

int CIconCache::IndexFor(const char* path) {
  if (!path || !*path) return kResultWithoutRecordIndex;
  std::wstring wide = ToWide(path);
  const wchar_t* extension = PathFindExtensionW(wide.c_str());
  // Most files show their type's icon: one position serves them all.
  const bool ownIcon = !*extension || lstrcmpiW(extension, L".ico") == 0 || HasOwnIcon(wide);
  std::wstring key = CaseFolded(ownIcon ? wide : std::wstring(extension));
  auto& indexes = ownIcon ? pathIndexes_ : typeIndexes_;
  ExclusiveLock held(lock_);
  auto found = indexes.find(key);
  if (found != indexes.end()) return found->second;
  if (ownIcon && pathIndexes_.size() >= kMaxPaths) return kDocumentIndex;
  int index = AddIcons(path);
  indexes.emplace(std::move(key), index);
  return index;
}

int CIconCache::AddIcons(const char* path) {
  if (!small_ || !large_) return -1;
  // The lists copy the icons, which go at once.
  IconHandle small = IconForPath(path, true);
  IconHandle large = IconForPath(path, false);
  int smallIndex = small ? ImageList_ReplaceIcon(small_.Get(), -1, small.Get()) : -1;
  int largeIndex = large ? ImageList_ReplaceIcon(large_.Get(), -1, large.Get()) : -1;
  if (smallIndex >= 0 && smallIndex == largeIndex) return smallIndex;
  // Both lists must keep the same positions: undo a half-made entry.
  if (smallIndex >= 0) ImageList_Remove(small_.Get(), smallIndex);
  if (largeIndex >= 0) ImageList_Remove(large_.Get(), largeIndex);
  return -1;
}

HICON CIconCache::GetLargeIcon(int index) const {
  return large_ && index >= 0 ? ImageList_GetIcon(large_.Get(), index, ILD_TRANSPARENT) : nullptr;
}

HICON CIconCache::GetSmallIcon(int index) const {
  return small_ && index >= 0 ? ImageList_GetIcon(small_.Get(), index, ILD_TRANSPARENT) : nullptr;
}

namespace {

SRWLOCK g_sharedLock = SRWLOCK_INIT;
std::unique_ptr<CIconCache> g_shared;

}  // namespace

CIconCache& SharedIconCache() {
  ExclusiveLock held(g_sharedLock);
  if (!g_shared) g_shared = std::make_unique<CIconCache>();
  return *g_shared;
}

void ReleaseSharedIconCache() {
  std::unique_ptr<CIconCache> released;
  ExclusiveLock held(g_sharedLock);
  released = std::move(g_shared);
}

}  // namespace qv
