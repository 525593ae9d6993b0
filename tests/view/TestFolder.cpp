#include "view/TestFolder.h"

#include <shlwapi.h>

#include <cstring>

#include "runtime/ModuleObjects.h"
#include "common/Text.h"
#include "pidl/CPidlManager.h"
#include "view/CShellView.h"
#include "view/CListWindow.h"

namespace qv::test {
namespace {

class TestEnumerator : public ComObject<TestEnumerator, NotCounted, IEnumIDList> {
 public:
  explicit TestEnumerator(const std::vector<CItemIdList>& items) : items_(items) {}
  static const InterfaceEntry* InterfaceTable() {
    static const InterfaceEntry table[] = {QV_INTERFACE(TestEnumerator, IEnumIDList), {nullptr, 0}};
    return table;
  }
  STDMETHODIMP Next(ULONG count, PITEMID_CHILD* items, ULONG* fetched) override {
    ULONG given = 0;
    while (given < count && next_ < items_.size()) items[given++] = ThePidlManager()->Copy(items_[next_++].Get());
    if (fetched) *fetched = given;
    return given == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    next_ += count;
    return S_OK;
  }
  STDMETHODIMP Reset() override {
    next_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumIDList**) override { return E_NOTIMPL; }

 private:
  std::vector<CItemIdList> items_;
  std::size_t next_ = 0;
};

// Image 0 a folder, image 1 a document.
class TestIcon : public ComObject<TestIcon, NotCounted, IExtractIconW> {
 public:
  explicit TestIcon(bool result) : result_(result) {}
  static const InterfaceEntry* InterfaceTable() {
    static const InterfaceEntry table[] = {{&IID_IExtractIconW, InterfaceOffset<TestIcon, IExtractIconW>()},
                                           {nullptr, 0}};
    return table;
  }
  STDMETHODIMP GetIconLocation(UINT, LPWSTR, UINT, int* index, UINT* flags) override {
    *index = result_ ? 1 : 0;
    *flags = GIL_NOTFILENAME;
    return S_OK;
  }
  STDMETHODIMP Extract(LPCWSTR, UINT, HICON*, HICON*, UINT) override { return E_NOTIMPL; }

 private:
  bool result_;
};

std::string NameOf(LPCITEMIDLIST item) {
  if (!item) return "null";
  return CPidlManager::ItemName(item);
}

// A context menu that records its use: items at offsets 0 (default), 2 (the
// "rename" verb), 11, 12, 15 and 16 (where a merged shell item would lie).
class TestContextMenu : public ComObject<TestContextMenu, NotCounted, IContextMenu3> {
 public:
  TestContextMenu(std::vector<std::string>& calls, std::vector<UINT>& messages, std::string selection)
      : calls_(calls), messages_(messages), selection_(selection) {}
  static const InterfaceEntry* InterfaceTable() {
    static const InterfaceEntry table[] = {QV_INTERFACE(TestContextMenu, IContextMenu),
                                           QV_INTERFACE(TestContextMenu, IContextMenu2),
                                           QV_INTERFACE(TestContextMenu, IContextMenu3), {nullptr, 0}};
    return table;
  }
  STDMETHODIMP HandleMenuMsg(UINT message, WPARAM, LPARAM) override {
    messages_.push_back(message);
    return S_OK;
  }
  STDMETHODIMP HandleMenuMsg2(UINT message, WPARAM, LPARAM, LRESULT* result) override {
    messages_.push_back(message);
    if (result) *result = 0;
    return S_OK;
  }
  STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT first, UINT last, UINT flags) override {
    calls_.push_back("Query(" + selection_ + ";" + std::to_string(index) + "," + std::to_string(first) + "," +
                     std::to_string(flags) + ")");
    for (UINT offset : {0u, 2u, 11u, 12u, 15u, 16u}) {
      std::string text = "item " + std::to_string(offset);
      UINT state = offset == 0 ? MFS_DEFAULT : 0;
      MENUITEMINFOA item = {sizeof item, MIIM_ID | MIIM_STRING | MIIM_STATE};
      item.fState = state;
      item.wID = first + offset;
      item.dwTypeData = text.data();
      InsertMenuItemA(menu, index++, TRUE, &item);
    }
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 17);
  }
  STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override {
    calls_.push_back("Invoke(" + std::to_string(reinterpret_cast<UINT_PTR>(info->lpVerb)) + "," +
                     std::to_string(info->cbSize) + "," + std::to_string(info->nShow) + ")");
    return S_OK;
  }
  STDMETHODIMP GetCommandString(UINT_PTR offset, UINT type, UINT*, CHAR* name, UINT capacity) override {
    if (offset != 2) return E_INVALIDARG;
    if (type == GCS_VERBA) {
      lstrcpynA(name, "rename", static_cast<int>(capacity));
    } else if (type == GCS_VERBW) {
      lstrcpynW(reinterpret_cast<wchar_t*>(name), L"rename", static_cast<int>(capacity));
    } else {
      return E_INVALIDARG;
    }
    return S_OK;
  }

 private:
  std::vector<std::string>& calls_;
  std::vector<UINT>& messages_;
  std::string selection_;
};

// A drop target that records its calls as "Call(target)" and takes moves onto
// any target but the one named "Locked".
class TestDropTarget : public ComObject<TestDropTarget, NotCounted, IDropTarget> {
 public:
  TestDropTarget(std::vector<std::string>& calls, std::string target) : calls_(calls), target_(target) {}
  static const InterfaceEntry* InterfaceTable() {
    static const InterfaceEntry table[] = {QV_INTERFACE(TestDropTarget, IDropTarget), {nullptr, 0}};
    return table;
  }
  STDMETHODIMP DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override { return Answer("DragEnter", effect); }
  STDMETHODIMP DragOver(DWORD, POINTL, DWORD* effect) override { return Answer("DragOver", effect); }
  STDMETHODIMP DragLeave() override {
    calls_.push_back("DragLeave(" + target_ + ")");
    return S_OK;
  }
  STDMETHODIMP Drop(IDataObject*, DWORD, POINTL, DWORD* effect) override { return Answer("Drop", effect); }

 private:
  HRESULT Answer(const char* call, DWORD* effect) {
    calls_.push_back(std::string(call) + "(" + target_ + ")");
    *effect = target_ == "Locked" ? DROPEFFECT_NONE : (*effect & DROPEFFECT_MOVE);
    return S_OK;
  }
  std::vector<std::string>& calls_;
  std::string target_;
};

std::string NamesOf(UINT count, PCUITEMID_CHILD_ARRAY items) {
  std::string names;
  for (UINT i = 0; i < count; ++i) names += (i ? "," : "") + NameOf(items[i]);
  return names;
}

ImageListHandle MakeImageList(int size) {
  ImageListHandle list(ImageList_Create(size, size, ILC_MASK | ILC_COLOR32, 2, 2));
  for (int index : {3, 1}) {
    HICON large = nullptr;
    HICON small = nullptr;
    ExtractIconExA("shell32.dll", index, &large, &small, 1);
    HICON icon = size > 16 ? large : small;
    if (!icon) icon = LoadIcon(nullptr, IDI_APPLICATION);
    ImageList_ReplaceIcon(list.Get(), -1, icon);
    if (large) DestroyIcon(large);
    if (small) DestroyIcon(small);
  }
  return list;
}

FolderSettings FolderRecord(const std::string& name, const std::string& query) {
  FolderSettings settings;
  settings.name = name;
  settings.query = query;
  return settings;
}

}  // namespace

TestFolder::TestFolder(const std::string& name, const std::string& query, ViewStyleStore& styles)
    : name_(name), styles_(styles), self_(*ThePidlManager()), small_(MakeImageList(16)), large_(MakeImageList(32)) {
  if (!name.empty()) self_.Adopt(ThePidlManager()->CreateFolderItem(FolderRecord(name, query)));
}

TestFolder::~TestFolder() = default;

const InterfaceEntry* TestFolder::InterfaceTable() {
  static const InterfaceEntry table[] = {QV_INTERFACE(TestFolder, IShellFolder), {nullptr, 0}};
  return table;
}

void TestFolder::AddFolder(const std::string& name, const std::string& query) {
  CItemIdList item(*ThePidlManager());
  item.Adopt(ThePidlManager()->CreateFolderItem(FolderRecord(name, query)));
  children_.push_back(item);
}

void TestFolder::AddResult(const std::string& name, const std::string& path) {
  CItemIdList item(*ThePidlManager());
  item.Adopt(ThePidlManager()->CreateResultItem(name, path, 0));
  children_.push_back(item);
}

STDMETHODIMP TestFolder::EnumObjects(HWND, SHCONTF, IEnumIDList** enumerator) {
  resultCount_ = folderCount_ = 0;
  for (const CItemIdList& child : children_) ++(child.IsResult() ? resultCount_ : folderCount_);
  return CreateComObject<TestEnumerator>(IID_IEnumIDList, reinterpret_cast<void**>(enumerator), children_);
}

STDMETHODIMP TestFolder::BindToObject(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void** ppv) {
  *ppv = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP TestFolder::BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void** ppv) {
  *ppv = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP TestFolder::CompareIDs(LPARAM, PCUIDLIST_RELATIVE first, PCUIDLIST_RELATIVE second) {
  return MAKE_HRESULT(SEVERITY_SUCCESS, 0, static_cast<USHORT>(CPidlManager::Compare(first, second)));
}

STDMETHODIMP TestFolder::CreateViewObject(HWND, REFIID riid, void** ppv) {
  if (IsEqualIID(riid, IID_IDropTarget)) {
    return CreateComObject<TestDropTarget>(riid, ppv, dropCalls, name_.empty() ? std::string("root") : name_);
  }
  if (!IsEqualIID(riid, IID_IShellView)) {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  return CreateComObject<CShellView>(riid, ppv, static_cast<IShellFolder*>(this), static_cast<IViewFolder*>(this),
                                     self_.Get());
}

STDMETHODIMP TestFolder::GetAttributesOf(UINT count, PCUITEMID_CHILD_ARRAY items, SFGAOF* attributes) {
  SFGAOF common = SFGAO_CANRENAME | SFGAO_FOLDER | SFGAO_BROWSABLE;
  for (UINT i = 0; i < count; ++i) {
    if (CPidlManager::IsResultItem(items[i])) common &= ~(SFGAO_FOLDER | SFGAO_BROWSABLE);
  }
  *attributes &= common;
  return S_OK;
}

STDMETHODIMP TestFolder::GetUIObjectOf(HWND, UINT count, PCUITEMID_CHILD_ARRAY items, REFIID riid, UINT*,
                                       void** ppv) {
  *ppv = nullptr;
  if (IsEqualIID(riid, IID_IContextMenu)) {
    return CreateComObject<TestContextMenu>(riid, ppv, menuCalls, menuMessages, NamesOf(count, items));
  }
  if (IsEqualIID(riid, IID_IDataObject)) {
    menuCalls.push_back("DataObject(" + NamesOf(count, items) + ")");
    return SHCreateDataObject(nullptr, 0, nullptr, nullptr, riid, ppv);
  }
  if (IsEqualIID(riid, IID_IDropTarget)) {
    if (count != 1) return E_INVALIDARG;
    return CreateComObject<TestDropTarget>(riid, ppv, dropCalls, NameOf(items[0]));
  }
  if (count != 1 || !IsEqualIID(riid, IID_IExtractIconW)) return E_NOINTERFACE;
  return CreateComObject<TestIcon>(riid, ppv, CPidlManager::IsResultItem(items[0]));
}

STDMETHODIMP TestFolder::GetDisplayNameOf(PCUITEMID_CHILD item, SHGDNF, STRRET* name) {
  std::wstring wide = ToWide(CPidlManager::ItemName(item));
  name->uType = STRRET_WSTR;
  return SHStrDupW(wide.c_str(), &name->pOleStr);
}

int TestFolder::GetViewStyle() {
  if (name_.empty()) return kModeReport;
  auto stored = styles_.modes.find(name_);
  return stored == styles_.modes.end() ? kModeReport : stored->second;
}

void TestFolder::SetViewStyle(int mode) {
  if (!name_.empty()) styles_.modes[name_] = mode;
}

std::string TestFolder::GetSortOrder() {
  auto stored = styles_.sorts.find(name_);
  return stored == styles_.sorts.end() ? std::string() : stored->second;
}

void TestFolder::SetSortOrder(const std::string& order) {
  if (!name_.empty()) styles_.sorts[name_] = order;
}

bool TestFolder::RenameItem(LPCITEMIDLIST item, const char* newName) {
  renames.push_back(CPidlManager::ItemName(item) + "->" + newName);
  if (!acceptRenames) return false;
  for (CItemIdList& child : children_) {
    if (!CPidlManager::IsSameItem(child.Get(), item)) continue;
    FolderSettings settings;
    if (CPidlManager::ReadFolderSettings(child.Get(), settings)) {
      settings.name = newName;
      child.Adopt(ThePidlManager()->CreateFolderItem(settings));
    } else {
      child.Adopt(ThePidlManager()->CreateResultItem(newName, CPidlManager::ResultPath(child.Get()), 0));
    }
    return true;
  }
  return false;
}

CItemIdList TestFolder::NewFolder() {
  operations.push_back("NewFolder");
  return CItemIdList(*ThePidlManager());
}

void TestFolder::DeleteFolder(HWND owner, LPCITEMIDLIST item, bool confirm) {
  operations.push_back("DeleteFolder(" + NameOf(item) + (confirm ? ",confirm" : "") + ")");
}

void TestFolder::DeleteSelection(HWND owner, const LPCITEMIDLIST* items) {
  std::string names;
  for (const LPCITEMIDLIST* item = items; *item; ++item) names += (item == items ? "" : ",") + NameOf(*item);
  operations.push_back("DeleteSelection(" + names + ")");
}

void TestFolder::ShowProperties(HWND owner, LPCITEMIDLIST item) {
  operations.push_back("ShowProperties(" + NameOf(item) + ")");
}

}  // namespace qv::test
