#include "shellfolder/CShellFolder.h"

#include <string>

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

namespace qv {
namespace {

// The folder itself: it has sub-folders, can be browsed and has properties.
constexpr SFGAOF kFolderSelfAttributes = SFGAO_HASSUBFOLDER | SFGAO_FILESYSTEM | SFGAO_FOLDER |
                                         SFGAO_FILESYSANCESTOR | SFGAO_BROWSABLE | SFGAO_HASPROPSHEET;
// A search result: a file the user can copy, move, rename and delete.
constexpr SFGAOF kResultAttributes =
    SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANRENAME | SFGAO_CANDELETE | SFGAO_HASPROPSHEET;
// A search folder below this one; SFGAO_HASSUBFOLDER is added when it has children.
constexpr SFGAOF kFolderItemAttributes = SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_FILESYSANCESTOR |
                                         SFGAO_BROWSABLE | SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK |
                                         SFGAO_CANRENAME | SFGAO_CANDELETE | SFGAO_HASPROPSHEET;
static_assert(kFolderSelfAttributes == 0xF8000040);
static_assert(kResultAttributes == 0x73);
static_assert(kFolderItemAttributes == 0x78000077);

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

// The shell's display-name flags ask either for the item's own name or for its
// full name; anything else is refused.
enum class NameForm { Own, Full, Invalid };

// What hosts show (tree, title, address bar, list) is the item's own name; only
// a parsing name from the desktop (SHGDN_FORPARSING without SHGDN_INFOLDER) is
// the full path: a result's file path, a search folder's path below the junction.
NameForm NameFormOf(SHGDNF flags) {
  DWORD relation = flags & 0xFF;
  if (relation != SHGDN_NORMAL && relation != SHGDN_INFOLDER) return NameForm::Invalid;
  if (relation == SHGDN_INFOLDER || !(flags & SHGDN_FORPARSING)) return NameForm::Own;
  return NameForm::Full;
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

STDMETHODIMP CShellFolder::ParseDisplayName(HWND, IBindCtx*, LPWSTR displayName, ULONG* eaten, LPITEMIDLIST* item,
                                            ULONG* attributes) {
  if (!item) return E_POINTER;
  *item = nullptr;
  if (!displayName) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    CFolderStore& store = RequireFolderStore();
    ComPtr<IXMLDOMNode> folder = store.FindFolderNode(absolute_.Get());
    if (!folder) return E_FAIL;
    ComPtr<IXMLDOMNode> child = store.FindChildFolder(folder.Get(), ToUtf8(displayName).c_str());
    if (!child) return E_FAIL;
    CItemIdList parsed(RequirePidlManager());
    parsed.Adopt(RequirePidlManager().CreateFolderItem(CFolderStore::ReadFolderSettings(child.Get())));
    if (!parsed.Get()) return E_OUTOFMEMORY;
    if (attributes) *attributes &= AttributesOf(parsed.Get(), *attributes);
    if (eaten) *eaten = static_cast<ULONG>(wcslen(displayName));
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

STDMETHODIMP CShellFolder::BindToObject(LPCITEMIDLIST item, IBindCtx*, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  ItemKind kind = CPidlManager::KindOf(item);
  if (kind != ItemKind::Folder && kind != ItemKind::Result) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    ComPtr<CShellFolder> child = MakeComObject<CShellFolder>(this, item);
    CItemIdList childAbsolute = AbsoluteListOf(item);
    HRESULT hr = child->Initialize(childAbsolute.Get());
    if (FAILED(hr)) return hr;
    return child->QueryInterface(riid, ppv);
  });
}

STDMETHODIMP CShellFolder::BindToStorage(LPCITEMIDLIST, IBindCtx*, REFIID, void** ppv) {
  if (ppv) *ppv = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP CShellFolder::CompareIDs(LPARAM, LPCITEMIDLIST first, LPCITEMIDLIST second) {
  return ComBoundary([&]() -> HRESULT {
    int order = CPidlManager::Compare(first, second);
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
      text = form == NameForm::Own ? OwnNameOf(self) : FullPathOf(absolute_.Get());
      if (text.empty()) text = kProductName;
    } else if (kind == ItemKind::Foreign) {
      return E_INVALIDARG;
    } else if (form == NameForm::Own) {
      text = OwnNameOf(CPidlManager::GetLastItem(item));
    } else if (kind == ItemKind::Result) {
      text = CPidlManager::ResultPath(CPidlManager::GetLastItem(item));
      // An older item whose path is not known exactly still shows its name.
      if (text.empty()) text = OwnNameOf(CPidlManager::GetLastItem(item));
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
