#include "ui/CDropTarget.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstring>

#include "common/ClassIds.h"
#include "common/Holders.h"
#include "common/ModulePaths.h"
#include "common/Text.h"
#include "runtime/ModuleUse.h"
#include "pidl/CPidlManager.h"
#include "folders/CFolderStore.h"
#include "operations/FolderOperations.h"
#include "ui/Confirmation.h"
#include "ui/DataBlocks.h"
#include "resources/resource.h"

namespace qv {
namespace {

// The number of items of a list and the bytes the first `count` of them take.
std::size_t ItemCount(LPCITEMIDLIST list) {
  std::size_t count = 0;
  for (const BYTE* item = reinterpret_cast<const BYTE*>(list); item && reinterpret_cast<LPCITEMIDLIST>(item)->mkid.cb;
       item += reinterpret_cast<LPCITEMIDLIST>(item)->mkid.cb) {
    ++count;
  }
  return count;
}

std::vector<BYTE> FirstItems(LPCITEMIDLIST list, std::size_t count) {
  const BYTE* start = reinterpret_cast<const BYTE*>(list);
  const BYTE* end = start;
  for (std::size_t i = 0; i < count; ++i) end += reinterpret_cast<LPCITEMIDLIST>(end)->mkid.cb;
  std::vector<BYTE> copy(start, end);
  copy.resize(copy.size() + sizeof(USHORT), 0);
  return copy;
}

bool IsOneFolderItem(LPCITEMIDLIST item) {
  return CPidlManager::KindOf(item) == ItemKind::Folder &&
         CPidlManager::KindOf(CPidlManager::GetNextItem(item)) == ItemKind::None;
}

// The item's own name as its folder shows it; empty when it has none.
std::wstring NameOf(IShellFolder* folder, LPCITEMIDLIST item) {
  STRRET name = {};
  if (FAILED(folder->GetDisplayNameOf(item, SHGDN_INFOLDER, &name))) return {};
  TaskMemory<wchar_t> text;
  if (FAILED(StrRetToStrW(&name, item, text.Put())) || !text.Get()) return {};
  return text.Get();
}

// True when the folder has a child folder of this name.
bool HoldsFolderNamed(IShellFolder* folder, const std::wstring& name) {
  std::wstring buffer = name;
  TaskMemory<ITEMIDLIST> child;
  return SUCCEEDED(folder->ParseDisplayName(nullptr, nullptr, buffer.data(), nullptr, child.Put(), nullptr)) &&
         child.Get();
}

}  // namespace

CDropTarget::CDropTarget(IShellFolder* folder, LPCITEMIDLIST absoluteList)
    : folder_(ComPtr<IShellFolder>::Share(folder)), absolute_(RequirePidlManager(), absoluteList) {
  if (!folder) throw ComError(E_INVALIDARG);
}

CDropTarget::~CDropTarget() = default;

const InterfaceEntry* CDropTarget::InterfaceTable() {
  static const InterfaceEntry table[] = {QV_INTERFACE(CDropTarget, IDropTarget), {}};
  return table;
}

bool CDropTarget::IsAtOrBelow(IShellFolder* desktop, LPCITEMIDLIST list) const {
  LPCITEMIDLIST here = absolute_.Get();
  std::size_t depth = ItemCount(list);
  if (ItemCount(here) < depth) return false;
  std::vector<BYTE> prefix = FirstItems(here, depth);
  HRESULT order = desktop->CompareIDs(0, list, reinterpret_cast<LPCITEMIDLIST>(prefix.data()));
  return SUCCEEDED(order) && static_cast<short>(HRESULT_CODE(order)) == 0;
}

CDropTarget::Plan CDropTarget::PlanDrop(IDataObject* data) const {
  Plan plan;
  LPCITEMIDLIST here = absolute_.Get();
  // A result is no place for anything, and a folder not yet placed is nowhere.
  if (!data || !here || CPidlManager::KindOf(CPidlManager::GetLastItem(here)) == ItemKind::Result) return plan;

  StorageMedium medium;
  FORMATETC request = GlobalMemoryFormat(PrivateClipboardFormat());
  if (FAILED(data->GetData(&request, medium.Put())) || medium.Get().tymed != TYMED_HGLOBAL) return plan;
  GlobalLockGuard lock(medium.Get().hGlobal);
  DroppedLists lists;
  if (!lock.Get() || !ReadFolderDropBlock(lock.Get(), lock.Size(), lists) || lists.items.empty()) return plan;
  // Refused before any item is looked at: the work stays bounded however many
  // items a block claims.
  if (lists.items.size() > kMostFoldersPerDrop) {
    plan.tooMany = true;
    return plan;
  }

  CPidlManager& manager = RequirePidlManager();
  ComPtr<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(desktop.Put())) || !desktop) return plan;
  // Folders dropped onto the folder that holds them stay where they are.
  HRESULT order = desktop->CompareIDs(0, lists.folder, here);
  if (FAILED(order) || static_cast<short>(HRESULT_CODE(order)) == 0) return plan;
  ComPtr<IShellFolder> source;
  if (FAILED(desktop->BindToObject(lists.folder, nullptr, IID_IShellFolder, source.PutVoid())) || !source) return plan;
  // Only the component's own folders hold search folders to move.
  ComPtr<IPersist> persist = source.As<IPersist>(IID_IPersist);
  CLSID sourceClass = {};
  if (!persist || FAILED(persist->GetClassID(&sourceClass)) || !IsEqualCLSID(sourceClass, kShellFolderClassId)) {
    return plan;
  }

  CItemIdList sourceList(manager, lists.folder);
  for (LPCITEMIDLIST item : lists.items) {
    if (!IsOneFolderItem(item)) continue;
    std::wstring name = NameOf(source.Get(), item);
    if (name.empty() || std::find(plan.names.begin(), plan.names.end(), name) != plan.names.end()) continue;
    // Still there, not this folder or one that holds it, and no namesake here.
    if (!HoldsFolderNamed(source.Get(), name) || HoldsFolderNamed(folder_.Get(), name)) continue;
    CItemIdList dragged(manager);
    dragged.Adopt(sourceList.ConcatWith(item));
    if (!dragged.Get()) throw std::bad_alloc();
    if (IsAtOrBelow(desktop.Get(), dragged.Get())) continue;
    plan.items.emplace_back(manager, item);
    plan.names.push_back(std::move(name));
  }
  if (!plan.items.empty()) {
    plan.source = std::move(source);
    plan.sourceList = FirstItems(lists.folder, ItemCount(lists.folder));
  }
  return plan;
}

DWORD CDropTarget::EffectFor(const Plan& plan, DWORD keyState, DWORD allowed) {
  if (plan.items.empty()) return DROPEFFECT_NONE;
  // Ctrl asks for a copy, Ctrl+Shift or Alt for a link: neither is made.
  if (keyState & (MK_CONTROL | MK_ALT)) return DROPEFFECT_NONE;
  return (allowed & DROPEFFECT_MOVE) ? DROPEFFECT_MOVE : DROPEFFECT_NONE;
}

std::size_t CDropTarget::MoveFolders(const Plan& plan) const {
  std::vector<LPCITEMIDLIST> items;
  items.reserve(plan.items.size() + 1);
  for (const CItemIdList& item : plan.items) items.push_back(item.Get());
  items.push_back(nullptr);
  // The namespace root takes dropped folders like any other folder.
  FolderOperations here(RequireFolderStore(), absolute_.Get(), false, MessageBoxPrompts());
  here.MoveFoldersFrom(reinterpret_cast<LPCITEMIDLIST>(plan.sourceList.data()), items.data(),
                       static_cast<UINT>(plan.items.size()));
  // What happened, read back: a folder moved when it left the source and is here.
  std::size_t moved = 0;
  for (const std::wstring& name : plan.names) {
    if (!HoldsFolderNamed(plan.source.Get(), name) && HoldsFolderNamed(folder_.Get(), name)) ++moved;
  }
  return moved;
}

STDMETHODIMP CDropTarget::DragEnter(IDataObject* data, DWORD keyState, POINTL, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  DWORD allowed = *effect;
  *effect = DROPEFFECT_NONE;
  return ComBoundary([&]() -> HRESULT {
    plan_ = Plan();
    entered_ = true;
    plan_ = PlanDrop(data);
    *effect = EffectFor(plan_, keyState, allowed);
    return S_OK;
  });
}

STDMETHODIMP CDropTarget::DragOver(DWORD keyState, POINTL, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  *effect = entered_ ? EffectFor(plan_, keyState, *effect) : DROPEFFECT_NONE;
  return S_OK;
}

STDMETHODIMP CDropTarget::DragLeave() {
  return ComBoundary([&]() -> HRESULT {
    entered_ = false;
    plan_ = Plan();
    return S_OK;
  });
}

STDMETHODIMP CDropTarget::Drop(IDataObject* data, DWORD keyState, POINTL, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  DWORD allowed = *effect;
  *effect = DROPEFFECT_NONE;
  if (!data) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    bool entered = entered_;
    entered_ = false;
    plan_ = Plan();
    // A drop comes after DragEnter; one without is not taken.
    if (!entered) return S_OK;
    // The data is read again: what is dropped is what Drop was handed.
    Plan plan = PlanDrop(data);
    if (plan.tooMany) {
      std::string text =
          FormatText(LoadResourceText(IDS_TOO_MANY_FOLDERS_TO_MOVE).c_str(), static_cast<unsigned>(kMostFoldersPerDrop));
      ShowInformation(nullptr, text.c_str(), kProductName);
      return S_OK;
    }
    if (EffectFor(plan, keyState, allowed) != DROPEFFECT_MOVE) return S_OK;
    if (MoveFolders(plan) > 0) *effect = DROPEFFECT_MOVE;
    return S_OK;
  });
}

}  // namespace qv
