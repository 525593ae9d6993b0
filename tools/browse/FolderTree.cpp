#include "FolderTree.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "NamespacePath.h"
#include "common/ComBase.h"
#include "common/Holders.h"

namespace qv::browse {
namespace {

constexpr int kIndent = 16;

ComPtr<IShellFolder> BindFolder(LPCITEMIDLIST absolute) {
  ComPtr<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(desktop.Put()))) return nullptr;
  ComPtr<IShellFolder> folder;
  if (!absolute || absolute->mkid.cb == 0) return desktop;
  if (FAILED(desktop->BindToObject(absolute, nullptr, IID_IShellFolder, folder.PutVoid()))) return nullptr;
  return folder;
}

bool SameItem(IShellFolder* parent, LPCITEMIDLIST first, LPCITEMIDLIST second) {
  HRESULT hr = parent->CompareIDs(0, first, second);
  return SUCCEEDED(hr) && static_cast<short>(HRESULT_CODE(hr)) == 0;
}

int SmallIconOf(LPCITEMIDLIST absolute) {
  SHFILEINFOW info = {};
  if (!SHGetFileInfoW(reinterpret_cast<LPCWSTR>(absolute), 0, &info, sizeof info,
                      SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON)) {
    return 0;
  }
  return info.iIcon;
}

}  // namespace

FolderTree::~FolderTree() {
  if (tree_ && IsWindow(tree_)) DestroyWindow(tree_);
}

bool FolderTree::Create(HWND parent, HINSTANCE instance, LPCITEMIDLIST junction, ChooseFolder choose) {
  choose_ = std::move(choose);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  tree_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"Search folders",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                              TVS_SHOWSELALWAYS,
                          0, 0, 0, 0, parent, nullptr, instance, nullptr);
  if (!tree_) return false;
  SendMessageW(tree_, TVM_SETINDENT, kIndent, 0);
  // The system's small icons, as the shell's own trees show them.
  SHFILEINFOW info = {};
  auto images = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(reinterpret_cast<LPCWSTR>(junction), 0, &info, sizeof info,
                     SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  if (images) TreeView_SetImageList(tree_, images, TVSIL_NORMAL);

  return AddRoot(junction);
}

bool FolderTree::AddRoot(LPCITEMIDLIST junction) {
  TaskMemory<wchar_t> name;
  std::wstring rootName = L"quorvane";
  if (SUCCEEDED(SHGetNameFromIDList(junction, SIGDN_NORMALDISPLAY, name.Put())) && name) rootName = name.Get();
  root_ = AddNode(TVI_ROOT, junction, rootName, true);
  if (!root_) return false;
  FillChildren(root_);
  marking_ = true;
  TreeView_Expand(tree_, root_, TVE_EXPAND);
  marking_ = false;
  return true;
}

void FolderTree::Reload(LPCITEMIDLIST current) {
  if (!tree_ || !root_) return;
  ShellIdList junction(ILClone(ListOf(tree_, root_)));
  if (!junction) return;
  marking_ = true;
  TreeView_DeleteAllItems(tree_);
  marking_ = false;
  root_ = nullptr;
  filled_.clear();
  lists_.clear();
  if (AddRoot(junction.Get()) && current) ShowCurrent(current);
}

void FolderTree::Move(const RECT& area) {
  if (tree_) MoveWindow(tree_, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
}

HTREEITEM FolderTree::AddNode(HTREEITEM parent, LPCITEMIDLIST absolute, const std::wstring& name, bool hasChildren) {
  ShellIdList owned(ILClone(absolute));
  if (!owned) return nullptr;
  LPITEMIDLIST copy = owned.Get();
  lists_.push_back(std::move(owned));
  TVINSERTSTRUCTW insert = {};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  insert.item.pszText = const_cast<wchar_t*>(name.c_str());
  insert.item.lParam = reinterpret_cast<LPARAM>(copy);
  insert.item.cChildren = hasChildren ? 1 : 0;
  insert.item.iImage = insert.item.iSelectedImage = SmallIconOf(absolute);
  auto node = reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
  return node;
}

LPCITEMIDLIST FolderTree::ListOf(HWND tree, HTREEITEM node) {
  TVITEMW item = {};
  item.mask = TVIF_PARAM | TVIF_HANDLE;
  item.hItem = node;
  if (!node || !SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
  return reinterpret_cast<LPCITEMIDLIST>(item.lParam);
}

void FolderTree::FillChildren(HTREEITEM node) {
  if (!filled_.insert(node).second) return;
  LPCITEMIDLIST list = ListOf(tree_, node);
  ComPtr<IShellFolder> folder = BindFolder(list);
  ComPtr<IEnumIDList> items;
  std::vector<ShellIdList> children;
  if (folder && folder->EnumObjects(GetParent(tree_), SHCONTF_FOLDERS, items.Put()) == S_OK && items) {
    for (;;) {
      ShellIdList child;
      ULONG fetched = 0;
      if (items->Next(1, child.Put(), &fetched) != S_OK || !fetched || !child) break;
      children.push_back(std::move(child));
    }
  }
  // The folder's own order, as its view shows its sub-folders.
  std::stable_sort(children.begin(), children.end(), [&](const ShellIdList& first, const ShellIdList& second) {
    HRESULT hr = folder->CompareIDs(0, first.Get(), second.Get());
    return SUCCEEDED(hr) && static_cast<short>(HRESULT_CODE(hr)) < 0;
  });
  int added = 0;
  for (const ShellIdList& child : children) {
    LPCITEMIDLIST item = child.Get();
    SFGAOF attributes = SFGAO_FOLDER | SFGAO_HASSUBFOLDER;
    if (FAILED(folder->GetAttributesOf(1, &item, &attributes)) || !(attributes & SFGAO_FOLDER)) continue;
    STRRET text = {};
    TaskMemory<wchar_t> name;
    if (FAILED(folder->GetDisplayNameOf(item, SHGDN_NORMAL, &text)) ||
        FAILED(StrRetToStrW(&text, item, name.Put())) || !name) {
      continue;
    }
    ShellIdList absolute(ILCombine(list, item));
    if (absolute && AddNode(node, absolute.Get(), name.Get(), (attributes & SFGAO_HASSUBFOLDER) != 0)) ++added;
  }
  if (added == 0) {
    // No sub-folders after all: the node loses its button.
    TVITEMW item = {};
    item.mask = TVIF_CHILDREN | TVIF_HANDLE;
    item.hItem = node;
    item.cChildren = 0;
    SendMessageW(tree_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
}

LRESULT FolderTree::OnNotify(const NMHDR* header) {
  if (!header || header->hwndFrom != tree_) return 0;
  switch (header->code) {
    case TVN_ITEMEXPANDINGW: {
      auto* change = reinterpret_cast<const NMTREEVIEWW*>(header);
      if (change->action & TVE_EXPAND) FillChildren(change->itemNew.hItem);
      return FALSE;
    }
    case TVN_SELCHANGEDW: {
      auto* change = reinterpret_cast<const NMTREEVIEWW*>(header);
      if (!marking_ && choose_) {
        if (LPCITEMIDLIST folder = ListOf(tree_, change->itemNew.hItem)) choose_(folder);
      }
      return 0;
    }
    default:
      return 0;
  }
}

bool FolderTree::ShowCurrent(LPCITEMIDLIST folder) {
  LPCITEMIDLIST rootList = ListOf(tree_, root_);
  if (!rootList || !folder) return false;
  // The junction's own item is the one this tree was made with, byte for byte;
  // below it each folder tells its own children apart.
  UINT rootSize = ILGetSize(rootList) - sizeof(USHORT);
  if (ILGetSize(folder) < rootSize + sizeof(USHORT) || std::memcmp(rootList, folder, rootSize) != 0) return false;
  HTREEITEM node = root_;
  auto rest = reinterpret_cast<LPCITEMIDLIST>(reinterpret_cast<const BYTE*>(folder) + rootSize);
  while (rest->mkid.cb) {
    FillChildren(node);
    ComPtr<IShellFolder> parent = BindFolder(ListOf(tree_, node));
    ShellIdList level(ILCloneFirst(rest));
    if (!parent || !level) return false;
    HTREEITEM match = nullptr;
    for (HTREEITEM child = TreeView_GetChild(tree_, node); child; child = TreeView_GetNextSibling(tree_, child)) {
      if (SameItem(parent.Get(), ILFindLastID(ListOf(tree_, child)), level.Get())) {
        match = child;
        break;
      }
    }
    if (!match) return false;
    marking_ = true;
    TreeView_Expand(tree_, node, TVE_EXPAND);
    marking_ = false;
    node = match;
    rest = ILGetNext(rest);
  }
  marking_ = true;
  TreeView_SelectItem(tree_, node);
  TreeView_EnsureVisible(tree_, node);
  marking_ = false;
  return true;
}

std::wstring FolderTree::Outline() const {
  std::wstring text;
  for (HTREEITEM node = TreeView_GetRoot(tree_); node; node = TreeView_GetNextSibling(tree_, node)) {
    AppendOutline(node, 0, text);
  }
  return text;
}

void FolderTree::AppendOutline(HTREEITEM node, int depth, std::wstring& text) const {
  wchar_t name[260] = {};
  TVITEMW item = {};
  item.mask = TVIF_TEXT | TVIF_HANDLE | TVIF_STATE;
  item.hItem = node;
  item.pszText = name;
  item.cchTextMax = ARRAYSIZE(name);
  item.stateMask = TVIS_SELECTED;
  SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  text.append(static_cast<std::size_t>(depth), L'\t');
  text += name;
  if (item.state & TVIS_SELECTED) text += L" *";
  text += L'\n';
  for (HTREEITEM child = TreeView_GetChild(tree_, node); child; child = TreeView_GetNextSibling(tree_, child)) {
    AppendOutline(child, depth + 1, text);
  }
}

}  // namespace qv::browse
