// A host process for the sharing tests: loads quorvane.dll from the path it is
// given, the way Explorer or a program's file dialog loads it, and changes search
// folders through the component's COM interfaces while other such processes do
// the same on the same quorvane.xml (the one in QUORVANE_DATA_DIR).
//
//   worker DLL changes ID GO DONE LISTED LISTING   25 changes of mixed kinds on the
//       worker's own folders once the event GO is set; then releases the semaphore
//       DONE, waits for the event LISTED and writes every folder path it lists to
//       the file LISTING.
//   worker DLL hold HELD                           takes the document's lock, sets
//       the event HELD and waits to be ended.
//   worker DLL create NAME                         makes a new folder in the root
//       and names it NAME.
//   worker DLL newfolders COUNT READY GO           releases the semaphore READY once
//       loaded and, once the event GO is set, makes COUNT new folders in the root
//       with the menu's New Folder, one after another.

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "folders/CDocumentLock.h"
#include "common/ClassIds.h"
#include "common/ComBase.h"
#include "common/Holders.h"
#include "common/Text.h"
#include "shellfolder/IQuorvaneShellFolder.h"
#include "support/ShellFolderCalls.h"
#include "support/TestItemList.h"
#include "ConfirmationAnswerer.h"

namespace {

using qv::ComPtr;
using qv::ThrowIfFailed;
using qv::test::ShellList;

// The context menu's own command offsets.
constexpr UINT kNewFolderCommand = 4;
constexpr UINT kDeleteCommand = 5;
constexpr UINT kClearSearchStringCommand = 11;

std::wstring DataDirectory() {
  wchar_t directory[MAX_PATH] = {};
  GetEnvironmentVariableW(L"QUORVANE_DATA_DIR", directory, MAX_PATH);
  std::wstring path = directory;
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path;
}

ComPtr<IShellFolder> CreateRoot(HMODULE module) {
  using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto getClassObject =
      reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  if (!getClassObject) throw qv::ComError(E_NOINTERFACE);
  ComPtr<IClassFactory> factory;
  ThrowIfFailed(getClassObject(qv::kShellFolderClassId, IID_IClassFactory, factory.PutVoid()));
  ComPtr<IShellFolder> folder;
  ThrowIfFailed(factory->CreateInstance(nullptr, IID_IShellFolder, folder.PutVoid()));
  qv::test::TestItemList root;
  root.Root();
  ThrowIfFailed(folder.As<IPersistFolder>()->Initialize(root.Get()));
  return folder;
}

ShellList ParseChild(IShellFolder* folder, const std::string& name) {
  std::wstring wide = qv::ToWide(name.c_str());
  LPITEMIDLIST item = nullptr;
  ThrowIfFailed(folder->ParseDisplayName(nullptr, nullptr, wide.data(), nullptr, &item, nullptr));
  return ShellList(item);
}

void RunMenuCommand(IContextMenu* menu, UINT command) {
  qv::MenuHandle popup(CreatePopupMenu());
  ThrowIfFailed(menu->QueryContextMenu(popup.Get(), 0, 0, 0x7FFF, CMF_NORMAL));
  CMINVOKECOMMANDINFO info = {sizeof info};
  info.lpVerb = MAKEINTRESOURCEA(command);
  info.nShow = SW_SHOWNORMAL;
  ThrowIfFailed(menu->InvokeCommand(&info));
}

void RunItemCommand(IShellFolder* folder, LPCITEMIDLIST item, UINT command) {
  ComPtr<IContextMenu> menu;
  ThrowIfFailed(folder->GetUIObjectOf(nullptr, 1, &item, IID_IContextMenu, nullptr, menu.PutVoid()));
  RunMenuCommand(menu.Get(), command);
}

void RunBackgroundCommand(IShellFolder* folder, UINT command) {
  ComPtr<IContextMenu> menu;
  ThrowIfFailed(folder->CreateViewObject(nullptr, IID_IContextMenu, menu.PutVoid()));
  RunMenuCommand(menu.Get(), command);
}

void Rename(IShellFolder* folder, const std::string& from, const std::string& to) {
  ShellList item = ParseChild(folder, from);
  std::wstring name = qv::ToWide(to.c_str());
  LPITEMIDLIST renamed = nullptr;
  ThrowIfFailed(folder->SetNameOf(nullptr, item.Get(), name.c_str(), SHGDN_INFOLDER, &renamed));
  CoTaskMemFree(renamed);
}

void WriteListing(IShellFolder* folder, const std::string& prefix, std::ofstream& out) {
  for (const ShellList& item : qv::test::EnumerateItems(folder, SHCONTF_FOLDERS)) {
    std::string path = prefix + qv::test::DisplayName(folder, item.Get(), SHGDN_INFOLDER);
    out << path << "\n";
    WriteListing(qv::test::BindTo(folder, item.Get()).Get(), path + "\\", out);
  }
}

int Changes(HMODULE module, const std::string& id, const char* go, const char* done, const char* listed,
            const char* listing) {
  qv::UniqueHandle goEvent(OpenEventA(SYNCHRONIZE, FALSE, go));
  qv::UniqueHandle doneSemaphore(OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, done));
  qv::UniqueHandle listedEvent(OpenEventA(SYNCHRONIZE, FALSE, listed));
  if (!goEvent || !doneSemaphore || !listedEvent) return 3;
  ComPtr<IShellFolder> root = CreateRoot(module);
  qv::test::ConfirmationAnswerer answerer;
  WaitForSingleObject(goEvent.Get(), 60000);

  const std::string own = "w" + id + "-";
  ShellList box = ParseChild(root.Get(), "Box" + id);
  ComPtr<IShellFolder> boxFolder = qv::test::BindTo(root.Get(), box.Get());
  ComPtr<IQuorvaneShellFolder> boxTarget;
  ThrowIfFailed(boxFolder->QueryInterface(__uuidof(IQuorvaneShellFolder), boxTarget.PutVoid()));
  int failures = 0;
  for (int k = 0; k < 5; ++k) {
    std::string n = std::to_string(k);
    try {
      // A rename, a new folder, a move, a change of settings and a delete, each
      // from the document as the other processes left it.
      Rename(root.Get(), own + "f" + n, own + "r" + n);
      RunBackgroundCommand(boxFolder.Get(), kNewFolderCommand);
      ShellList moving = ParseChild(root.Get(), own + "m" + n);
      LPCITEMIDLIST items[] = {moving.Get()};
      ThrowIfFailed(boxTarget->MoveFolders(root.Get(), items, 1, TRUE));
      RunItemCommand(root.Get(), ParseChild(root.Get(), own + "q" + n).Get(), kClearSearchStringCommand);
      RunItemCommand(root.Get(), ParseChild(root.Get(), own + "d" + n).Get(), kDeleteCommand);
    } catch (const qv::ComError& error) {
      std::printf("change %d failed: 0x%08lX\n", k, static_cast<unsigned long>(error.Result()));
      ++failures;
    }
  }
  ReleaseSemaphore(doneSemaphore.Get(), 1, nullptr);
  WaitForSingleObject(listedEvent.Get(), 60000);
  std::ofstream out(listing);
  WriteListing(root.Get(), "", out);
  return failures == 0 ? 0 : 1;
}

int Hold(const char* held) {
  qv::UniqueHandle heldEvent(OpenEventA(EVENT_MODIFY_STATE, FALSE, held));
  if (!heldEvent) return 3;
  qv::CDocumentLock lock(DataDirectory() + L"quorvane.xml");
  lock.Acquire();
  SetEvent(heldEvent.Get());
  Sleep(INFINITE);
  return 0;
}

int Create(HMODULE module, const std::string& name) {
  ComPtr<IShellFolder> root = CreateRoot(module);
  // A change that cannot be saved says so in a message box.
  qv::test::ConfirmationAnswerer answerer;
  RunBackgroundCommand(root.Get(), kNewFolderCommand);
  Rename(root.Get(), "New Folder", name);
  return 0;
}

int NewFolders(HMODULE module, int count, const char* ready, const char* go) {
  qv::UniqueHandle readySemaphore(OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, ready));
  qv::UniqueHandle goEvent(OpenEventA(SYNCHRONIZE, FALSE, go));
  if (!readySemaphore || !goEvent) return 3;
  ComPtr<IShellFolder> root = CreateRoot(module);
  qv::test::ConfirmationAnswerer answerer;
  ReleaseSemaphore(readySemaphore.Get(), 1, nullptr);
  WaitForSingleObject(goEvent.Get(), 60000);
  for (int i = 0; i < count; ++i) RunBackgroundCommand(root.Get(), kNewFolderCommand);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  if (FAILED(OleInitialize(nullptr))) return 2;
  int result = 2;
  {
    HMODULE module = LoadLibraryA(argv[1]);
    if (!module) return 4;
    std::string command = argv[2];
    try {
      if (command == "changes" && argc == 8) result = Changes(module, argv[3], argv[4], argv[5], argv[6], argv[7]);
      if (command == "hold" && argc == 4) result = Hold(argv[3]);
      if (command == "create" && argc == 4) result = Create(module, argv[3]);
      if (command == "newfolders" && argc == 6) result = NewFolders(module, std::atoi(argv[3]), argv[4], argv[5]);
    } catch (const qv::ComError& error) {
      std::printf("failed: 0x%08lX\n", static_cast<unsigned long>(error.Result()));
      result = 1;
    }
  }
  OleUninitialize();
  return result;
}
