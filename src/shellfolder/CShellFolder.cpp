#include "shellfolder/CShellFolder.h"

#include <string>

#include <shlwapi.h>

#include "common/RegistryWriter.h"
#include "folders/CFolderStore.h"
#include "folders/FolderSignature.h"
#include "common/ClassIds.h"
#include "runtime/ModuleObjects.h"
#include "common/ModulePaths.h"
#include "runtime/ModuleUse.h"
#include "common/Text.h"
#include "pidl/CPidlManager.h"
#include "shellfolder/CEnumIDList.h"
#include "ui/CContextMenu.h"
#include "ui/CDataObject.h"
#include "ui/CDropTarget.h"
#include "ui/CExtractIcon.h"
#include "ui/CIconCache.h"
#include "ui/CQueryInfo.h"
#include "ui/Confirmation.h"
#include "view/CShellView.h"
#include "view/ItemColumns.h"

namespace qv {
namespace {

// The folder itself: a virtual folder (no directory of its own) that holds
// files, has sub-folders, can be browsed and has properties.
constexpr SFGAOF kFolderSelfAttributes =
    SFGAO_HASSUBFOLDER | SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_BROWSABLE | SFGAO_HASPROPSHEET;
// A search result is its file: a file-system item with a stream, which the user
// can copy, move, link to, rename and delete; never a folder.
constexpr SFGAOF kResultAttributes = SFGAO_FILESYSTEM | SFGAO_STREAM | SFGAO_CANCOPY | SFGAO_CANMOVE |
                                     SFGAO_CANLINK | SFGAO_CANRENAME | SFGAO_CANDELETE | SFGAO_HASPROPSHEET;
// A search folder below this one; SFGAO_HASSUBFOLDER is added when it has children.
constexpr SFGAOF kFolderItemAttributes = SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_BROWSABLE | SFGAO_CANCOPY |
                                         SFGAO_CANMOVE | SFGAO_CANLINK | SFGAO_CANRENAME | SFGAO_CANDELETE |
                                         SFGAO_HASPROPSHEET;
static_assert(kFolderSelfAttributes == 0xB8000040);
static_assert(kResultAttributes == 0x40400077);
static_assert(kFolderItemAttributes == 0x38000077);

// The platform's property keys of the view's columns (propkey.h).
constexpr PROPERTYKEY kItemNameDisplay = {
    {0xB725F130, 0x47EF, 0x101A, {0xA5, 0xF1, 0x02, 0x60, 0x8C, 0x9E, 0xEB, 0xAC}}, 10};
constexpr PROPERTYKEY kItemFolderPathDisplay = {
    {0xE3E0584C, 0xB788, 0x4A5A, {0xBB, 0x20, 0x7F, 0x5A, 0x44, 0xC9, 0xAC, 0xDD}}, 6};
constexpr PROPERTYKEY kDateModified = {
    {0xB725F130, 0x47EF, 0x101A, {0xA5, 0xF1, 0x02, 0x60, 0x8C, 0x9E, 0xEB, 0xAC}}, 14};
constexpr PROPERTYKEY kItemTypeText = {
    {0xB725F130, 0x47EF, 0x101A, {0xA5, 0xF1, 0x02, 0x60, 0x8C, 0x9E, 0xEB, 0xAC}}, 4};
constexpr PROPERTYKEY kSize = {{0xB725F130, 0x47EF, 0x101A, {0xA5, 0xF1, 0x02, 0x60, 0x8C, 0x9E, 0xEB, 0xAC}}, 12};
constexpr PROPERTYKEY kSearchRank = {
    {0x49691C90, 0x7E17, 0x101A, {0xA9, 0x1C, 0x08, 0x00, 0x2B, 0x2E, 0xCD, 0xA9}}, 3};
// In the order of the view's columns (ListColumn).
constexpr const PROPERTYKEY* kColumnKeys[kListColumnCount] = {&kItemNameDisplay, &kItemFolderPathDisplay,
                                                              &kDateModified,    &kItemTypeText,
                                                              &kSize,            &kSearchRank};

bool SameKey(const PROPERTYKEY& first, const PROPERTYKEY& second) {
  return IsEqualGUID(first.fmtid, second.fmtid) && first.pid == second.pid;
}

// The column whose property key this is; false for a key no column has.
bool ColumnOfKey(const SHCOLUMNID& key, ListColumn& column) {
  for (int index = 0; index < kListColumnCount; ++index) {
    if (SameKey(key, *kColumnKeys[index])) return ToListColumn(index, column);
  }
  return false;
}

// A result's file as a stream: read-only unless the bind context asks to write
// (its mode, with STGM_CREATE making the file anew).
HRESULT OpenResultStream(LPCITEMIDLIST result, IBindCtx* bindContext, REFIID riid, void** ppv) {
  std::string path = CPidlManager::ResultPath(result);
  if (path.empty()) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  DWORD mode = STGM_READ | STGM_SHARE_DENY_NONE;
  BOOL create = FALSE;
  BIND_OPTS options = {};
  options.cbStruct = sizeof options;
  if (bindContext && SUCCEEDED(bindContext->GetBindOptions(&options)) &&
      (options.grfMode & (STGM_WRITE | STGM_READWRITE))) {
    // Access, sharing and creation only: nothing else of a storage applies to a file.
    constexpr DWORD kFileModes = STGM_WRITE | STGM_READWRITE | STGM_SHARE_DENY_NONE | STGM_SHARE_DENY_READ |
                                 STGM_SHARE_DENY_WRITE | STGM_SHARE_EXCLUSIVE | STGM_CREATE;
    mode = options.grfMode & kFileModes;
    create = (options.grfMode & STGM_CREATE) ? TRUE : FALSE;
  }
  ComPtr<IStream> stream;
  HRESULT hr = SHCreateStreamOnFileEx(ExtendedLengthPath(ToWide(path)).c_str(), mode, FILE_ATTRIBUTE_NORMAL, create,
                                      nullptr, stream.Put());
  if (FAILED(hr)) return hr;
  return stream->QueryInterface(riid, ppv);
}

// A date for a VARIANT (VT_DATE, universal time) from a FILETIME.
bool VariantDateOf(std::uint64_t fileTime, DATE& date) {
  FILETIME time = {static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
  SYSTEMTIME system = {};
  return FileTimeToSystemTime(&time, &system) && SystemTimeToVariantTime(&system, &date);
}

// head followed by tail, in a new holder.
CItemIdList JoinLists(const CItemIdList& head, LPCITEMIDLIST tail) {
  CItemIdList joined(RequirePidlManager());
  LPITEMIDLIST list = head.ConcatWith(tail);
  if (!list && (head.Get() || tail)) throw std::bad_alloc();
  joined.Adopt(list);
  return joined;
}

bool IsSingleItem(LPCITEMIDLIST list) {
  return CPidlManager::KindOf(list) != ItemKind::None &&
         CPidlManager::KindOf(CPidlManager::GetNextItem(list)) == ItemKind::None;
}

// The shell's display-name flags ask for the item's own name, its full path as
// the address bar shows it, or its parsing name from the desktop; anything else
// is refused.
enum class NameForm { Own, Full, Parsing, Invalid };

// What hosts show (tree, title, list) is the item's own name. A name from the
// desktop (SHGDN_FORPARSING without SHGDN_INFOLDER) is a result's file path; a
// search folder's is "::{class id}\A\B", which the desktop's ParseDisplayName
// hands to the junction and which reads back to the same folder, and for the
// address bar the folder's path below the junction ("quorvane\A\B").
NameForm NameFormOf(SHGDNF flags) {
  DWORD relation = flags & 0xFF;
  if (relation != SHGDN_NORMAL && relation != SHGDN_INFOLDER) return NameForm::Invalid;
  if (relation == SHGDN_INFOLDER || !(flags & SHGDN_FORPARSING)) return NameForm::Own;
  return (flags & SHGDN_FORADDRESSBAR) ? NameForm::Full : NameForm::Parsing;
}

// The name of one item of a list: a search folder's or result's name, or the
// product name for the shell's item of the namespace root.
std::string OwnNameOf(LPCITEMIDLIST item) {
  return CPidlManager::GetItemRecord(item) ? CPidlManager::ItemName(item) : std::string(kProductName);
}

std::string FullPathOf(LPCITEMIDLIST absoluteList) { return CPidlManager::DisplayPath(absoluteList); }

}  // namespace

CShellFolder::CShellFolder() : relative_(RequirePidlManager()), absolute_(RequirePidlManager()) {}

CShellFolder::CShellFolder(CShellFolder* parent, LPCITEMIDLIST relativeList)
    : parent_(ComPtr<CShellFolder>::Share(parent)),
      relative_(parent ? JoinLists(parent->relative_, relativeList) : CItemIdList(RequirePidlManager(), relativeList)),
      absolute_(RequirePidlManager()) {}

CShellFolder::~CShellFolder() = default;

const InterfaceEntry* CShellFolder::InterfaceTable() {
  static const InterfaceEntry table[] = {
      QV_INTERFACE_VIA(CShellFolder, IShellFolder, IQuorvaneShellFolder),
      QV_INTERFACE_VIA(CShellFolder, IShellFolder2, IQuorvaneShellFolder),
      QV_INTERFACE(CShellFolder, IQuorvaneShellFolder),
      QV_INTERFACE_VIA(CShellFolder, IPersistFolder, IPersistFolder2),
      QV_INTERFACE(CShellFolder, IPersistFolder2),
      QV_INTERFACE_VIA(CShellFolder, IPersist, IPersistFolder2),
      {}};
  return table;
}

CIconCache& CShellFolder::IconCache() { return SharedIconCache(); }

CItemIdList CShellFolder::AbsoluteListOf(LPCITEMIDLIST item) const { return JoinLists(absolute_, item); }

CItemIdList CShellFolder::RelativeListOf(LPCITEMIDLIST item) const { return JoinLists(relative_, item); }

std::string CShellFolder::ParsingNameOf(LPCITEMIDLIST item) const {
  CItemIdList absolute = AbsoluteListOf(item);
  std::string name;
  for (LPCITEMIDLIST at = absolute.Get(); CPidlManager::KindOf(at) != ItemKind::None;
       at = CPidlManager::GetNextItem(at)) {
    switch (CPidlManager::KindOf(at)) {
      case ItemKind::Folder:
        name += '\\';
        name += CPidlManager::ItemName(at);
        break;
      case ItemKind::Foreign:
        // The desktop's item of the junction: the desktop parses "::{class id}".
        name = "::" + ToUtf8(GuidString(kShellFolderClassId));
        break;
      default:
        return name;
    }
  }
  return name;
}

// Reads "A\B\C" down from this folder, one search folder a level; empty levels
// (a doubled or trailing backslash) are skipped.
STDMETHODIMP CShellFolder::ParseDisplayName(HWND, IBindCtx*, LPWSTR displayName, ULONG* eaten, LPITEMIDLIST* item,
                                            ULONG* attributes) {
  if (!item) return E_POINTER;
  *item = nullptr;
  if (eaten) *eaten = 0;
  if (!displayName) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    const std::wstring text(displayName);
    CFolderStore& store = RequireFolderStore();
    CPidlManager& manager = RequirePidlManager();
    ComPtr<IXMLDOMNode> folder = store.FindFolderNode(absolute_.Get());
    CItemIdList parsed(manager);
    for (std::size_t at = 0; at <= text.size();) {
      std::size_t end = text.find(L'\\', at);
      if (end == std::wstring::npos) end = text.size();
      if (end > at) {
        ComPtr<IXMLDOMNode> child =
            folder ? store.FindChildFolder(folder.Get(), ToUtf8(text.substr(at, end - at)).c_str()) : nullptr;
        if (!child) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        CItemIdList level(manager);
        level.Adopt(manager.CreateFolderItem(CFolderStore::ReadFolderSettings(child.Get())));
        if (!level.Get()) return E_OUTOFMEMORY;
        parsed = JoinLists(parsed, level.Get());
        folder = child;
      }
      at = end + 1;
    }
    if (!parsed.Get()) return E_INVALIDARG;
    if (attributes) *attributes &= AttributesOf(parsed.Get(), *attributes);
    if (eaten) *eaten = static_cast<ULONG>(text.size());
    *item = parsed.Detach();
    return S_OK;
  });
}

STDMETHODIMP CShellFolder::EnumObjects(HWND, SHCONTF flags, IEnumIDList** enumerator) {
  if (!enumerator) return E_POINTER;
  *enumerator = nullptr;
  return ComBoundary([&]() -> HRESULT {
    ComPtr<CEnumIDList> list;
    HRESULT hr = CEnumIDList::Create(absolute_.Get(), flags, list);
    if (FAILED(hr)) return hr;
    if (!list) return E_OUTOFMEMORY;
    resultCount_ = list->ResultCount();
    folderCount_ = list->FolderCount();
    *enumerator = list.Detach();
    return S_OK;
  });
}

STDMETHODIMP CShellFolder::BindToObject(LPCITEMIDLIST item, IBindCtx* bindContext, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  ItemKind kind = CPidlManager::KindOf(item);
  if (kind != ItemKind::Folder && kind != ItemKind::Result) return E_INVALIDARG;
  LPCITEMIDLIST last = CPidlManager::GetLastItem(item);
  if (CPidlManager::KindOf(last) == ItemKind::Result) {
    // A result is its file: it reads as a stream and is no folder.
    if (!IsEqualIID(riid, IID_IStream)) return E_INVALIDARG;
    return ComBoundary([&] { return OpenResultStream(last, bindContext, riid, ppv); });
  }
  return ComBoundary([&]() -> HRESULT {
    ComPtr<CShellFolder> child = MakeComObject<CShellFolder>(this, item);
    CItemIdList childAbsolute = AbsoluteListOf(item);
    HRESULT hr = child->Initialize(childAbsolute.Get());
    if (FAILED(hr)) return hr;
    return child->QueryInterface(riid, ppv);
  });
}

STDMETHODIMP CShellFolder::BindToStorage(LPCITEMIDLIST item, IBindCtx* bindContext, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  LPCITEMIDLIST last = CPidlManager::GetLastItem(item);
  // Only a result's file has storage: its stream.
  if (CPidlManager::KindOf(last) != ItemKind::Result) return E_NOTIMPL;
  if (!IsEqualIID(riid, IID_IStream)) return E_NOINTERFACE;
  return ComBoundary([&] { return OpenResultStream(last, bindContext, riid, ppv); });
}

// Orders by the column in the low word of lParam (the view's columns: search
// folders first, then the column's values, then name and path), at the first
// level where the two lists name different items. Two different items never
// compare equal, so SHCIDS_ALLFIELDS asks nothing more; SHCIDS_CANONICALONLY
// asks only whether they are one item, in an order of names and paths.
STDMETHODIMP CShellFolder::CompareIDs(LPARAM lParam, LPCITEMIDLIST first, LPCITEMIDLIST second) {
  ListColumn column = ListColumn::Name;
  const bool canonical = (lParam & SHCIDS_CANONICALONLY) != 0;
  if (!canonical && !ToListColumn(static_cast<int>(lParam & SHCIDS_COLUMNMASK), column)) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    int order = 0;
    LPCITEMIDLIST a = first;
    LPCITEMIDLIST b = second;
    for (;; a = CPidlManager::GetNextItem(a), b = CPidlManager::GetNextItem(b)) {
      bool aEnded = CPidlManager::KindOf(a) == ItemKind::None;
      bool bEnded = CPidlManager::KindOf(b) == ItemKind::None;
      if (aEnded || bEnded) {
        // A list that is a prefix of the other sorts first.
        order = aEnded == bEnded ? 0 : (aEnded ? -1 : 1);
        break;
      }
      int identity = CPidlManager::CompareItems(a, b);
      if (identity == 0) continue;
      order = canonical ? 0 : CompareByColumn(a, b, column);
      if (order == 0) order = identity;
      break;
    }
    // The order travels in the code of a success result, as the shell reads it.
    short sign = order < 0 ? -1 : (order > 0 ? 1 : 0);
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, static_cast<USHORT>(sign));
  });
}

STDMETHODIMP CShellFolder::CreateViewObject(HWND owner, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (IsEqualIID(riid, IID_IDropTarget)) {
    return CreateComObject<CDropTarget>(riid, ppv, static_cast<IShellFolder*>(this), absolute_.Get());
  }
  // The menu of the folder's background, which the view asks for this way.
  if (IsEqualIID(riid, IID_IContextMenu)) return GetUIObjectOf(owner, 0, nullptr, riid, nullptr, ppv);
  if (!IsEqualIID(riid, IID_IShellView)) return E_NOINTERFACE;
  LPCITEMIDLIST ownItem = relative_.Get() ? CPidlManager::GetLastItem(relative_.Get()) : nullptr;
  return CreateComObject<CShellView>(riid, ppv, static_cast<IShellFolder*>(this), static_cast<IViewFolder*>(this),
                                     ownItem);
}

int CShellFolder::GetViewStyle() {
  return Guarded(kDefaultStyle, [&] { return Operations().ViewStyle(); });
}

void CShellFolder::SetViewStyle(int mode) {
  Guarded(false, [&] {
    Operations().SetViewStyle(mode);
    return true;
  });
}

std::string CShellFolder::GetSortOrder() {
  return Guarded(std::string(), [&] { return Operations().SortOrder(); });
}

void CShellFolder::SetSortOrder(const std::string& order) {
  Guarded(false, [&] {
    Operations().SetSortOrder(order);
    return true;
  });
}

std::wstring CShellFolder::ContentSignature() {
  CFolderStore* store = TheFolderStore();
  return store ? FolderContentSignature(*store, absolute_.Get()) : std::wstring();
}

HIMAGELIST CShellFolder::SmallImageList() {
  try {
    return IconCache().GetSmallImageList();
  } catch (...) {
    return nullptr;
  }
}

HIMAGELIST CShellFolder::LargeImageList() {
  try {
    return IconCache().GetLargeImageList();
  } catch (...) {
    return nullptr;
  }
}

SFGAOF CShellFolder::AttributesOf(LPCITEMIDLIST item, SFGAOF wanted) const {
  switch (CPidlManager::KindOf(CPidlManager::GetLastItem(item))) {
    case ItemKind::Result:
      return kResultAttributes;
    case ItemKind::Folder: {
      SFGAOF attributes = kFolderItemAttributes;
      if ((wanted & SFGAO_HASSUBFOLDER) && RequireFolderStore().HasSubfolders(AbsoluteListOf(item).Get())) {
        attributes |= SFGAO_HASSUBFOLDER;
      }
      return attributes;
    }
    case ItemKind::None:
      // An empty list stands for the folder itself.
      return kFolderSelfAttributes;
    default:
      return 0;
  }
}

STDMETHODIMP CShellFolder::GetAttributesOf(UINT count, LPCITEMIDLIST* items, SFGAOF* attributes) {
  if (!attributes) return E_POINTER;
  if (count == 0) {
    *attributes = kFolderSelfAttributes;
    return S_OK;
  }
  if (!items) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    SFGAOF result = *attributes;
    for (UINT i = 0; i < count; ++i) {
      if (!items[i] || CPidlManager::KindOf(items[i]) == ItemKind::Foreign) return E_INVALIDARG;
      // Each item can only take bits away: nothing the caller did not ask for is set.
      result &= AttributesOf(items[i], result);
    }
    *attributes = result;
    return S_OK;
  });
}

STDMETHODIMP CShellFolder::GetUIObjectOf(HWND, UINT count, LPCITEMIDLIST* items, REFIID riid, UINT*, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (IsEqualIID(riid, IID_IContextMenu)) {
    // Any selection, or none for the folder's background.
    if (count && !items) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) {
      ItemKind itemKind = CPidlManager::KindOf(items[i]);
      if (itemKind != ItemKind::Folder && itemKind != ItemKind::Result) return E_INVALIDARG;
    }
    return CreateComObject<CContextMenu>(riid, ppv, static_cast<IShellFolder*>(this), absolute_.Get(), IsRootFolder(),
                                         items, count);
  }
  if (IsEqualIID(riid, IID_IDataObject)) {
    if (count && !items) return E_INVALIDARG;
    return CreateComObject<CDataObject>(riid, ppv, absolute_.Get(), items, count);
  }
  if (count != 1 || !items) return E_FAIL;
  ItemKind kind = CPidlManager::KindOf(items[0]);
  if (kind != ItemKind::Folder && kind != ItemKind::Result) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    if (IsEqualIID(riid, IID_IExtractIconA) || IsEqualIID(riid, IID_IExtractIconW)) {
      return CreateComObject<CExtractIcon>(riid, ppv, static_cast<IShellFolder*>(this), IconCache(),
                                           RelativeListOf(items[0]).Get());
    }
    if (IsEqualIID(riid, IID_IDropTarget)) {
      ComPtr<CShellFolder> child = MakeComObject<CShellFolder>(this, items[0]);
      CItemIdList childAbsolute = AbsoluteListOf(items[0]);
      HRESULT hr = child->Initialize(childAbsolute.Get());
      if (FAILED(hr)) return hr;
      return CreateComObject<CDropTarget>(riid, ppv, static_cast<IShellFolder*>(child.Get()), child->AbsoluteList());
    }
    if (IsEqualIID(riid, IID_IQueryInfo)) {
      return CreateComObject<CQueryInfo>(riid, ppv, RelativeListOf(items[0]).Get());
    }
    return E_NOINTERFACE;
  });
}

STDMETHODIMP CShellFolder::GetDisplayNameOf(LPCITEMIDLIST item, SHGDNF flags, STRRET* name) {
  if (!name) return E_POINTER;
  name->uType = STRRET_WSTR;
  name->pOleStr = nullptr;
  NameForm form = NameFormOf(flags);
  if (form == NameForm::Invalid) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    std::string text;
    ItemKind kind = CPidlManager::KindOf(CPidlManager::GetLastItem(item));
    if (kind == ItemKind::None) {
      // No item: the folder names itself.
      LPCITEMIDLIST self = CPidlManager::GetLastItem(absolute_.Get());
      if (form == NameForm::Parsing) {
        text = ParsingNameOf(nullptr);
      } else {
        text = form == NameForm::Own ? OwnNameOf(self) : FullPathOf(absolute_.Get());
      }
      if (text.empty()) text = kProductName;
    } else if (kind == ItemKind::Foreign) {
      return E_INVALIDARG;
    } else if (form == NameForm::Own) {
      text = OwnNameOf(CPidlManager::GetLastItem(item));
    } else if (kind == ItemKind::Result) {
      text = CPidlManager::ResultPath(CPidlManager::GetLastItem(item));
      // An older item whose path is not known exactly still shows its name.
      if (text.empty()) text = OwnNameOf(CPidlManager::GetLastItem(item));
    } else if (form == NameForm::Parsing) {
      text = ParsingNameOf(item);
    } else {
      text = FullPathOf(AbsoluteListOf(item).Get());
    }
    name->pOleStr = ToTaskMemoryWide(text.c_str());
    return name->pOleStr ? S_OK : E_OUTOFMEMORY;
  });
}

STDMETHODIMP CShellFolder::SetNameOf(HWND, LPCITEMIDLIST item, LPCWSTR newName, SHGDNF, LPITEMIDLIST* renamedItem) {
  if (renamedItem) *renamedItem = nullptr;
  if (!newName || !IsSingleItem(item)) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    FolderOperations operations = Operations();
    CItemIdList renamed = operations.RenamedFolder(item, ToUtf8(newName));
    // A rename that could not be saved says why (a full disk, a read-only file).
    if (!renamed.Get()) return FAILED(operations.LastFailure()) ? operations.LastFailure() : E_FAIL;
    if (renamedItem) *renamedItem = renamed.Detach();
    return S_OK;
  });
}

STDMETHODIMP CShellFolder::GetDefaultSearchGUID(GUID* guid) {
  if (guid) *guid = GUID_NULL;
  return E_NOTIMPL;
}

STDMETHODIMP CShellFolder::EnumSearches(IEnumExtraSearch** searches) {
  if (searches) *searches = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP CShellFolder::GetDefaultColumn(DWORD, ULONG* sortColumn, ULONG* displayColumn) {
  if (!sortColumn || !displayColumn) return E_POINTER;
  *sortColumn = static_cast<ULONG>(ListColumn::Name);
  *displayColumn = static_cast<ULONG>(ListColumn::Name);
  return S_OK;
}

STDMETHODIMP CShellFolder::GetDefaultColumnState(UINT column, SHCOLSTATEF* state) {
  if (!state) return E_POINTER;
  *state = 0;
  ListColumn which;
  if (!ToListColumn(static_cast<int>(column), which)) return E_INVALIDARG;
  switch (which) {
    case ListColumn::Modified:
      *state = SHCOLSTATE_TYPE_DATE;
      break;
    case ListColumn::Size:
    case ListColumn::Rank:
      *state = SHCOLSTATE_TYPE_INT;
      break;
    default:
      *state = SHCOLSTATE_TYPE_STR;
      break;
  }
  // Every column shows, as in the view; the file columns are read from the disk.
  *state |= SHCOLSTATE_ONBYDEFAULT;
  if (which == ListColumn::Modified || which == ListColumn::Size) *state |= SHCOLSTATE_SLOW;
  return S_OK;
}

STDMETHODIMP CShellFolder::GetDetailsOf(LPCITEMIDLIST item, UINT column, SHELLDETAILS* details) {
  if (!details) return E_POINTER;
  details->str.uType = STRRET_WSTR;
  details->str.pOleStr = nullptr;
  ListColumn which;
  if (!ToListColumn(static_cast<int>(column), which)) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    ColumnHeading heading = HeadingOf(which);
    details->fmt = heading.format;
    details->cxChar = heading.widthCharacters;
    std::wstring text;
    if (!item || CPidlManager::KindOf(item) == ItemKind::None) {
      text = ToWide(LoadResourceText(heading.title));
    } else {
      ItemKind kind = CPidlManager::KindOf(CPidlManager::GetLastItem(item));
      if (kind != ItemKind::Folder && kind != ItemKind::Result) return E_INVALIDARG;
      FileTypeNames types;
      LPCITEMIDLIST last = CPidlManager::GetLastItem(item);
      FactsOnDemand facts(last);
      text = ColumnText(last, which, std::ref(facts), types);
    }
    details->str.pOleStr = ToTaskMemoryWide(ToUtf8(text).c_str());
    return details->str.pOleStr ? S_OK : E_OUTOFMEMORY;
  });
}

STDMETHODIMP CShellFolder::GetDetailsEx(LPCITEMIDLIST item, const SHCOLUMNID* key, VARIANT* value) {
  if (!key || !value) return E_POINTER;
  VariantInit(value);
  ListColumn column;
  if (!ColumnOfKey(*key, column)) return E_INVALIDARG;
  LPCITEMIDLIST last = CPidlManager::GetLastItem(item);
  ItemKind kind = CPidlManager::KindOf(last);
  if (kind != ItemKind::Folder && kind != ItemKind::Result) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    const bool result = kind == ItemKind::Result;
    FileFacts facts = result && (column == ListColumn::Modified || column == ListColumn::Size)
                          ? ReadFileFacts(CPidlManager::ResultPath(last))
                          : FileFacts();
    switch (column) {
      case ListColumn::Modified: {
        DATE date = 0;
        if (!facts.found || !VariantDateOf(facts.modified, date)) return S_OK;  // empty, as the column is
        value->vt = VT_DATE;
        value->date = date;
        return S_OK;
      }
      case ListColumn::Size:
        if (!facts.found) return S_OK;
        value->vt = VT_UI8;
        value->ullVal = facts.size;
        return S_OK;
      case ListColumn::Rank: {
        std::uint32_t rank = result ? CPidlManager::ResultRank(last) : 0;
        if (!rank) return S_OK;
        value->vt = VT_UI4;
        value->ulVal = rank;
        return S_OK;
      }
      default: {
        FileTypeNames types;
        std::wstring text = ColumnText(last, column, [&]() -> const FileFacts& { return facts; }, types);
        if (text.empty() && column != ListColumn::Name && column != ListColumn::Details) return S_OK;
        value->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!value->bstrVal) return E_OUTOFMEMORY;
        value->vt = VT_BSTR;
        return S_OK;
      }
    }
  });
}

STDMETHODIMP CShellFolder::MapColumnToSCID(UINT column, SHCOLUMNID* key) {
  if (!key) return E_POINTER;
  ListColumn which;
  if (!ToListColumn(static_cast<int>(column), which)) return E_INVALIDARG;
  *key = *kColumnKeys[static_cast<int>(which)];
  return S_OK;
}

STDMETHODIMP CShellFolder::MoveFolders(IShellFolder* sourceFolder, LPCITEMIDLIST* items, UINT count, BOOL move) {
  if (!move || !sourceFolder || !items) return S_OK;
  return ComBoundary([&]() -> HRESULT {
    // Only the component's own folders hold search folders to move.
    ComPtr<IQuorvaneShellFolder> own;
    if (FAILED(sourceFolder->QueryInterface(__uuidof(IQuorvaneShellFolder), own.PutVoid()))) return S_OK;
    auto* source = static_cast<CShellFolder*>(own.Get());
    FolderOperations operations = Operations();
    operations.MoveFoldersFrom(source->AbsoluteList(), items, count);
    return FAILED(operations.LastFailure()) ? operations.LastFailure() : S_OK;
  });
}

FolderOperations CShellFolder::Operations() const {
  return FolderOperations(RequireFolderStore(), absolute_.Get(), IsRootFolder(), MessageBoxPrompts());
}

bool CShellFolder::RenameItem(LPCITEMIDLIST item, const char* newName) {
  return Guarded(false, [&] { return Operations().RenameItem(item, newName); });
}

CItemIdList CShellFolder::NewFolder() {
  return Guarded(CItemIdList(RequirePidlManager()), [&] { return Operations().NewFolder(); });
}

void CShellFolder::DeleteFolder(HWND owner, LPCITEMIDLIST item, bool confirm) {
  Guarded(false, [&] {
    Operations().DeleteFolder(owner, item, confirm);
    return true;
  });
}

void CShellFolder::DeleteSelection(HWND owner, const LPCITEMIDLIST* items) {
  Guarded(false, [&] {
    Operations().DeleteSelection(owner, items);
    return true;
  });
}

void CShellFolder::ShowProperties(HWND owner, LPCITEMIDLIST item) {
  Guarded(false, [&] {
    Operations().ShowProperties(owner, item);
    return true;
  });
}

STDMETHODIMP CShellFolder::GetClassID(CLSID* classId) {
  if (!classId) return E_POINTER;
  *classId = kShellFolderClassId;
  return S_OK;
}

STDMETHODIMP CShellFolder::Initialize(LPCITEMIDLIST absoluteList) {
  return ComBoundary([&]() -> HRESULT {
    absolute_.Set(absoluteList);
    return S_OK;
  });
}

STDMETHODIMP CShellFolder::GetCurFolder(LPITEMIDLIST* absoluteList) {
  if (!absoluteList) return E_POINTER;
  *absoluteList = nullptr;
  return ComBoundary([&]() -> HRESULT {
    if (!absolute_.Get()) return S_FALSE;
    *absoluteList = RequirePidlManager().Copy(absolute_.Get());
    return *absoluteList ? S_OK : E_OUTOFMEMORY;
  });
}

}  // namespace qv
