#pragma once
// A shell browser for view tests: a real top-level window that hosts one view,
// and a record of every call the view makes on the browser. With `dialog` set it
// also answers as a file dialog (ICommDlgBrowser).

#include <windows.h>
#include <shlobj.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/ComBase.h"

namespace qv::test {

class TestBrowser : public ComObject<TestBrowser, NotCounted, IShellBrowser, ICommDlgBrowser> {
 public:
  explicit TestBrowser(bool dialog = false);
  ~TestBrowser() override;
  static const InterfaceEntry* InterfaceTable();
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;

  HWND Frame() const { return frame_; }
  IShellView* View() const { return view_.Get(); }
  HWND ViewWindow() const { return viewWindow_; }
  // Creates the view's window in the frame's client area (or in `rect`).
  HRESULT Show(IShellView* view, const RECT* rect = nullptr, UINT viewMode = FVM_DETAILS);
  // What a browser does when the user opens another folder: deactivates and
  // destroys the view's window, then drops the view.
  void BrowseAway();

  // IOleWindow
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  // IShellBrowser
  STDMETHODIMP InsertMenusSB(HMENU, LPOLEMENUGROUPWIDTHS) override;
  STDMETHODIMP SetMenuSB(HMENU shared, HOLEMENU, HWND) override;
  STDMETHODIMP RemoveMenusSB(HMENU shared) override;
  STDMETHODIMP SetStatusTextSB(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModelessSB(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAcceleratorSB(MSG*, WORD) override { return S_FALSE; }
  STDMETHODIMP BrowseObject(PCUIDLIST_RELATIVE, UINT) override;
  STDMETHODIMP GetViewStateStream(DWORD, IStream** stream) override;
  STDMETHODIMP GetControlWindow(UINT id, HWND* window) override;
  STDMETHODIMP SendControlMsg(UINT id, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  STDMETHODIMP QueryActiveShellView(IShellView** view) override;
  STDMETHODIMP OnViewWindowActive(IShellView*) override;
  STDMETHODIMP SetToolbarItems(LPTBBUTTONSB buttons, UINT count, UINT flags) override;
  // ICommDlgBrowser
  STDMETHODIMP OnDefaultCommand(IShellView*) override {
    calls.push_back("OnDefaultCommand()");
    return defaultCommandAnswer;
  }
  STDMETHODIMP OnStateChange(IShellView*, ULONG change) override;
  STDMETHODIMP IncludeObject(IShellView*, PCUITEMID_CHILD item) override;

  // Every call, in order, as "Method(arguments)".
  std::vector<std::string> calls;
  std::map<int, std::string> statusTexts;
  std::vector<int> statusParts;
  std::vector<TBBUTTON> toolbarButtons;
  std::vector<ULONG> stateChanges;
  // Names the dialog declines through IncludeObject.
  std::set<std::string> declined;
  // Runs once, on the next status text the view writes.
  std::function<void()> onStatusText;

  int CountOf(const std::string& method) const;

  // The folder tree GetControlWindow(FCW_TREE) reports; none when null.
  HWND tree = nullptr;
  // The file dialog's answer to OnDefaultCommand.
  HRESULT defaultCommandAnswer = S_FALSE;

 private:
  bool dialog_;
  HWND frame_ = nullptr;
  HWND viewWindow_ = nullptr;
  ComPtr<IShellView> view_;
};

// Handles every message waiting for this thread.
void PumpMessages();

}  // namespace qv::test
