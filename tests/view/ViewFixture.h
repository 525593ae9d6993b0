#pragma once
// A view test's world: module objects on a temporary data directory, the
// stand-in search service installed, a test browser, and folders to open.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/DesktopSearchInterfaces.h"
#include "common/Holders.h"
#include "runtime/ModuleObjects.h"
#include "common/Text.h"
#include "support/SearchStub.h"
#include "support/TempDirectory.h"
#include "view/CShellView.h"
#include "view/TestBrowser.h"
#include "view/TestFolder.h"

namespace qv::test {

// Wine's COM reads only the machine's classes, where the stand-in service
// registers per user; its keys are copied there while the service is installed.
class MachineClassesMirror {
 public:
  void Copy() {
    for (const wchar_t* progId : {kQueryApiProgId, kRegistrarProgId}) {
      std::string progIdKey = "Software\\Classes\\" + ToUtf8(progId);
      char clsid[64] = {};
      LONG size = sizeof clsid;
      if (RegQueryValueA(HKEY_CURRENT_USER, (progIdKey + "\\CLSID").c_str(), clsid, &size) != ERROR_SUCCESS) continue;
      CopyKey(progIdKey);
      CopyKey(std::string("Software\\Classes\\CLSID\\") + clsid);
    }
  }
  void Remove() {
    for (const std::string& key : copied_) RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
    copied_.clear();
  }
  ~MachineClassesMirror() { Remove(); }

 private:
  void CopyKey(const std::string& key) {
    RegKey from;
    RegKey to;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, from.Put()) != ERROR_SUCCESS) return;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, to.Put(), nullptr) !=
        ERROR_SUCCESS)
      return;
    RegCopyTreeA(from.Get(), nullptr, to.Get());
    copied_.push_back(key);
  }
  std::vector<std::string> copied_;
};

class ViewTest : public testing::Test {
 protected:
  ViewTest() : modules_(dir_.Path()) { mirror_.Copy(); }
  ~ViewTest() override {
    if (browser_) browser_->BrowseAway();
    PumpMessages();
  }
  // As on a machine without the desktop search service.
  void RemoveSearchService() {
    stub_.Uninstall();
    mirror_.Remove();
  }

  ComPtr<TestFolder> MakeFolder(const std::string& name = "Work", const std::string& query = "report") {
    return MakeComObject<TestFolder>(name, query, styles_);
  }
  // A folder with two sub-folders and three results, in no particular order.
  ComPtr<TestFolder> MakeFilledFolder() {
    ComPtr<TestFolder> folder = MakeFolder();
    folder->AddResult("minutes.txt", "C:\\work\\minutes.txt");
    folder->AddFolder("Drafts", "draft");
    folder->AddResult("agenda.doc", "C:\\work\\agenda.doc");
    folder->AddFolder("Archive");
    folder->AddResult("budget.xls", "");
    return folder;
  }
  // Opens the folder's view in the test browser (a new browser each time).
  ComPtr<IShellView> Open(TestFolder* folder, const RECT* rect = nullptr, bool dialog = false) {
    if (browser_) browser_->BrowseAway();
    browser_ = MakeComObject<TestBrowser>(dialog);
    ComPtr<IShellView> view;
    EXPECT_EQ(S_OK, folder->CreateViewObject(nullptr, IID_IShellView, view.PutVoid()));
    if (!view) return view;
    EXPECT_EQ(S_OK, browser_->Show(view.Get(), rect));
    return view;
  }
  static CShellView* Impl(IShellView* view) { return static_cast<CShellView*>(view); }
  static HWND ListOf(IShellView* view) { return Impl(view)->ListControl(); }
  // Lets the view's timers run for about the given time.
  static void WaitAndPump(DWORD milliseconds) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
      PumpMessages();
      Sleep(20);
    }
  }
  // Handles messages until the view holds all its folder's results (a search
  // that never completes ends after the service's wait limit).
  static void WaitForFill(IShellView* view) {
    while (Impl(view)->IsFilling()) {
      PumpMessages();
      Sleep(5);
    }
  }

  // The texts the control shows in a column (UTF-8), read back through the
  // control's wide interface.
  static std::vector<std::string> Column(HWND list, int column) {
    std::vector<std::string> texts;
    int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
      wchar_t text[1024] = {};
      LVITEMW item = {};
      item.iSubItem = column;
      item.pszText = text;
      item.cchTextMax = ARRAYSIZE(text);
      SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
      texts.push_back(ToUtf8(text));
    }
    return texts;
  }
  // Sends a notification to the view window as the list or its header would.
  static LRESULT Notify(IShellView* view, NMHDR& header) {
    return SendMessageA(Impl(view)->ViewWindow(), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
  }
  static void ClickColumn(IShellView* view, int column) {
    NMHEADERW click = {};
    click.hdr.code = HDN_ITEMCLICKW;
    click.iItem = column;
    Notify(view, click.hdr);
  }
  static void Command(IShellView* view, UINT command) {
    SendMessageA(Impl(view)->ViewWindow(), WM_COMMAND, MAKEWPARAM(command, 0), 0);
  }

  TempDirectory dir_;
  ScopedModuleObjects modules_;
  SearchStub stub_;
  MachineClassesMirror mirror_;
  ViewStyleStore styles_;
  ComPtr<TestBrowser> browser_;
};

}  // namespace qv::test
