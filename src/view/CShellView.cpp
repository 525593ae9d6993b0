#include "view/CShellView.h"

#include <windowsx.h>

#include <cstring>

#include "folders/CFolderStore.h"
#include "common/ClassIds.h"
#include "runtime/ModuleObjects.h"
#include "common/ModulePaths.h"
#include "pidl/CPidlManager.h"
#include "resources/resource.h"
#include "search/IndexChanges.h"
#include "search/ResultCache.h"
#include "search/ServiceRegistration.h"
#include "view/CBrowserPlaceholder.h"
#include "view/CViewDropTarget.h"
#include "view/IViewFolder.h"
#include "view/InstallPage.h"
#include "view/ViewToolbar.h"

namespace qv {
namespace {

// How often a view looks whether another process changed the document: a
// change shows within about a second, and a look that finds none costs one
// query of the file's stamp.
constexpr UINT_PTR kDocumentTimer = 0x5156;
constexpr UINT kDocumentTimerInterval = 500;
// While a pass changes the index all the time, a view asks its query again at
// most this often.
constexpr ULONGLONG kIndexRefillIntervalMs = 1000;

// The shell's change notifications about the folder, and the refresh that
// several of them in a row are folded into.
constexpr UINT kChangeNotifyMessage = WM_APP + 0x51;
constexpr UINT kChangeRefreshMessage = WM_APP + 0x52;
// What changes a folder's list: search folders made, removed or renamed in it,
// results deleted or renamed, and the folder's own search changed.
constexpr LONG kWatchedEvents = SHCNE_MKDIR | SHCNE_RMDIR | SHCNE_RENAMEFOLDER | SHCNE_UPDATEDIR | SHCNE_DELETE |
                                SHCNE_RENAMEITEM | SHCNE_CREATE | SHCNE_UPDATEITEM;

CPidlManager& PidlManager() {
  CPidlManager* manager = ThePidlManager();
  if (!manager) throw ComError(E_UNEXPECTED);
  return *manager;
}

bool RegisterViewClass(WNDPROC procedure) {
  HINSTANCE instance = ModuleInstance();
  WNDCLASSW existing = {};
  if (GetClassInfoW(instance, CShellView::kWindowClass, &existing)) return true;
  WNDCLASSW windowClass = {};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = CShellView::kWindowClass;
  return RegisterClassW(&windowClass) != 0;
}

}  // namespace

CShellView::CShellView(IShellFolder* folder, IViewFolder* viewFolder, LPCITEMIDLIST item)
    : folderItem_(PidlManager()),
      folder_(ComPtr<IShellFolder>::Share(folder)),
      viewFolder_(viewFolder),
      pendingNewItem_(PidlManager()),
      folderList_(PidlManager()) {
  InitCommonControls();
  accelerators_.Reset(LoadAcceleratorsW(ModuleInstance(), MAKEINTRESOURCEW(IDA_VIEW)));
  ThrowIfFailed(SHGetMalloc(allocator_.Put()), IID_IMalloc);
  if (item) folderItem_.Set(item);
}

CShellView::~CShellView() {
  DeregisterForChanges();
  // A view released without DestroyViewWindow still takes its window along.
  if (window_ && IsWindow(window_)) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

const InterfaceEntry* CShellView::InterfaceTable() {
  static const InterfaceEntry table[] = {
      QV_INTERFACE(CShellView, IShellView),
      QV_INTERFACE_VIA(CShellView, IOleWindow, IShellView),
      QV_INTERFACE(CShellView, IOleCommandTarget),
      {nullptr, 0},
  };
  return table;
}

STDMETHODIMP CShellView::GetWindow(HWND* phwnd) {
  if (!phwnd) return E_POINTER;
  *phwnd = window_;
  return S_OK;
}

STDMETHODIMP CShellView::TranslateAccelerator(MSG* pmsg) {
  if (!pmsg) return S_FALSE;
  return ComBoundary([&]() -> HRESULT {
    if (editingLabel_) {
      // The edit box, not the browser or the view's own keys, gets every key.
      if (pmsg->message < WM_KEYFIRST || pmsg->message > WM_KEYLAST) return S_FALSE;
      TranslateMessage(pmsg);
      DispatchMessageW(pmsg);
      return S_OK;
    }
    if (!window_ || !accelerators_) return S_FALSE;
    return ::TranslateAcceleratorW(window_, accelerators_.Get(), pmsg) ? S_OK : S_FALSE;
  });
}

STDMETHODIMP CShellView::UIActivate(UINT uState) {
  return ComBoundary([&]() -> HRESULT {
    if (uState == activation_) return S_OK;
    ApplyActivation(uState);
    if (uState != SVUIA_DEACTIVATE && browser_) {
      int parts[3] = {200, 400, -1};
      LRESULT ignored = 0;
      browser_->SendControlMsg(FCW_STATUS, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts), &ignored);
    }
    return S_OK;
  });
}

STDMETHODIMP CShellView::Refresh() {
  return ComBoundary([&]() -> HRESULT {
    if (!list_ || !list_->Control() || !window_) return S_OK;
    ComPtr<IShellView> self = ComPtr<IShellView>::Share(this);
    list_->DeleteAllItems();
    FillList();
    return S_OK;
  });
}

STDMETHODIMP CShellView::CreateViewWindow(IShellView*, LPCFOLDERSETTINGS pfs, IShellBrowser* psb, RECT* prcView,
                                          HWND* phWnd) {
  if (!phWnd) return E_POINTER;
  *phWnd = nullptr;
  if (!pfs || !psb || !prcView) return E_INVALIDARG;
  if (window_) return E_UNEXPECTED;
  return ComBoundary([&]() -> HRESULT {
    if (!RegisterViewClass(&CShellView::WindowProc)) return E_FAIL;
    browser_ = ComPtr<IShellBrowser>::Share(psb);
    settings_ = *pfs;
    parent_ = nullptr;
    psb->GetWindow(&parent_);
    dialogBrowser_ = browser_.As<ICommDlgBrowser>();
    // The window procedure may be re-entered by the host while the window is
    // made; it must find the view alive.
    ComPtr<IShellView> self = ComPtr<IShellView>::Share(this);
    HWND window = CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, prcView->left,
                                  prcView->top, prcView->right - prcView->left, prcView->bottom - prcView->top,
                                  parent_, nullptr, ModuleInstance(), this);
    if (!window) {
      window_ = nullptr;
      dialogBrowser_.Reset();
      browser_.Reset();
      parent_ = nullptr;
      return E_FAIL;
    }
    *phWnd = window;
    AddToolbarButtons();
    return S_OK;
  });
}

STDMETHODIMP CShellView::DestroyViewWindow() {
  return ComBoundary([&]() -> HRESULT {
    ComPtr<IShellView> self = ComPtr<IShellView>::Share(this);
    UIActivate(SVUIA_DEACTIVATE);
    DeregisterForChanges();
    sharedMenu_.Reset();
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
    browser_.Reset();
    return S_OK;
  });
}

STDMETHODIMP CShellView::GetCurrentInfo(LPFOLDERSETTINGS pfs) {
  if (!pfs) return E_POINTER;
  *pfs = settings_;
  return S_OK;
}

STDMETHODIMP CShellView::GetItemObject(UINT uItem, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  return ComBoundary([&]() -> HRESULT {
    UINT which = uItem & SVGIO_TYPE_MASK;
    if (which == SVGIO_BACKGROUND && IsEqualIID(riid, IID_IContextMenu)) {
      return folder_->CreateViewObject(nullptr, riid, ppv);
    }
    if (!IsEqualIID(riid, IID_IDataObject) || (which != SVGIO_SELECTION && which != SVGIO_ALLVIEW) || !list_ ||
        !list_->Control()) {
      return E_NOINTERFACE;
    }
    int count = which == SVGIO_SELECTION ? list_->SelectedCount() : list_->ItemCount();
    if (count <= 0) return E_NOINTERFACE;
    TaskMemory<LPCITEMIDLIST> items(static_cast<LPCITEMIDLIST*>(allocator_->Alloc(count * sizeof(LPCITEMIDLIST))));
    if (!items) return E_NOINTERFACE;
    int found = 0;
    if (which == SVGIO_SELECTION) {
      for (int row = list_->NextItem(-1, LVNI_SELECTED); row != -1 && found < count;
           row = list_->NextItem(row, LVNI_SELECTED)) {
        items.Get()[found++] = list_->ItemIdentifier(row);
      }
    } else {
      for (int row = 0; row < count; ++row) items.Get()[found++] = list_->ItemIdentifier(row);
    }
    // The folder makes the data object; it copies what it needs.
    HRESULT hr = folder_->GetUIObjectOf(window_, found, items.Get(), riid, nullptr, ppv);
    return SUCCEEDED(hr) && *ppv ? S_OK : E_NOINTERFACE;
  });
}

STDMETHODIMP CShellView::QueryStatus(const GUID*, ULONG count, OLECMD* commands, OLECMDTEXT*) {
  if (count && !commands) return E_POINTER;
  for (ULONG i = 0; i < count; ++i) commands[i].cmdf = OLECMDF_SUPPORTED | OLECMDF_ENABLED;
  return S_OK;
}

STDMETHODIMP CShellView::Exec(const GUID* group, DWORD command, DWORD, VARIANT*, VARIANT*) {
  return ComBoundary([&]() -> HRESULT {
    if (!group) return command == 1 ? S_OK : OLECMDERR_E_UNKNOWNGROUP;
    if (!IsEqualGUID(*group, kShellFolderClassId)) return OLECMDERR_E_UNKNOWNGROUP;
    ComPtr<IShellView> self = ComPtr<IShellView>::Share(this);
    ExecuteViewCommand(command, 0, 0);
    return S_OK;
  });
}

HWND CShellView::InstallPageWindow() const { return installPage_ ? installPage_->Window() : nullptr; }

void CShellView::AddToolbarButtons() {
  if (browser_) AddViewToolbarButtons(browser_.Get());
}

void CShellView::ApplyActivation(UINT state) {
  if (state == activation_) return;
  if (activation_ != SVUIA_DEACTIVATE) {
    if (sharedMenu_ && browser_) {
      browser_->SetMenuSB(nullptr, nullptr, nullptr);
      browser_->RemoveMenusSB(sharedMenu_.Get());
    }
    sharedMenu_.Reset();
    activation_ = SVUIA_DEACTIVATE;
  }
  if (state != SVUIA_DEACTIVATE) {
    // The view adds nothing to the browser's menu bar; it holds an empty menu
    // while it is active.
    sharedMenu_.Reset(CreateMenu());
    activation_ = state;
  }
}

void CShellView::ReportStateChange(ULONG change) {
  if (dialogBrowser_) dialogBrowser_->OnStateChange(this, change);
}

void CShellView::OnFocusGained() {
  if (browser_) browser_->OnViewWindowActive(this);
  ApplyActivation(SVUIA_ACTIVATE_FOCUS);
  ReportStateChange(CDBOSC_SETFOCUS);
}

void CShellView::OnFocusLost() {
  ApplyActivation(SVUIA_ACTIVATE_NOFOCUS);
  ReportStateChange(CDBOSC_KILLFOCUS);
}

void CShellView::CreateChild() {
  if (IsSearchServiceAvailable()) {
    auto list = std::make_unique<CListWindow>();
    if (list->CreateControl(ModuleInstance(), window_)) list_ = std::move(list);
  } else {
    installPage_ = CBrowserPlaceholder::Create(ModuleInstance(), window_);
  }
  if (list_) {
    SetUpList();
    FillList();
    RegisterListDropTarget();
    RegisterForChanges();
    SetTimer(window_, kDocumentTimer, kDocumentTimerInterval, nullptr);
  } else if (installPage_) {
    installPage_->Navigate(InstallPageAddress().c_str());
  }
}

void CShellView::RegisterListDropTarget() {
  // Folders dragged onto a folder row move into it. Without OLE on this thread
  // (a host that only initialised COM) the list simply takes no drops.
  listDropTargetRegistered_ = Guarded(false, [&] {
    auto target = MakeComObject<CViewDropTarget>(list_->Control(), folder_.Get());
    return SUCCEEDED(RegisterDragDrop(list_->Control(), target.Get()));
  });
}

void CShellView::RememberShownDocument() {
  CFolderStore* store = TheFolderStore();
  if (!store) return;
  shownGeneration_ = store->Generation();
  shownSignature_ = viewFolder_->ContentSignature();
}

void CShellView::FollowDocument() {
  CFolderStore* store = TheFolderStore();
  // Not while the user renames a row or a menu is open: the next look will do.
  if (!store || !list_ || !list_->Control() || editingLabel_ || trackedMenu_) return;
  store->Refresh();
  unsigned generation = store->Generation();
  if (generation == shownGeneration_) return;
  shownGeneration_ = generation;
  std::wstring signature = viewFolder_->ContentSignature();
  // A change elsewhere in the tree leaves this view, and its search, alone.
  if (signature == shownSignature_) return;
  Refresh();
}

void CShellView::FollowIndex() {
  // Only a search folder's own fill, complete, and not while the user works
  // on its rows.
  if (!list_ || !list_->Control() || dialogBrowser_ || shownResults_ < 0 || feedRequest_.searchText.empty() || feed_ ||
      editingLabel_ || trackedMenu_)
    return;
  std::uint32_t stamp = SearchIndexStamp();
  if (stamp == shownIndexStamp_) return;
  ULONGLONG now = GetTickCount64();
  if (now - indexRefillTick_ < kIndexRefillIntervalMs) return;
  shownIndexStamp_ = stamp;
  indexRefillTick_ = now;
  RefillResultsQuietly();
}

void CShellView::RegisterForChanges() {
  if (changeRegistration_ || !window_) return;
  // The folder's list from the desktop, as the folder object was placed.
  ComPtr<IPersistFolder2> placed = folder_.As<IPersistFolder2>();
  LPITEMIDLIST list = nullptr;
  if (!placed || placed->GetCurFolder(&list) != S_OK || !list) return;
  folderList_.Adopt(list);
  // Recursive: on Windows a folder's own registration hears its direct items
  // either way and ConcernsFolder drops what lies deeper; Wine hears the items
  // of a folder only with a recursive registration.
  SHChangeNotifyEntry entry = {folderList_.Get(), TRUE};
  changeRegistration_ = SHChangeNotifyRegister(
      window_, SHCNRF_ShellLevel | SHCNRF_InterruptLevel | SHCNRF_NewDelivery, kWatchedEvents,
      kChangeNotifyMessage, 1, &entry);
}

void CShellView::DeregisterForChanges() {
  if (!changeRegistration_) return;
  SHChangeNotifyDeregister(changeRegistration_);
  changeRegistration_ = 0;
}

bool CShellView::ConcernsFolder(LPCITEMIDLIST list) const {
  LPCITEMIDLIST own = folderList_.Get();
  if (!list || !own) return false;
  // Item by item: a search folder is known by its name (its record also holds
  // settings that change), anything else by its bytes. The list is the folder
  // itself or one item in it.
  while (own->mkid.cb) {
    if (!list->mkid.cb) return false;
    ItemKind kind = CPidlManager::KindOf(own);
    if (kind == ItemKind::Folder) {
      if (CPidlManager::KindOf(list) != ItemKind::Folder ||
          CPidlManager::CompareNames(CPidlManager::ItemName(own), CPidlManager::ItemName(list)) != 0) {
        return false;
      }
    } else if (own->mkid.cb != list->mkid.cb || std::memcmp(own, list, own->mkid.cb) != 0) {
      return false;
    }
    own = CPidlManager::GetNextItem(own);
    list = CPidlManager::GetNextItem(list);
  }
  return !list->mkid.cb || !CPidlManager::GetNextItem(list)->mkid.cb;
}

void CShellView::OnChangeNotification(WPARAM wParam, LPARAM lParam) {
  LPITEMIDLIST* lists = nullptr;
  LONG event = 0;
  HANDLE lock = SHChangeNotification_Lock(reinterpret_cast<HANDLE>(wParam), static_cast<DWORD>(lParam), &lists, &event);
  if (!lock) return;
  // The shell may hand on notices about other folders (Wine matches ID lists it
  // cannot read loosely): only this folder and its items count.
  bool concerns = lists && (event & kWatchedEvents) && (ConcernsFolder(lists[0]) || ConcernsFolder(lists[1]));
  // A result deleted or renamed here changes its own row: a refill would ask
  // the search service, which may still answer the file's old path.
  bool applied = concerns && ApplyResultNotice(event, lists[0], lists[1]);
  SHChangeNotification_Unlock(lock);
  if (!concerns || applied || refreshPosted_) return;
  refreshPosted_ = PostMessageW(window_, kChangeRefreshMessage, 0, 0) != FALSE;
  if (!refreshPosted_) RefreshAfterChanges();
}

bool CShellView::IsResultHere(LPCITEMIDLIST list) const {
  return list && ConcernsFolder(list) && CPidlManager::KindOf(CPidlManager::GetLastItem(list)) == ItemKind::Result;
}

bool CShellView::ApplyResultNotice(LONG event, LPCITEMIDLIST first, LPCITEMIDLIST second) {
  if (!list_ || !list_->Control()) return false;
  if (event == SHCNE_DELETE && IsResultHere(first)) {
    RemoveResultRow(CPidlManager::GetLastItem(first));
    return true;
  }
  if (event == SHCNE_RENAMEITEM && IsResultHere(first) && IsResultHere(second)) {
    RenameResultRow(CPidlManager::GetLastItem(first), CPidlManager::GetLastItem(second));
    return true;
  }
  return false;
}

void CShellView::RemoveResultRow(LPCITEMIDLIST item) {
  int row = list_->FindItem(item);
  if (row < 0) return;
  list_->RemoveRow(row);
  if (shownResults_ > 0) --shownResults_;
  // A folder opened again does not show the file meanwhile either.
  resultcache::FollowFile(CPidlManager::ResultPath(item), nullptr);
  WriteStatusText();
}

void CShellView::RenameResultRow(LPCITEMIDLIST oldItem, LPCITEMIDLIST newItem) {
  int row = list_->FindItem(oldItem);
  if (row < 0) return;
  LPITEMIDLIST copy = ThePidlManager()->Copy(newItem);
  if (!copy || !list_->ReplaceRow(row, copy)) return;
  SearchResultText renamed{CPidlManager::ItemName(newItem), CPidlManager::ResultPath(newItem)};
  resultcache::FollowFile(CPidlManager::ResultPath(oldItem), &renamed);
  SortAsKept();
}

void CShellView::RefreshAfterChanges() {
  refreshPosted_ = false;
  // Not while the user renames a row or a menu is open: the rename's end or the
  // next look at the document fills the list.
  if (editingLabel_ || trackedMenu_) {
    refreshWaiting_ = true;
    return;
  }
  refreshWaiting_ = false;
  Refresh();
}

void CShellView::OnWindowDestroyed() {
  // The child windows go with this one; the objects that own them stay until
  // the view goes.
  if (list_) list_->ControlDestroyed();
  window_ = nullptr;
}

LRESULT CALLBACK CShellView::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* view = static_cast<CShellView*>(create->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
    if (view) view->window_ = window;
    return DefWindowProcW(window, message, wParam, lParam);
  }
  auto* view = reinterpret_cast<CShellView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!view) return DefWindowProcW(window, message, wParam, lParam);
  // Handling a message can end in the host releasing the view (browsing to
  // another folder destroys this window and drops the view); the view stays
  // alive until the handler has returned.
  ComPtr<IShellView> keepAlive = ComPtr<IShellView>::Share(view);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    view->OnWindowDestroyed();
    return DefWindowProcW(window, message, wParam, lParam);
  }
  LRESULT result = 0;
  bool handled = Guarded(false, [&] {
    result = view->HandleMessage(message, wParam, lParam);
    return true;
  });
  return handled ? result : 0;
}

LRESULT CShellView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CreateChild();
      return 0;
    case WM_DESTROY:
      DeregisterForChanges();
      KillTimer(window_, kDocumentTimer);
      StopResultFill();
      if (listDropTargetRegistered_ && list_ && list_->Control()) RevokeDragDrop(list_->Control());
      listDropTargetRegistered_ = false;
      return 0;
    case WM_SIZE: {
      int width = LOWORD(lParam);
      int height = HIWORD(lParam);
      if (list_) list_->Move(0, 0, width, height, true);
      if (installPage_) installPage_->Resize(0, 0, width, height, true);
      return 0;
    }
    case WM_ACTIVATE:
      ApplyActivation(SVUIA_ACTIVATE_FOCUS);
      return 0;
    case WM_SETFOCUS:
      OnFocusGained();
      return 0;
    case WM_KILLFOCUS:
      OnFocusLost();
      return 0;
    case WM_WININICHANGE:
      return 0;
    case WM_TIMER:
      if (wParam == kResultTimer) {
        FeedResults(kResultBudgetMs);
        return 0;
      }
      if (wParam != kDocumentTimer) return DefWindowProcW(window_, message, wParam, lParam);
      if (refreshWaiting_ && !editingLabel_ && !trackedMenu_) RefreshAfterChanges();
      FollowDocument();
      FollowIndex();
      return 0;
    case kChangeNotifyMessage:
      OnChangeNotification(wParam, lParam);
      return 0;
    case kChangeRefreshMessage:
      RefreshAfterChanges();
      return 0;
    case WM_NOTIFY:
      return HandleNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_VIEWS_BUTTON) {
        ShowViewModeMenu(lParam);
      } else {
        ExecuteViewCommand(LOWORD(wParam), HIWORD(wParam), lParam);
      }
      return 0;
    case WM_INITMENUPOPUP: {
      HMENU menu = reinterpret_cast<HMENU>(wParam);
      EnableMenuItem(menu, IDC_VIEWS_BUTTON, MF_BYCOMMAND | MF_DISABLED | MF_GRAYED);
      CheckMenuItem(menu, IDC_VIEWS_BUTTON, MF_BYCOMMAND | MF_UNCHECKED);
      LRESULT result = 0;
      ForwardMenuMessage(message, wParam, lParam, &result);
      return 0;
    }
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_MENUCHAR: {
      LRESULT result = 0;
      if (ForwardMenuMessage(message, wParam, lParam, &result)) return message == WM_MENUCHAR ? result : TRUE;
      return DefWindowProcW(window_, message, wParam, lParam);
    }
    case kRowItemMessage:
      return list_ ? reinterpret_cast<LRESULT>(list_->ItemIdentifier(static_cast<int>(wParam))) : 0;
    case kDropHighlightMessage:
      if (list_) list_->SetDropHighlight(static_cast<int>(wParam));
      return 0;
    case WM_NOTIFYFORMAT:
      // The list and its header are asked to send the W notifications.
      return lParam == NF_QUERY ? NFR_UNICODE : 0;
    default:
      return DefWindowProcW(window_, message, wParam, lParam);
  }
}

LRESULT CShellView::HandleNotify(NMHDR* header) {
  if (!header) return 0;
  switch (header->code) {
    case TTN_GETDISPINFOA:
    case TTN_GETDISPINFOW:
      return SupplyToolbarTooltip(header) ? 1 : 0;
    case HDN_ENDTRACKA:
    case HDN_ENDTRACKW:
      RememberColumnWidths();
      return 0;
    case HDN_ITEMCLICKA:
    case HDN_ITEMCLICKW:
      OnColumnClick(reinterpret_cast<NMHEADERW*>(header)->iItem);
      return 0;
    // The list is a Unicode control: its texts come and go as UTF-16.
    case LVN_GETDISPINFOW:
      OnGetDisplayInfo(reinterpret_cast<NMLVDISPINFOW*>(header));
      return 0;
    case LVN_BEGINLABELEDITW:
      OnBeginLabelEdit();
      return 0;
    case LVN_ENDLABELEDITW:
      editingLabel_ = false;
      OnEndLabelEdit(reinterpret_cast<NMLVDISPINFOW*>(header));
      return 0;
    case LVN_ODFINDITEMW:
      return OnFindItem(reinterpret_cast<NMLVFINDITEMW*>(header));
    case LVN_ODSTATECHANGED:
      ReportStateChange(CDBOSC_SELCHANGE);
      return 0;
    case LVN_ITEMCHANGED: {
      auto* change = reinterpret_cast<NMLISTVIEW*>(header);
      if ((change->uChanged & LVIF_STATE) && ((change->uOldState ^ change->uNewState) & LVIS_SELECTED))
        ReportStateChange(CDBOSC_SELCHANGE);
      return 0;
    }
    case NM_RCLICK: {
      DWORD position = GetMessagePos();
      // Signed: a monitor left of or above the primary one has negative coordinates.
      ShowItemMenu(GET_X_LPARAM(position), GET_Y_LPARAM(position), false);
      return 0;
    }
    case LVN_ITEMACTIVATE:
      // A file dialog may take the activation itself.
      if (dialogBrowser_ && dialogBrowser_->OnDefaultCommand(this) == S_OK) return 0;
      if (!BrowseIntoActivatedFolder()) ShowItemMenu(0, 0, true);
      return 0;
    case LVN_BEGINDRAG:
    case LVN_BEGINRDRAG:
      BeginDragOfSelection();
      return 0;
    case NM_CUSTOMDRAW:
      if (!list_ || header->hwndFrom != list_->Control()) return CDRF_DODEFAULT;
      return CListWindow::CustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header), list_->GetMode());
    case NM_SETFOCUS:
      OnFocusGained();
      return 0;
    case NM_KILLFOCUS:
      ApplyActivation(SVUIA_DEACTIVATE);
      return 0;
    default:
      return 0;
  }
}

}  // namespace qv
