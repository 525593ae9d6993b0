#include "BrowseWindow.h"

#include <shlobj.h>

#include <string>

#include "BrowseCommands.h"
#include "common/ClassIds.h"
#include "common/Holders.h"
#include "common/Text.h"

namespace qv::browse {
namespace {

constexpr wchar_t kWindowClass[] = L"quorvaneBrowseWindow";
constexpr wchar_t kProductName[] = L"quorvane";
constexpr UINT_PTR kCloseTimer = 1;
constexpr int kTreeWidth = 230;
constexpr int kGap = 4;
// A folder below the junction changed (the shell's change notification).
constexpr UINT kFoldersChanged = WM_APP + 1;
// Reads the tree again, once the notifications of one change have arrived.
constexpr UINT kReloadTree = WM_APP + 2;
constexpr LONG kFolderEvents = SHCNE_MKDIR | SHCNE_RMDIR | SHCNE_RENAMEFOLDER | SHCNE_UPDATEDIR | SHCNE_UPDATEITEM;

// A script that started the tool reads its output; started from a shortcut it
// has none.
void PrintLine(const std::wstring& line) {
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!output || output == INVALID_HANDLE_VALUE) return;
  std::string text = ToUtf8(line + L"\n");
  DWORD written = 0;
  WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

// Tells the window where the browser went, whether the tree, the view (opening
// a sub-folder) or the window itself moved it.
class NavigationEvents : public ComObject<NavigationEvents, NotCounted, IExplorerBrowserEvents> {
 public:
  explicit NavigationEvents(BrowseWindow* owner) : owner_(owner) {}
  static const InterfaceEntry* InterfaceTable() {
    static const InterfaceEntry table[] = {QV_INTERFACE(NavigationEvents, IExplorerBrowserEvents), {nullptr, 0}};
    return table;
  }
  void Disconnect() { owner_ = nullptr; }

  STDMETHODIMP OnNavigationPending(PCIDLIST_ABSOLUTE) override { return S_OK; }
  STDMETHODIMP OnViewCreated(IShellView*) override { return S_OK; }
  STDMETHODIMP OnNavigationComplete(PCIDLIST_ABSOLUTE folder) override {
    if (owner_ && folder) owner_->OnNavigated(folder);
    return S_OK;
  }
  STDMETHODIMP OnNavigationFailed(PCIDLIST_ABSOLUTE) override { return S_OK; }

 private:
  BrowseWindow* owner_;
};

BrowseWindow::BrowseWindow() = default;

BrowseWindow::~BrowseWindow() {
  if (changeRegistration_) SHChangeNotifyDeregister(changeRegistration_);
  if (events_) events_->Disconnect();
  if (browser_) {
    if (eventsCookie_) browser_->Unadvise(eventsCookie_);
    browser_->Destroy();
  }
  if (window_) DestroyWindow(window_);
}

bool BrowseWindow::Create(HINSTANCE instance, int showCommand, LPCITEMIDLIST junction) {
  junction_.Reset(ILClone(junction));
  if (!junction_) return false;
  WNDCLASSEXW windowClass = {sizeof windowClass};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassExW(&windowClass);

  HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_BROWSE_MENU));
  window_ = CreateWindowExW(0, kWindowClass, kProductName, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                            CW_USEDEFAULT, 1000, 680, nullptr, menu, instance, this);
  if (!window_ && menu) DestroyMenu(menu);
  if (!window_) return false;
  keys_ = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_BROWSE_KEYS));

  // The window's own tree: the browser's frames show none under Wine, and the
  // search folders are what this window moves between.
  if (!tree_.Create(window_, instance, junction_.Get(), [this](LPCITEMIDLIST folder) { BrowseTo(folder); })) {
    return false;
  }
  if (FAILED(CoCreateInstance(CLSID_ExplorerBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IExplorerBrowser,
                              browser_.PutVoid()))) {
    return false;
  }
  RECT client = {};
  GetClientRect(window_, &client);
  FOLDERSETTINGS settings = {FVM_DETAILS, FWF_NONE};
  if (FAILED(browser_->Initialize(window_, &client, &settings))) {
    browser_.Reset();
    return false;
  }
  browser_->SetOptions(EBO_NOTRAVELLOG);
  SHChangeNotifyEntry watched = {junction_.Get(), TRUE};
  changeRegistration_ = SHChangeNotifyRegister(window_, SHCNRF_ShellLevel | SHCNRF_InterruptLevel, kFolderEvents,
                                               kFoldersChanged, 1, &watched);
  events_ = MakeComObject<NavigationEvents>(this);
  if (FAILED(browser_->Advise(events_.Get(), &eventsCookie_))) eventsCookie_ = 0;
  Layout(client.right - client.left, client.bottom - client.top);
  ShowWindow(window_, showCommand);
  UpdateWindow(window_);
  return true;
}

HRESULT BrowseWindow::BrowseTo(LPCITEMIDLIST folder) {
  if (!browser_) return E_UNEXPECTED;
  HRESULT hr = browser_->BrowseToIDList(folder, SBSP_ABSOLUTE);
  // A browser without events says nothing of its navigation: the window notes it.
  if (SUCCEEDED(hr) && !eventsCookie_) OnNavigated(folder);
  return hr;
}

ComPtr<IShellView> BrowseWindow::CurrentView() const {
  ComPtr<IShellView> view;
  if (browser_) browser_->GetCurrentView(IID_PPV_ARGS(view.Put()));
  return view;
}

void BrowseWindow::OnNavigated(LPCITEMIDLIST folder) {
  current_.Reset(ILClone(folder));
  shownPath_ = FolderDisplayPath(junction_.Get(), folder);
  SetWindowTextW(window_, shownPath_.empty() ? kProductName : shownPath_.c_str());
  tree_.ShowCurrent(folder);
  announcePending_ = true;
}

void BrowseWindow::AnnounceShown() {
  announcePending_ = false;
  // A script waits for this line before it looks at the window.
  PrintLine(L"shown\t" + shownPath_);
  if (closeAfterShownSeconds_ > 0) {
    SetTimer(window_, kCloseTimer, closeAfterShownSeconds_ * 1000, nullptr);
    closeAfterShownSeconds_ = 0;
  }
}

void BrowseWindow::Layout(int width, int height) {
  RECT treeArea = {0, 0, kTreeWidth, height};
  tree_.Move(treeArea);
  if (browser_) {
    RECT viewArea = {kTreeWidth + kGap, 0, width > kTreeWidth + kGap ? width : kTreeWidth + kGap, height};
    browser_->SetRect(nullptr, viewArea);
  }
}

void BrowseWindow::PassCommandToView(UINT command) {
  // The quorvane view takes its view-mode and refresh commands from its frame
  // through its command target; other views do not know the group and say so.
  ComPtr<IShellView> view = CurrentView();
  ComPtr<IOleCommandTarget> target = view ? view.As<IOleCommandTarget>() : nullptr;
  if (!target || FAILED(target->Exec(&kShellFolderClassId, command, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr))) {
    MessageBeep(MB_OK);
  }
}

bool BrowseWindow::TranslateBrowserAccelerator(MSG& message) {
  if (!browser_ || message.message < WM_KEYFIRST || message.message > WM_KEYLAST) return false;
  // Keys for the tree are the tree's own.
  if (message.hwnd == tree_.Control()) return false;
  // The view gets first go at its keys (F2, Delete, Ctrl+A and the like), as in a
  // file manager window.
  ComPtr<IInputObject> input = browser_.As<IInputObject>();
  HRESULT hr = input ? input->TranslateAcceleratorIO(&message) : E_NOINTERFACE;
  if (hr == S_OK) return true;
  if (hr != E_NOTIMPL && hr != E_NOINTERFACE) return false;
  // A browser that does not pass keys on (Wine's answers E_NOTIMPL) leaves it to
  // the frame, as a hand-made shell browser would: offer them to the current view.
  ComPtr<IShellView> view = CurrentView();
  return view && view->TranslateAccelerator(&message) == S_OK;
}

int BrowseWindow::Run(unsigned timeoutSeconds) {
  closeAfterShownSeconds_ = timeoutSeconds;
  MSG message = {};
  for (;;) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
      if (TranslateBrowserAccelerator(message)) continue;
      if (window_ && keys_ && TranslateAcceleratorW(window_, keys_, &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    // Nothing left to handle, painting included: what the folder shows is on screen.
    if (announcePending_) AnnounceShown();
    WaitMessage();
  }
}

LRESULT CALLBACK BrowseWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<BrowseWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self && self->window_ == window) return self->HandleMessage(message, wParam, lParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT BrowseWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      Layout(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_NOTIFY:
      return tree_.OnNotify(reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_BROWSE_CLOSE) {
        PostMessageW(window_, WM_CLOSE, 0, 0);
      } else {
        PassCommandToView(LOWORD(wParam));
      }
      return 0;
    case WM_TIMER:
      if (wParam == kCloseTimer) {
        KillTimer(window_, kCloseTimer);
        PostMessageW(window_, WM_CLOSE, 0, 0);
      }
      return 0;
    case kFoldersChanged:
      if (!reloadPending_) {
        reloadPending_ = true;
        PostMessageW(window_, kReloadTree, 0, 0);
      }
      return 0;
    case kReloadTree:
      reloadPending_ = false;
      tree_.Reload(current_.Get());
      return 0;
    case WM_CLOSE:
      // The browser releases its view and folders while the window still exists.
      if (changeRegistration_) SHChangeNotifyDeregister(changeRegistration_);
      changeRegistration_ = 0;
      if (events_) events_->Disconnect();
      if (browser_) {
        if (eventsCookie_) browser_->Unadvise(eventsCookie_);
        eventsCookie_ = 0;
        browser_->Destroy();
        browser_.Reset();
      }
      DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      window_ = nullptr;
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace qv::browse
