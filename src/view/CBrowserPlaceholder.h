#pragma once
// The install page host: a child window of class "IEPlaceholder" that embeds the
// system's web browser control as a minimal OLE container. Where that control
// cannot be made (no browser engine installed), the window shows the page's
// plain text in a read-only edit box instead of staying empty.

#include <windows.h>
#include <exdisp.h>
#include <ole2.h>
#include <oleidl.h>

#include <memory>

#include "common/ComBase.h"

namespace qv {

class CBrowserPlaceholder final : private IOleClientSite,
                                  private IOleInPlaceSite,
                                  private IOleInPlaceFrame,
                                  private IStorage {
 public:
  static constexpr wchar_t kWindowClass[] = L"IEPlaceholder";

  // The host as a child of `parent`, the browser (or the text) already made;
  // null when the window cannot be created.
  static std::unique_ptr<CBrowserPlaceholder> Create(HINSTANCE instance, HWND parent);
  CBrowserPlaceholder(const CBrowserPlaceholder&) = delete;
  CBrowserPlaceholder& operator=(const CBrowserPlaceholder&) = delete;
  ~CBrowserPlaceholder();

  HWND Window() const { return window_; }
  // The read-only text shown instead of the browser, or null.
  HWND TextWindow() const { return text_; }
  bool HasBrowser() const { return static_cast<bool>(browserObject_); }

  // Shows the address (UTF-8) without history or cache; without a browser
  // nothing happens.
  HRESULT Navigate(const char* address);
  void Resize(int x, int y, int width, int height, bool repaint);

 private:
  explicit CBrowserPlaceholder(HWND parent);
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool CreateBrowser();
  void CloseBrowser();
  void ShowPlainText();
  RECT ClientArea() const;

  // IUnknown, shared by the four container interfaces. The object's lifetime is
  // its owner's, so the counts are fixed.
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override { return 1; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP GetContainer(IOleContainer** container) override;
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (in-place site and frame alike)
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position,
                                RECT* clip, OLEINPLACEFRAMEINFO* info) override;
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(const RECT*) override { return S_OK; }

  // IOleInPlaceUIWindow, IOleInPlaceFrame
  STDMETHODIMP GetBorder(RECT*) override { return E_NOTIMPL; }
  STDMETHODIMP RequestBorderSpace(const BORDERWIDTHS*) override { return E_NOTIMPL; }
  STDMETHODIMP SetBorderSpace(const BORDERWIDTHS*) override { return E_NOTIMPL; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, OLEMENUGROUPWIDTHS*) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(MSG*, WORD) override { return E_NOTIMPL; }

  // IStorage: a stand-in the browser control needs at creation and never uses.
  STDMETHODIMP CreateStream(LPCOLESTR, DWORD, DWORD, DWORD, IStream**) override { return E_NOTIMPL; }
  STDMETHODIMP OpenStream(LPCOLESTR, void*, DWORD, DWORD, IStream**) override { return E_NOTIMPL; }
  STDMETHODIMP CreateStorage(LPCOLESTR, DWORD, DWORD, DWORD, IStorage**) override { return E_NOTIMPL; }
  STDMETHODIMP OpenStorage(LPCOLESTR, IStorage*, DWORD, SNB, DWORD, IStorage**) override { return E_NOTIMPL; }
  STDMETHODIMP CopyTo(DWORD, const IID*, SNB, IStorage*) override { return E_NOTIMPL; }
  STDMETHODIMP MoveElementTo(LPCOLESTR, IStorage*, LPCOLESTR, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Revert() override { return E_NOTIMPL; }
  STDMETHODIMP EnumElements(DWORD, void*, DWORD, IEnumSTATSTG**) override { return E_NOTIMPL; }
  STDMETHODIMP DestroyElement(LPCOLESTR) override { return E_NOTIMPL; }
  STDMETHODIMP RenameElement(LPCOLESTR, LPCOLESTR) override { return E_NOTIMPL; }
  STDMETHODIMP SetElementTimes(LPCOLESTR, const FILETIME*, const FILETIME*, const FILETIME*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP SetClass(REFCLSID) override { return S_OK; }
  STDMETHODIMP SetStateBits(DWORD, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }

  HWND window_ = nullptr;
  HWND parent_;
  HWND text_ = nullptr;
  bool oleInitialized_ = false;
  ComPtr<IOleObject> browserObject_;
  ComPtr<IWebBrowser2> webBrowser_;
  ComPtr<IOleInPlaceObject> inPlaceObject_;
};

}  // namespace qv
