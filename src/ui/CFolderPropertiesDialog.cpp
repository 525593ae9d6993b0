#include "ui/CFolderPropertiesDialog.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "folders/CFolderStore.h"
#include "common/ModulePaths.h"
#include "runtime/ModuleObjects.h"
#include "runtime/ModuleUse.h"
#include "common/Text.h"
#include "pidl/CPidlManager.h"
#include "operations/FolderOperations.h"
#include "operations/HelpPage.h"
#include "resources/resource.h"
#include "ui/Confirmation.h"

namespace qv {
namespace {

constexpr const char* kCategories[] = {"all",     "email",    "web",  "im",   "file",
                                       "contact", "calendar", "task", "note", "journal"};
constexpr char kAllCategories[] = "all";

// The pause after the last key before the query is asked, and how often the
// query in flight is looked at.
constexpr UINT_PTR kPreviewPauseTimer = 1;
constexpr UINT kPreviewPauseMs = 400;
constexpr UINT_PTR kPreviewPollTimer = 2;
constexpr UINT kPreviewPollMs = 50;

std::vector<CFolderPropertiesDialog*>& OpenDialogs() {
  static std::vector<CFolderPropertiesDialog*> dialogs;
  return dialogs;
}

void RemoveOpenDialog(CFolderPropertiesDialog* dialog) {
  auto& dialogs = OpenDialogs();
  auto found = std::find(dialogs.begin(), dialogs.end(), dialog);
  if (found != dialogs.end()) dialogs.erase(found);
}

bool IsOpenDialogWindow(HWND window) {
  if (!window) return false;
  for (const CFolderPropertiesDialog* dialog : OpenDialogs()) {
    if (dialog->Window() == window) return true;
  }
  return false;
}

// The dialog is modeless inside a host whose message loop knows nothing of it,
// so no loop calls IsDialogMessage for it and Tab, Enter and Esc would do
// nothing. While a dialog is open on a thread, a hook on that thread's message
// retrieval offers every key meant for a dialog to the dialog manager first; a
// key it handled reaches the host as WM_NULL (so neither the host's nor the
// view's accelerators act on it as well).
struct DialogKeysHook {
  HHOOK hook = nullptr;
  int dialogs = 0;
};
thread_local DialogKeysHook threadKeysHook;

LRESULT CALLBACK OfferKeysToDialog(int code, WPARAM removal, LPARAM lParam) {
  if (code == HC_ACTION && removal == PM_REMOVE && lParam) {
    auto* message = reinterpret_cast<MSG*>(lParam);
    if (message->message >= WM_KEYFIRST && message->message <= WM_KEYLAST && message->hwnd) {
      HWND dialog = GetAncestor(message->hwnd, GA_ROOT);
      // The dialog may end here (Esc, Enter); the message is finished with either way.
      if (IsOpenDialogWindow(dialog) && IsDialogMessageW(dialog, message)) {
        message->message = WM_NULL;
        message->wParam = 0;
        message->lParam = 0;
      }
    }
  }
  return CallNextHookEx(nullptr, code, removal, lParam);
}

void HookDialogKeys() {
  DialogKeysHook& keys = threadKeysHook;
  if (keys.dialogs++ == 0) {
    keys.hook = SetWindowsHookExW(WH_GETMESSAGE, &OfferKeysToDialog, nullptr, GetCurrentThreadId());
  }
}

void UnhookDialogKeys() {
  DialogKeysHook& keys = threadKeysHook;
  if (keys.dialogs == 0) return;
  if (--keys.dialogs == 0 && keys.hook) {
    UnhookWindowsHookEx(keys.hook);
    keys.hook = nullptr;
  }
}

class WaitCursor {
 public:
  WaitCursor() { SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT))); }
  ~WaitCursor() { SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW))); }
};

}  // namespace

CFolderPropertiesDialog::CFolderPropertiesDialog(LPCITEMIDLIST holderList, LPCITEMIDLIST folderList)
    : folder_(RequirePidlManager(), folderList), holder_(RequirePidlManager(), holderList) {}

CFolderPropertiesDialog::~CFolderPropertiesDialog() { RemoveOpenDialog(this); }

HWND ShowFolderPropertiesDialog(LPCITEMIDLIST holderList, LPCITEMIDLIST folderList) {
  if (!holderList || CPidlManager::KindOf(CPidlManager::GetLastItem(folderList)) != ItemKind::Folder) return nullptr;
  try {
    auto* dialog = new (std::nothrow) CFolderPropertiesDialog(holderList, folderList);
    if (!dialog) return nullptr;
    HWND window = CreateDialogParamW(ModuleInstance(), MAKEINTRESOURCEW(IDD_FOLDER_PROPERTIES), nullptr,
                                     &CFolderPropertiesDialog::DialogProc, reinterpret_cast<LPARAM>(dialog));
    if (!window) {
      delete dialog;
      return nullptr;
    }
    ShowWindow(window, SW_SHOW);
    SetFocus(GetDlgItem(window, IDC_FOLDER_NAME));
    return window;
  } catch (...) {
    return nullptr;
  }
}

int OpenPropertiesDialogCount() { return static_cast<int>(OpenDialogs().size()); }

CFolderPropertiesDialog* OpenPropertiesDialog(int index) {
  auto& dialogs = OpenDialogs();
  return index >= 0 && index < static_cast<int>(dialogs.size()) ? dialogs[index] : nullptr;
}

INT_PTR CALLBACK CFolderPropertiesDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<CFolderPropertiesDialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    try {
      dialog->OnInitDialog(window);
    } catch (...) {
    }
    return TRUE;
  }
  auto* dialog = reinterpret_cast<CFolderPropertiesDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!dialog) return FALSE;
  switch (message) {
    case WM_TIMER:
      if (wParam == kPreviewPauseTimer) {
        KillTimer(window, kPreviewPauseTimer);
        Guarded(false, [&] {
          dialog->StartPreview();
          return true;
        });
      } else if (wParam == kPreviewPollTimer) {
        Guarded(false, [&] {
          dialog->PollPreview();
          return true;
        });
      }
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_SEARCH_STRING:
          if (HIWORD(wParam) == EN_CHANGE) dialog->SearchChanged();
          return TRUE;
        case IDC_CATEGORY:
          if (HIWORD(wParam) == CBN_SELCHANGE || HIWORD(wParam) == CBN_EDITCHANGE) dialog->SearchChanged();
          return TRUE;
        case IDC_RANK_RELEVANCE:
        case IDC_RANK_RECENCY:
          if (HIWORD(wParam) == BN_CLICKED) dialog->SearchChanged();
          return TRUE;
        case IDC_QUERY_SYNTAX:
        case IDC_HELP_ADDRESS:
          // A click (BN_CLICKED and STN_CLICKED are both 0).
          if (HIWORD(wParam) == BN_CLICKED && !OpenHelpPage(window)) {
            ShowInformation(window,
                            FormatText(LoadResourceText(IDS_HELP_PAGE_MISSING).c_str(), ToUtf8(HelpPagePath()).c_str())
                                .c_str(),
                            "quorvane");
          }
          return TRUE;
        case IDC_APPLY_BUTTON:
          return dialog->Apply() ? TRUE : FALSE;
        case IDOK:
          dialog->Apply();
          DestroyWindow(window);
          return TRUE;
        case IDCANCEL:
          DestroyWindow(window);
          return TRUE;
        default:
          return FALSE;
      }
    case WM_NCDESTROY:
      // The dialog ends with its window, however the window goes.
      SetWindowLongPtrW(window, DWLP_USER, 0);
      UnhookDialogKeys();
      delete dialog;
      return FALSE;
    default:
      // WM_CLOSE included: the dialog manager turns it into Cancel.
      return FALSE;
  }
}

void CFolderPropertiesDialog::OnInitDialog(HWND window) {
  window_ = window;
  // Undone when the window is destroyed, whatever happens below.
  HookDialogKeys();
  OpenDialogs().push_back(this);

  HINSTANCE instance = ModuleInstance();
  auto bigIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_QUORVANE), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
  auto smallIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_QUORVANE), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                 LR_SHARED));
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));

  // The document's settings are what the dialog shows; the item's copy stands
  // in only for a folder the document no longer holds.
  FolderSettings settings;
  CFolderStore* store = TheFolderStore();
  if (ComPtr<IXMLDOMNode> node = store ? store->FindFolderNode(folder_.Get()) : nullptr) {
    settings = CFolderStore::ReadFolderSettings(node.Get());
  } else {
    CPidlManager::ReadFolderSettings(folder_.GetLastItem(), settings);
  }

  // The edit boxes count characters, whatever their encoding takes.
  SendDlgItemMessageW(window, IDC_FOLDER_NAME, EM_LIMITTEXT, kMaxFolderNameCharacters, 0);
  SendDlgItemMessageW(window, IDC_SEARCH_STRING, EM_LIMITTEXT, kMaxQueryCharacters, 0);
  SetDlgItemTextW(window, IDC_FOLDER_NAME, ToWide(settings.name).c_str());
  SetTitle(settings.name);
  CheckRadioButton(window, IDC_RANK_RELEVANCE, IDC_RANK_RECENCY,
                   settings.rankByRecency == 1 ? IDC_RANK_RECENCY : IDC_RANK_RELEVANCE);
  SetDlgItemTextW(window, IDC_SEARCH_STRING, ToWide(settings.query).c_str());
  SetDlgItemInt(window, IDC_MAX_RESULTS, static_cast<UINT>(settings.maxResults), FALSE);

  HWND category = GetDlgItem(window, IDC_CATEGORY);
  SendMessageW(category, CB_LIMITTEXT, kCategorySize, 0);
  for (const char* entry : kCategories) {
    SendMessageW(category, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ToWide(entry).c_str()));
  }
  LRESULT selected = settings.category.empty()
                         ? CB_ERR
                         : SendMessageW(category, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>(ToWide(settings.category).c_str()));
  SendMessageW(category, CB_SETCURSEL, selected == CB_ERR ? 0 : selected, 0);
  shown_ = settings;
  shownCategoryText_ = ControlText(IDC_CATEGORY);

  // The product's address is its help page, installed beside the module.
  SetDlgItemTextW(window, IDC_HELP_ADDRESS, HelpPageAddress().c_str());
  // What the folder's query finds now, without a pause.
  StartPreview();
}

FolderSettings CFolderPropertiesDialog::EditedSearch() const {
  FolderSettings search = shown_;
  search.query = ControlText(IDC_SEARCH_STRING);
  std::string category = ControlText(IDC_CATEGORY);
  search.category = lstrcmpiW(ToWide(category).c_str(), ToWide(kAllCategories).c_str()) == 0 ? "" : category;
  search.rankByRecency = IsDlgButtonChecked(window_, IDC_RANK_RELEVANCE) == BST_CHECKED ? 0 : 1;
  search.maxResults = 0;
  return search;
}

void CFolderPropertiesDialog::SearchChanged() {
  if (!window_) return;
  // Typing on restarts the pause.
  SetTimer(window_, kPreviewPauseTimer, kPreviewPauseMs, nullptr);
}

void CFolderPropertiesDialog::StartPreview() {
  if (preview_.Busy()) {
    previewAgain_ = true;
    return;
  }
  previewAgain_ = false;
  SearchRequest request;
  FolderSettings search = EditedSearch();
  // An empty search string finds nothing to count (the folder then searches
  // by its name, which the dialog does not edit here).
  if (search.query.find_first_not_of(" \t\r\n") == std::string::npos ||
      !MakeSearchRequest(search, true, request) || !preview_.Start(request)) {
    SetDlgItemTextW(window_, IDC_QUERY_PREVIEW, L"");
    return;
  }
  SetTimer(window_, kPreviewPollTimer, kPreviewPollMs, nullptr);
  PollPreview();
}

void CFolderPropertiesDialog::PollPreview() {
  QueryPreview::Answer answer;
  if (!preview_.Poll(answer)) return;
  KillTimer(window_, kPreviewPollTimer);
  ShowPreview(answer);
  if (previewAgain_) StartPreview();
}

void CFolderPropertiesDialog::ShowPreview(const QueryPreview::Answer& answer) {
  std::string count;
  if (!answer.complete) {
    count = FormatText(LoadResourceText(IDS_AT_LEAST_FILES_MATCH).c_str(), ToUtf8(GroupedNumber(answer.count)).c_str());
  } else if (answer.count == 0) {
    count = LoadResourceText(IDS_NO_FILES_MATCH);
  } else if (answer.count == 1) {
    count = LoadResourceText(IDS_ONE_FILE_MATCHES);
  } else {
    count = FormatText(LoadResourceText(IDS_FILES_MATCH).c_str(), ToUtf8(GroupedNumber(answer.count)).c_str());
  }
  std::wstring text = ToWide(count);
  if (!answer.warning.empty()) text += L"\r\n" + answer.warning;
  SetDlgItemTextW(window_, IDC_QUERY_PREVIEW, text.c_str());
  // The bundled service holds files only: a folder of any other category
  // stays empty, and the dialog says so beside the list.
  SetDlgItemTextW(window_, IDC_CATEGORY_NOTE,
                  answer.bundledService ? ToWide(LoadResourceText(IDS_CATEGORIES_ANSWERED)).c_str() : L"");
}

std::string CFolderPropertiesDialog::ControlText(int control) const {
  HWND window = GetDlgItem(window_, control);
  if (!window) return {};
  int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  int read = GetWindowTextW(window, text.data(), length + 1);
  text.resize(read > 0 ? static_cast<std::size_t>(read) : 0);
  return ToUtf8(text);
}

void CFolderPropertiesDialog::SetTitle(const std::string& name) {
  SetWindowTextW(window_, ToWide(name + " Properties").c_str());
}

bool CFolderPropertiesDialog::Apply() {
  WaitCursor wait;
  try {
    if (!holder_.Get() || CPidlManager::KindOf(folder_.GetLastItem()) != ItemKind::Folder) return false;
    // What the user changed against what the dialog showed; everything else
    // stays as the document holds it.
    FolderSettings edited = shown_;

    BOOL isNumber = FALSE;
    UINT maxResults = GetDlgItemInt(window_, IDC_MAX_RESULTS, &isNumber, FALSE);
    if (!isNumber) maxResults = 0;
    edited.maxResults = static_cast<std::int32_t>(maxResults);
    edited.rankByRecency = IsDlgButtonChecked(window_, IDC_RANK_RELEVANCE) == BST_CHECKED ? 0 : 1;

    std::string category = ControlText(IDC_CATEGORY);
    if (category != shownCategoryText_) {
      // "all" stands for the empty category.
      edited.category = lstrcmpiW(ToWide(category).c_str(), ToWide(kAllCategories).c_str()) == 0 ? "" : category;
    }

    // A search string may not grow past the limit; one the document already
    // holds longer is kept whole unless the user shortens it.
    std::string query = ControlText(IDC_SEARCH_STRING);
    std::size_t queryLimit = std::max(kMaxQueryCharacters, CharacterCount(shown_.query));
    if (CharacterCount(query) <= queryLimit) edited.query = query;
    edited.name = ControlText(IDC_FOLDER_NAME);

    FolderOperations holder(RequireFolderStore(), holder_.Get(), false, *this);
    std::optional<FolderOperations::AppliedSettings> applied = holder.ApplySettings(window_, folder_.Get(), shown_, edited);
    if (!applied) return false;
    if (applied->settings.name != shown_.name) SetTitle(applied->settings.name);
    // The dialog goes on editing the folder as it now is.
    folder_ = applied->list;
    shown_ = applied->settings;
    shownCategoryText_ = ControlText(IDC_CATEGORY);
    return true;
  } catch (...) {
    return false;
  }
}

bool CFolderPropertiesDialog::Confirm(HWND owner, const std::string& text, const std::string& title) {
  return AskYesNo(owner ? owner : window_, text.c_str(), title.c_str());
}

void CFolderPropertiesDialog::Inform(HWND owner, const std::string& text, const std::string& title) {
  ShowInformation(owner ? owner : window_, text.c_str(), title.c_str());
}

void CFolderPropertiesDialog::ShowFolderProperties(HWND, LPCITEMIDLIST holderList, LPCITEMIDLIST folderList) {
  ShowFolderPropertiesDialog(holderList, folderList);
}

}  // namespace qv
