#include "support/DragDropFixture.h"

#include "common/Text.h"

#include <cstring>

#include "module/CClassFactory.h"
#include "common/ClassIds.h"
#include "common/Holders.h"
#include "common/Text.h"

namespace qv::test {
namespace {

std::string ClassKeyPath() {
  wchar_t text[64] = {};
  StringFromGUID2(kShellFolderClassId, text, 64);
  char ansi[64] = {};
  WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, sizeof ansi, nullptr, nullptr);
  return std::string("CLSID\\") + ansi;
}

}  // namespace

void DragDropTest::SetUp() {
  // The shell creates a registered item's folder only when the class has an
  // in-process server entry; the class object registered below answers first.
  RegKey key;
  std::string server = ClassKeyPath() + "\\InProcServer32";
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, server.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                           key.Put(), nullptr));
  classKeyMade_ = true;
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(S_OK, GetClassObject(kShellFolderClassId, IID_IClassFactory, factory.PutVoid()));
  ASSERT_EQ(S_OK, CoRegisterClassObject(kShellFolderClassId, factory.Get(), CLSCTX_INPROC_SERVER,
                                        REGCLS_MULTIPLEUSE, &classRegistration_));
}

void DragDropTest::TearDown() {
  if (classRegistration_) CoRevokeClassObject(classRegistration_);
  if (classKeyMade_) RegDeleteTreeA(HKEY_CLASSES_ROOT, ClassKeyPath().c_str());
  module_.reset();
}

void DragDropTest::UseDocument(const std::string& xml) {
  module_.reset();
  WriteFileText(dir_.File(kDocumentFileName), xml);
  module_ = std::make_unique<ScopedModuleObjects>(dir_.Path());
}

TestItemList DragDropTest::RootList() {
  std::vector<BYTE> item(20, 0);
  item[0] = 20;
  item[2] = 0x1F;  // a registered item of the desktop
  std::memcpy(&item[4], &kShellFolderClassId, sizeof kShellFolderClassId);
  TestItemList list;
  list.Raw(item);
  return list;
}

TestItemList DragDropTest::FolderItem(const std::string& name) {
  TestItemList list;
  list.Folder(name);
  return list;
}

TestItemList DragDropTest::ResultItem(const std::string& name, const std::string& path) {
  TestItemList list;
  list.Result(name, path);
  return list;
}

ComPtr<CShellFolder> DragDropTest::Root() {
  ComPtr<CShellFolder> root = MakeComObject<CShellFolder>();
  EXPECT_EQ(S_OK, root->Initialize(RootList().Get()));
  return root;
}

ComPtr<IDataObject> DragDropTest::DataObjectFor(IShellFolder* folder, const std::vector<const TestItemList*>& items) {
  std::vector<LPCITEMIDLIST> lists;
  for (const TestItemList* item : items) lists.push_back(item->Get());
  ComPtr<IDataObject> data;
  EXPECT_EQ(S_OK, folder->GetUIObjectOf(nullptr, static_cast<UINT>(lists.size()), lists.data(), IID_IDataObject,
                                        nullptr, data.PutVoid()));
  return data;
}

ComPtr<IDropTarget> DragDropTest::DropTargetOnChild(IShellFolder* folder, const TestItemList& child) {
  LPCITEMIDLIST item = child.Get();
  ComPtr<IDropTarget> target;
  EXPECT_EQ(S_OK, folder->GetUIObjectOf(nullptr, 1, &item, IID_IDropTarget, nullptr, target.PutVoid()));
  return target;
}

ComPtr<IDropTarget> DragDropTest::DropTargetOn(IShellFolder* folder) {
  ComPtr<IDropTarget> target;
  EXPECT_EQ(S_OK, folder->CreateViewObject(nullptr, IID_IDropTarget, target.PutVoid()));
  return target;
}

std::vector<BYTE> DragDropTest::BlockOf(IDataObject* data, CLIPFORMAT format) {
  FORMATETC request = {format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  StorageMedium medium;
  HRESULT hr = data->GetData(&request, medium.Put());
  EXPECT_EQ(S_OK, hr);
  if (FAILED(hr)) return {};
  EXPECT_EQ(static_cast<DWORD>(TYMED_HGLOBAL), medium.Get().tymed);
  EXPECT_EQ(nullptr, medium.Get().pUnkForRelease);
  GlobalLockGuard lock(medium.Get().hGlobal);
  const auto* bytes = static_cast<const BYTE*>(lock.Get());
  return std::vector<BYTE>(bytes, bytes + lock.Size());
}

std::vector<std::string> ChildFolderNames(const std::string& documentPath,
                                          std::initializer_list<std::string> path) {
  CFolderStore store(ToWide(documentPath));
  TestItemList list = DragDropTest::RootList();
  for (const std::string& name : path) list.Folder(name);
  ComPtr<IXMLDOMNode> node = store.FindFolderNode(list.Get());
  std::vector<std::string> names;
  if (!node) return names;
  ComPtr<IXMLDOMNode> child;
  node->get_firstChild(child.Put());
  while (child) {
    char name[kNameSize] = {};
    CFolderStore::GetNodeAttribute(child.Get(), "name", name, sizeof name);
    names.emplace_back(name);
    ComPtr<IXMLDOMNode> next;
    child->get_nextSibling(next.Put());
    child = next;
  }
  return names;
}

}  // namespace qv::test
