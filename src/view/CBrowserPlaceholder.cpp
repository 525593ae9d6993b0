#include "view/CBrowserPlaceholder.h"

#include "common/Holders.h"
#include "common/Text.h"
#include "view/InstallPage.h"

namespace qv {
namespace {

// navNoHistory | navNoReadFromCache | navNoWriteToCache
constexpr LONG kNavigationFlags = 14;

// The system's HTML document, the engine behind the web browser control:
// {25336920-03F9-11CF-8FD0-00AA00686F13}
constexpr CLSID kHtmlDocumentClassId = {0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};

void RegisterPlaceholderClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  windowClass.hIconSm = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = CBrowserPlaceholder::kWindowClass;
  // Already registered by an earlier page: nothing to do.
  RegisterClassExW(&windowClass);
}

}  // namespace

std::unique_ptr<CBrowserPlaceholder> CBrowserPlaceholder::Create(HINSTANCE instance, HWND parent) {
  std::unique_ptr<CBrowserPlaceholder> page(new (std::nothrow) CBrowserPlaceholder(parent));
  if (!page) return nullptr;
  RegisterPlaceholderClass(instance, &CBrowserPlaceholder::WindowProc);
  HWND window = CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, CW_USEDEFAULT, 0,
                                CW_USEDEFAULT, 0, parent, nullptr, instance, page.get());
  if (!window) return nullptr;
  return page;
}

CBrowserPlaceholder::CBrowserPlaceholder(HWND parent) : parent_(parent) {
  HRESULT hr = OleInitialize(nullptr);
  oleInitialized_ = SUCCEEDED(hr);
}

CBrowserPlaceholder::~CBrowserPlaceholder() {
  if (window_ && IsWindow(window_)) DestroyWindow(window_);
  CloseBrowser();
  if (oleInitialized_) OleUninitialize();
}

LRESULT CALLBACK CBrowserPlaceholder::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* page = reinterpret_cast<CBrowserPlaceholder*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_CREATE: {
      page = static_cast<CBrowserPlaceholder*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(page));
      page->window_ = window;
      if (!Guarded(false, [&] { return page->CreateBrowser(); })) page->ShowPlainText();
      return 0;
    }
    case WM_SIZE:
      if (page && page->text_) MoveWindow(page->text_, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_DESTROY:
      if (page) {
        page->CloseBrowser();
        page->text_ = nullptr;
        page->window_ = nullptr;
      }
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

RECT CBrowserPlaceholder::ClientArea() const {
  RECT area = {};
  if (window_) GetClientRect(window_, &area);
  return area;
}

bool CBrowserPlaceholder::CreateBrowser() {
  // The control can be made without the HTML engine that draws pages into it;
  // such a control would stay blank.
  ComPtr<IUnknown> engine;
  if (FAILED(CoCreateInstance(kHtmlDocumentClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, engine.PutVoid())))
    return false;
  engine.Reset();
  IOleClientSite* site = this;
  IStorage* storage = this;
  if (FAILED(OleCreate(CLSID_WebBrowser, IID_IOleObject, OLERENDER_DRAW, nullptr, site, storage,
                       browserObject_.PutVoid())) ||
      !browserObject_) {
    browserObject_.Reset();
    return false;
  }
  browserObject_->SetHostNames(L"Web Host", L"Web View");
  OleSetContainedObject(browserObject_.Get(), TRUE);
  RECT area = ClientArea();
  bool shown = SUCCEEDED(browserObject_->DoVerb(OLEIVERB_SHOW, nullptr, site, -1, window_, &area));
  webBrowser_ = browserObject_.As<IWebBrowser2>();
  inPlaceObject_ = browserObject_.As<IOleInPlaceObject>();
  if (!shown || !webBrowser_) {
    CloseBrowser();
    return false;
  }
  webBrowser_->put_Left(0);
  webBrowser_->put_Top(0);
  webBrowser_->put_Width(area.right);
  webBrowser_->put_Height(area.bottom);
  webBrowser_->put_Visible(VARIANT_TRUE);
  // A control that cannot show even the blank page has no engine behind it.
  if (FAILED(Navigate("about:blank"))) {
    CloseBrowser();
    return false;
  }
  return true;
}

void CBrowserPlaceholder::CloseBrowser() {
  inPlaceObject_.Reset();
  webBrowser_.Reset();
  if (browserObject_) {
    browserObject_->Close(OLECLOSE_NOSAVE);
    browserObject_->SetClientSite(nullptr);
    browserObject_.Reset();
  }
}

void CBrowserPlaceholder::ShowPlainText() {
  RECT area = ClientArea();
  text_ = CreateWindowExW(0, L"EDIT", L"",
                          WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                          0, 0, area.right, area.bottom, window_, nullptr,
                          reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window_, GWLP_HINSTANCE)), nullptr);
  if (!text_) return;
  SendMessageW(text_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  SetWindowTextW(text_, ToWide(InstallPageText()).c_str());
}

HRESULT CBrowserPlaceholder::Navigate(const char* address) {
  if (!webBrowser_ || !address) return E_FAIL;
  return ComBoundary([&]() -> HRESULT {
    Variant target;
    V_VT(target.Get()) = VT_BSTR;
    V_BSTR(target.Get()) = Bstr(ToWide(address).c_str()).Detach();
    Variant flags;
    V_VT(flags.Get()) = VT_I4;
    V_I4(flags.Get()) = kNavigationFlags;
    Variant missing;
    V_VT(missing.Get()) = VT_ERROR;
    V_ERROR(missing.Get()) = DISP_E_PARAMNOTFOUND;
    return webBrowser_->Navigate2(target.Get(), flags.Get(), missing.Get(), missing.Get(), missing.Get());
  });
}

void CBrowserPlaceholder::Resize(int x, int y, int width, int height, bool repaint) {
  if (!window_) return;
  MoveWindow(window_, x, y, width, height, repaint ? TRUE : FALSE);
  RECT area = ClientArea();
  if (browserObject_) browserObject_->DoVerb(OLEIVERB_SHOW, nullptr, this, -1, window_, &area);
  if (webBrowser_) {
    webBrowser_->put_Left(0);
    webBrowser_->put_Top(0);
    webBrowser_->put_Width(area.right);
    webBrowser_->put_Height(area.bottom);
  }
  if (inPlaceObject_) {
    HWND control = nullptr;
    if (SUCCEEDED(inPlaceObject_->GetWindow(&control)) && control)
      MoveWindow(control, x, y, width, height, repaint ? TRUE : FALSE);
  }
}

STDMETHODIMP CBrowserPlaceholder::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
    *ppv = static_cast<IOleClientSite*>(this);
  else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite))
    *ppv = static_cast<IOleInPlaceSite*>(this);
  else if (IsEqualIID(riid, IID_IOleInPlaceUIWindow) || IsEqualIID(riid, IID_IOleInPlaceFrame))
    *ppv = static_cast<IOleInPlaceFrame*>(this);
  else if (IsEqualIID(riid, IID_IStorage))
    *ppv = static_cast<IStorage*>(this);
  return *ppv ? S_OK : E_NOINTERFACE;
}

STDMETHODIMP CBrowserPlaceholder::GetContainer(IOleContainer** container) {
  if (container) *container = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP CBrowserPlaceholder::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = window_;
  return S_OK;
}

STDMETHODIMP CBrowserPlaceholder::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                                   RECT* position, RECT* clip, OLEINPLACEFRAMEINFO* info) {
  if (frame) *frame = static_cast<IOleInPlaceFrame*>(this);
  if (document) *document = nullptr;
  RECT area = ClientArea();
  if (position) *position = area;
  if (clip) *clip = area;
  if (info) {
    info->fMDIApp = FALSE;
    info->hwndFrame = window_;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
  }
  return S_OK;
}

}  // namespace qv
