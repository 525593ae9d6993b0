#pragma once
// The view Explorer shows for one of the component's folders: its window (class
// "quorvaneNSClass") holds either the list of the folder's items or, when the
// desktop search service cannot be reached, the install page.

#include <windows.h>
#include <shlobj.h>
#include <docobj.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/ComBase.h"
#include "runtime/LiveObjects.h"
#include "common/Holders.h"
#include "pidl/CItemIdList.h"
#include "search/IndexStatus.h"
#include "search/ResultCache.h"
#include "search/ResultFeed.h"
#include "view/CListWindow.h"

namespace qv {

class IViewFolder;
class CBrowserPlaceholder;

class CShellView : public ComObject<CShellView, LiveCount<LiveClass::ShellView>, IShellView, IOleCommandTarget> {
 public:
  static constexpr wchar_t kWindowClass[] = L"quorvaneNSClass";

  // `folder` and `viewFolder` are the same object; `item` is the folder's own
  // item (the last item of its relative list), null for the root. Throws
  // ComError when the view cannot be set up.
  CShellView(IShellFolder* folder, IViewFolder* viewFolder, LPCITEMIDLIST item);
  ~CShellView() override;

  static const InterfaceEntry* InterfaceTable();

  // IOleWindow
  STDMETHODIMP GetWindow(HWND* phwnd) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  // IShellView
  STDMETHODIMP TranslateAccelerator(MSG* pmsg) override;
  STDMETHODIMP EnableModeless(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP UIActivate(UINT uState) override;
  STDMETHODIMP Refresh() override;
  STDMETHODIMP CreateViewWindow(IShellView* previous, LPCFOLDERSETTINGS pfs, IShellBrowser* psb, RECT* prcView,
                                HWND* phWnd) override;
  STDMETHODIMP DestroyViewWindow() override;
  STDMETHODIMP GetCurrentInfo(LPFOLDERSETTINGS pfs) override;
  STDMETHODIMP AddPropertySheetPages(DWORD, LPFNSVADDPROPSHEETPAGE, LPARAM) override { return E_NOTIMPL; }
  STDMETHODIMP SaveViewState() override { return S_OK; }
  // Selects, focuses or starts renaming a row; a search folder the list does
  // not show yet (one just made) gets its row first when renaming is asked.
  STDMETHODIMP SelectItem(PCUITEMID_CHILD item, SVSIF flags) override;
  STDMETHODIMP GetItemObject(UINT uItem, REFIID riid, void** ppv) override;
  // IOleCommandTarget
  STDMETHODIMP QueryStatus(const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT* text) override;
  STDMETHODIMP Exec(const GUID* group, DWORD command, DWORD options, VARIANT* in, VARIANT* out) override;

  // List operations for the folder operations and the view's commands.
  // Adds a row for the last item of `list` and starts editing its name.
  void EditNewItemLabel(LPCITEMIDLIST list);
  // Applies a view mode to the list and stores it for the folder.
  void ApplyViewMode(int mode);
  // The view's commands: keys, toolbar buttons, menu items, Exec.
  void ExecuteViewCommand(UINT command, UINT notifyCode, LPARAM lParam);
  // The views button's drop-down: lParam carries the button's screen rectangle.
  void ShowViewModeMenu(LPARAM lParam);
  // The folder's context menu for the selected rows (the background's with none):
  // shown at the screen point, or with `runDefault` its default command run.
  void ShowItemMenu(int x, int y, bool runDefault);
  // An activated row that is a folder opens in this window, as any folder does in
  // a shell browser; false when the row is not one folder or there is no browser.
  bool BrowseIntoActivatedFolder();
  // Starts dragging the selected rows.
  void BeginDragOfSelection();

  HWND ViewWindow() const { return window_; }
  // The list control, or null when the view shows the install page.
  HWND ListControl() const { return list_ ? list_->Control() : nullptr; }
  HWND InstallPageWindow() const;
  // Whether a search folder's results are still arriving: the list shows what
  // came so far and takes the rest as the service makes it.
  bool IsFilling() const { return feed_ != nullptr; }

 private:
  // The timer that takes a search folder's results while they arrive.
  static constexpr UINT_PTR kResultTimer = 0x5157;
  static constexpr DWORD kResultBudgetMs = 100;

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleNotify(NMHDR* header);
  void CreateChild();
  void RegisterListDropTarget();
  void AddToolbarButtons();
  void ApplyActivation(UINT state);
  void OnFocusGained();
  void OnFocusLost();
  void OnWindowDestroyed();
  void ReportStateChange(ULONG change);
  // Another process may change the folder definitions: the view looks at the
  // document now and then and fills its list again when what it shows changed.
  void RememberShownDocument();
  void FollowDocument();
  // The search service's index changes (a pass, the watcher): a search
  // folder's view asks its query again, at most once a second, and changes
  // its rows only where the answer differs.
  void FollowIndex();
  void RefillResultsQuietly();
  // The view listens for the shell's change notifications about its folder and
  // the items in it; several notices in a row fill the list once.
  void RegisterForChanges();
  void DeregisterForChanges();
  void OnChangeNotification(WPARAM wParam, LPARAM lParam);
  bool ConcernsFolder(LPCITEMIDLIST list) const;
  // Whether the list names a result item of this folder.
  bool IsResultHere(LPCITEMIDLIST list) const;
  // A notice that a result of this folder was deleted or renamed changes its
  // row; true when the notice was one of those.
  bool ApplyResultNotice(LONG event, LPCITEMIDLIST first, LPCITEMIDLIST second);
  void RemoveResultRow(LPCITEMIDLIST item);
  void RenameResultRow(LPCITEMIDLIST oldItem, LPCITEMIDLIST newItem);
  void RefreshAfterChanges();

  // The list (defined with the list presentation).
  bool SetUpList();
  void FillList();
  // Appends the enumerator's items as rows; their number, or -1 when the host
  // took the list away meanwhile.
  int AppendEnumerated(IEnumIDList* items);
  int AddItem(LPCITEMIDLIST item);
  // A search folder's fill: its sub-folders at once, then its results as the
  // service makes them available, taken on the view's timer. A folder opened
  // again or refreshed shows the results its query gave a moment ago (less
  // files gone since) until the service's fresh answer replaces them. False when the folder is not one whose query
  // the view can run itself (the list then fills from the enumerator).
  bool StartResultFill();
  // Takes the results available now, for about `budgetMs` milliseconds.
  void FeedResults(DWORD budgetMs);
  void AppendResults(const std::vector<SearchResultText>& results, std::size_t from);
  void FinishResultFill();
  // The results the rows show, in the service's order.
  resultcache::PackedResults ShownResults() const;
  void ReplaceShownResults();
  void StopResultFill();
  void ShowAddedRows();
  // Whether a file dialog hosting the view lets the item be shown.
  bool Included(LPCITEMIDLIST item);
  // Sorts as the folder keeps it, or by name when the user never sorted it.
  void SortAsKept();
  SortOrder KeptSortOrder() const;
  void FitTypeColumn();
  void OnGetDisplayInfo(NMLVDISPINFOW* info);
  // Typing in the list finds the next row whose name begins with the text.
  LRESULT OnFindItem(NMLVFINDITEMW* find);
  void OnColumnClick(int column);
  void RememberColumnWidths();
  void OnBeginLabelEdit();
  void OnEndLabelEdit(NMLVDISPINFOW* info);
  void WriteStatusText();
  // Asks the service how far its index is (when a fill ends).
  void AskIndexStatus();
  // What the status bar says of the index: that it is still being built, or
  // (with no result shown) that no folder is indexed; empty otherwise.
  std::string IndexNotice() const;
  void StartRenameOfSelection();
  void SelectPendingNewItem();

  // The view's commands that act on the folder (defined with the commands).
  void NewFolder();
  void DeleteSelectionOrFolder();
  void ShowSelectionProperties();
  // The identifiers of the selected rows, borrowed from the rows, in list order.
  std::vector<LPCITEMIDLIST> SelectedIdentifiers() const;
  // Hands a message for the tracked popup menu to its context menu; true when
  // that handled it, with its answer in *result.
  bool ForwardMenuMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  // Runs a context menu command chosen from the popup menu.
  void InvokeMenuCommand(IContextMenu* menu, UINT command);

  UINT activation_ = SVUIA_DEACTIVATE;
  CItemIdList folderItem_;
  FOLDERSETTINGS settings_ = {};
  ComPtr<IShellBrowser> browser_;
  HWND parent_ = nullptr;
  HWND window_ = nullptr;
  MenuHandle sharedMenu_;
  ComPtr<IShellFolder> folder_;
  IViewFolder* viewFolder_;
  ComPtr<IMalloc> allocator_;
  ComPtr<ICommDlgBrowser> dialogBrowser_;
  std::unique_ptr<CListWindow> list_;
  std::unique_ptr<CBrowserPlaceholder> installPage_;
  AcceleratorHandle accelerators_;
  bool editingLabel_ = false;
  bool listDropTargetRegistered_ = false;
  // The context menu of the popup menu being tracked, when it takes menu messages.
  ComPtr<IContextMenu2> trackedMenu_;
  // A folder just created here, to select once a refresh has sorted it in.
  CItemIdList pendingNewItem_;
  // The version of the document the list was filled from, and what it showed.
  unsigned shownGeneration_ = 0;
  std::wstring shownSignature_;
  // The folder's list from the desktop, the change notification registration
  // and whether a refresh for a notice is on its way or waits for a rename.
  CItemIdList folderList_;
  ULONG changeRegistration_ = 0;
  bool refreshPosted_ = false;
  bool refreshWaiting_ = false;
  // The fill in progress (null when the list is complete), what it asked, what
  // it took so far, and the kept results shown meanwhile (null when none).
  std::shared_ptr<ResultFeed> feed_;
  SearchRequest feedRequest_;
  std::vector<SearchResultText> fedResults_;
  std::shared_ptr<const std::vector<SearchResultText>> keptResults_;
  // The index's stamp when the list was last filled, when the view last asked
  // because it changed, and whether that fill runs without a word in the
  // status bar.
  std::uint32_t shownIndexStamp_ = 0;
  ULONGLONG indexRefillTick_ = 0;
  bool quietFill_ = false;
  // What the service told of its index when the last fill ended, and whether
  // it told anything.
  IndexStatus indexStatus_;
  bool indexStatusKnown_ = false;
  // The rows' counts when the view counted them itself (-1: the folder's counts).
  int shownResults_ = -1;
  int shownFolders_ = 0;
};

}  // namespace qv
