#include "view/TestBrowser.h"

#include "common/Text.h"

#include <algorithm>
#include <cstdio>

#include "pidl/CPidlManager.h"

namespace qv::test {
namespace {

constexpr char kFrameClass[] = "quorvaneTestBrowser";

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

std::string Hex(UINT_PTR value) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
  return text;
}

}  // namespace

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

TestBrowser::TestBrowser(bool dialog) : dialog_(dialog) {
  WNDCLASSA frameClass = {};
  frameClass.lpfnWndProc = FrameProc;
  frameClass.hInstance = GetModuleHandleA(nullptr);
  frameClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  frameClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  frameClass.lpszClassName = kFrameClass;
  RegisterClassA(&frameClass);
  frame_ = CreateWindowExA(0, kFrameClass, "quorvane view test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 720, 360,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  PumpMessages();
}

TestBrowser::~TestBrowser() {
  if (frame_) DestroyWindow(frame_);
}

const InterfaceEntry* TestBrowser::InterfaceTable() {
  static const InterfaceEntry table[] = {
      QV_INTERFACE(TestBrowser, IShellBrowser),
      QV_INTERFACE_VIA(TestBrowser, IOleWindow, IShellBrowser),
      QV_INTERFACE(TestBrowser, ICommDlgBrowser),
      {nullptr, 0},
  };
  return table;
}

STDMETHODIMP TestBrowser::QueryInterface(REFIID riid, void** ppv) {
  if (!dialog_ && IsEqualIID(riid, IID_ICommDlgBrowser)) {
    if (ppv) *ppv = nullptr;
    return E_NOINTERFACE;
  }
  return ComObject::QueryInterface(riid, ppv);
}

HRESULT TestBrowser::Show(IShellView* view, const RECT* rect, UINT viewMode) {
  RECT area = {};
  if (rect)
    area = *rect;
  else
    GetClientRect(frame_, &area);
  FOLDERSETTINGS settings = {viewMode, 0};
  view_ = ComPtr<IShellView>::Share(view);
  HRESULT hr = view->CreateViewWindow(nullptr, &settings, this, &area, &viewWindow_);
  PumpMessages();
  return hr;
}

void TestBrowser::BrowseAway() {
  ComPtr<IShellView> view = std::move(view_);
  viewWindow_ = nullptr;
  if (!view) return;
  view->UIActivate(SVUIA_DEACTIVATE);
  view->DestroyViewWindow();
}

int TestBrowser::CountOf(const std::string& method) const {
  return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const std::string& call) {
    return call.compare(0, method.size() + 1, method + "(") == 0;
  }));
}

STDMETHODIMP TestBrowser::GetWindow(HWND* window) {
  calls.push_back("GetWindow()");
  *window = frame_;
  return S_OK;
}

STDMETHODIMP TestBrowser::InsertMenusSB(HMENU, LPOLEMENUGROUPWIDTHS) {
  calls.push_back("InsertMenusSB()");
  return S_OK;
}

STDMETHODIMP TestBrowser::SetMenuSB(HMENU shared, HOLEMENU, HWND) {
  calls.push_back(shared ? "SetMenuSB(menu)" : "SetMenuSB(null)");
  return S_OK;
}

STDMETHODIMP TestBrowser::RemoveMenusSB(HMENU shared) {
  calls.push_back(IsMenu(shared) ? "RemoveMenusSB(menu)" : "RemoveMenusSB(invalid)");
  return S_OK;
}

STDMETHODIMP TestBrowser::BrowseObject(PCUIDLIST_RELATIVE item, UINT flags) {
  calls.push_back("BrowseObject(" + (item && item->mkid.cb ? CPidlManager::ItemName(item) : std::string()) + "," +
                  std::to_string(flags) + ")");
  BrowseAway();
  return S_OK;
}

STDMETHODIMP TestBrowser::GetViewStateStream(DWORD, IStream** stream) {
  *stream = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP TestBrowser::GetControlWindow(UINT id, HWND* window) {
  calls.push_back("GetControlWindow(" + std::to_string(id) + ")");
  *window = nullptr;
  if (id != FCW_TREE || !tree) return E_NOTIMPL;
  *window = tree;
  return S_OK;
}

STDMETHODIMP TestBrowser::SendControlMsg(UINT id, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  calls.push_back("SendControlMsg(" + std::to_string(id) + "," + Hex(message) + "," + std::to_string(wParam) + ")");
  if (result) *result = 0;
  if (id == FCW_STATUS && message == SB_SETTEXTW) {
    statusTexts[static_cast<int>(wParam)] = ToUtf8(reinterpret_cast<const wchar_t*>(lParam));
    if (onStatusText) {
      auto hook = std::move(onStatusText);
      onStatusText = nullptr;
      hook();
    }
  } else if (id == FCW_STATUS && message == SB_SETPARTS) {
    auto* parts = reinterpret_cast<const int*>(lParam);
    statusParts.assign(parts, parts + wParam);
  } else if (id == FCW_TOOLBAR && message == TB_ADDBITMAP) {
    // Offsets of the standard and the view bitmap in the browser's image list.
    auto* bitmap = reinterpret_cast<const TBADDBITMAP*>(lParam);
    if (result) *result = bitmap->nID == IDB_STD_SMALL_COLOR ? 100 : 200;
  }
  return S_OK;
}

STDMETHODIMP TestBrowser::QueryActiveShellView(IShellView** view) {
  *view = view_.Get();
  if (*view) (*view)->AddRef();
  return *view ? S_OK : E_FAIL;
}

STDMETHODIMP TestBrowser::OnViewWindowActive(IShellView*) {
  calls.push_back("OnViewWindowActive()");
  return S_OK;
}

STDMETHODIMP TestBrowser::SetToolbarItems(LPTBBUTTONSB buttons, UINT count, UINT flags) {
  calls.push_back("SetToolbarItems(" + std::to_string(count) + "," + std::to_string(flags) + ")");
  if (buttons) toolbarButtons.assign(buttons, buttons + count);
  return S_OK;
}

STDMETHODIMP TestBrowser::OnStateChange(IShellView*, ULONG change) {
  calls.push_back("OnStateChange(" + std::to_string(change) + ")");
  stateChanges.push_back(change);
  return S_OK;
}

STDMETHODIMP TestBrowser::IncludeObject(IShellView*, PCUITEMID_CHILD item) {
  std::string name = CPidlManager::ItemName(item);
  calls.push_back("IncludeObject(" + name + ")");
  return declined.count(name) ? S_FALSE : S_OK;
}

}  // namespace qv::test
