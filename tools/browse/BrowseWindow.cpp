#include "BrowseWindow.h"

#include <shlobj.h>

#include <string>

#include "BrowseCommands.h"
#include "common/ClassIds.h"
#include "common/Holders.h"

namespace qv::browse {
namespace {

constexpr wchar_t kWindowClass[] = L"quorvaneBrowseWindow";
constexpr UINT_PTR kCloseTimer = 1;

}  // namespace

BrowseWindow::~BrowseWindow() {
  if (browser_) browser_->Destroy();
  if (window_) DestroyWindow(window_);
}

bool BrowseWindow::Create(HINSTANCE instance, int showCommand) {
  WNDCLASSEXW windowClass = {sizeof windowClass};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassExW(&windowClass);

  HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_BROWSE_MENU));
  window_ = CreateWindowExW(0, kWindowClass, L"quorvane", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                            CW_USEDEFAULT, 1000, 680, nullptr, menu, instance, this);
  if (!window_ && menu) DestroyMenu(menu);
  if (!window_) return false;
  keys_ = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_BROWSE_KEYS));

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
  // The folder tree beside the view, and the browser follows the view's own
  // navigation (opening a sub-folder replaces the view in this window).
  browser_->SetOptions(EBO_SHOWFRAMES | EBO_NOTRAVELLOG);
  ShowWindow(window_, showCommand);
  UpdateWindow(window_);
  return true;
}

HRESULT BrowseWindow::BrowseTo(LPCITEMIDLIST folder) {
  HRESULT hr = browser_->BrowseToIDList(folder, SBSP_ABSOLUTE);
  if (SUCCEEDED(hr)) UpdateTitle(folder);
  return hr;
}

void BrowseWindow::PassCommandToView(UINT command) {
  // The quorvane view takes its view-mode and refresh commands from its frame
  // through its command target; other views do not know the group and say so.
  ComPtr<IShellView> view;
  if (!browser_ || FAILED(browser_->GetCurrentView(IID_PPV_ARGS(view.Put())))) return;
  ComPtr<IOleCommandTarget> target = view.As<IOleCommandTarget>();
  if (!target || FAILED(target->Exec(&kShellFolderClassId, command, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr))) {
    MessageBeep(MB_OK);
  }
}

void BrowseWindow::UpdateTitle(LPCITEMIDLIST folder) {
  TaskMemory<wchar_t> name;
  std::wstring title = L"quorvane";
  if (SUCCEEDED(SHGetNameFromIDList(folder, SIGDN_NORMALDISPLAY, name.Put())) && name) {
    title = std::wstring(name.Get()) + L" - quorvane";
  }
  SetWindowTextW(window_, title.c_str());
}

bool BrowseWindow::TranslateBrowserAccelerator(MSG& message) {
  if (!browser_ || message.message < WM_KEYFIRST || message.message > WM_KEYLAST) return false;
  // The view gets first go at its keys (F2, Delete, Ctrl+A and the like), as in a
  // file manager window.
  ComPtr<IInputObject> input = browser_.As<IInputObject>();
  HRESULT hr = input ? input->TranslateAcceleratorIO(&message) : E_NOINTERFACE;
  if (hr == S_OK) return true;
  if (hr != E_NOTIMPL && hr != E_NOINTERFACE) return false;
  // A browser that does not pass keys on (Wine's answers E_NOTIMPL) leaves it to
  // the frame, as a hand-made shell browser would: offer them to the current view.
  ComPtr<IShellView> view;
  if (FAILED(browser_->GetCurrentView(IID_PPV_ARGS(view.Put())))) return false;
  return view->TranslateAccelerator(&message) == S_OK;
}

int BrowseWindow::Run(unsigned timeoutSeconds) {
  if (timeoutSeconds > 0) SetTimer(window_, kCloseTimer, timeoutSeconds * 1000, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (TranslateBrowserAccelerator(message)) continue;
    if (window_ && keys_ && TranslateAcceleratorW(window_, keys_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
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
      if (browser_) {
        RECT client = {0, 0, LOWORD(lParam), HIWORD(lParam)};
        browser_->SetRect(nullptr, client);
      }
      return 0;
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
    case WM_CLOSE:
      // The browser releases its view and folders while the window still exists.
      if (browser_) {
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
