#include "ui/CFolderPropertiesDialog.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "folders/CFolderStore.h"
#include "module/ModulePaths.h"
#include "module/ModuleUse.h"
#include "module/Text.h"
#include "pidl/CPidlManager.h"
#include "pidl/RecordText.h"
#include "resources/resource.h"
#include "shellfolder/CShellFolder.h"
#include "shellfolder/ShellRequests.h"
#include "ui/Confirmation.h"
#include "view/OpenViews.h"

namespace qv {
namespace {

constexpr const char* kCategories[] = {"all",     "email",    "web",  "im",   "file",
                                       "contact", "calendar", "task", "note", "journal"};
constexpr char kAllCategories[] = "all";
// The name field takes fewer characters than a name holds.
constexpr int kNameFieldSize = 40;

std::vector<CFolderPropertiesDialog*>& OpenDialogs() {
  static std::vector<CFolderPropertiesDialog*> dialogs;
  return dialogs;
}

void RemoveOpenDialog(CFolderPropertiesDialog* dialog) {
  auto& dialogs = OpenDialogs();
  auto found = std::find(dialogs.begin(), dialogs.end(), dialog);
  if (found != dialogs.end()) dialogs.erase(found);
}

SearchFolderRecord* MutableRecordOf(const CItemIdList& list) {
  return const_cast<SearchFolderRecord*>(CPidlManager::GetFolderRecord(list.GetLastItem()));
}

class WaitCursor {
 public:
  WaitCursor() { SetCursor(LoadCursor(nullptr, IDC_WAIT)); }
  ~WaitCursor() { SetCursor(LoadCursor(nullptr, IDC_ARROW)); }
};

}  // namespace

CFolderPropertiesDialog::CFolderPropertiesDialog(CShellFolder* holder, LPCITEMIDLIST folderList)
    : folder_(RequirePidlManager(), folderList), holder_(ComPtr<CShellFolder>::Share(holder)) {}

CFolderPropertiesDialog::~CFolderPropertiesDialog() { RemoveOpenDialog(this); }

HWND ShowFolderPropertiesDialog(CShellFolder* holder, LPCITEMIDLIST folderList) {
  if (!holder || CPidlManager::KindOf(CPidlManager::GetLastItem(folderList)) != ItemKind::Folder) return nullptr;
  try {
    auto* dialog = new (std::nothrow) CFolderPropertiesDialog(holder, folderList);
    if (!dialog) return nullptr;
    HWND window = CreateDialogParamA(ModuleInstance(), MAKEINTRESOURCEA(IDD_FOLDER_PROPERTIES), nullptr,
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
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    try {
      dialog->OnInitDialog(window);
    } catch (...) {
    }
    return TRUE;
  }
  auto* dialog = reinterpret_cast<CFolderPropertiesDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  if (!dialog) return FALSE;
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
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
      SetWindowLongPtrA(window, DWLP_USER, 0);
      delete dialog;
      return FALSE;
    default:
      // WM_CLOSE included: the dialog manager turns it into Cancel.
      return FALSE;
  }
}

void CFolderPropertiesDialog::OnInitDialog(HWND window) {
  window_ = window;
  OpenDialogs().push_back(this);

  HINSTANCE instance = ModuleInstance();
  auto bigIcon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_QUORVANE), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
  auto smallIcon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_QUORVANE), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                 LR_SHARED));
  SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
  SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));

  // The document's settings are the baseline every Apply compares against.
  SearchFolderRecord* record = MutableRecordOf(folder_);
  if (ComPtr<IXMLDOMNode> node = folder_.FindNode()) CFolderStore::ReadFolderRecord(*record, node.Get());

  SetDlgItemTextA(window, IDC_FOLDER_NAME, record->name);
  SetTitle(record->name);
  CheckRadioButton(window, IDC_RANK_RELEVANCE, IDC_RANK_RECENCY,
                   record->rankByRecency == 1 ? IDC_RANK_RECENCY : IDC_RANK_RELEVANCE);
  SetDlgItemTextA(window, IDC_SEARCH_STRING, record->query);
  SetDlgItemInt(window, IDC_MAX_RESULTS, static_cast<UINT>(record->maxResults), FALSE);

  HWND category = GetDlgItem(window, IDC_CATEGORY);
  SendMessageA(category, CB_LIMITTEXT, kCategorySize, 0);
  for (const char* entry : kCategories) SendMessageA(category, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
  LRESULT selected = record->category[0]
                         ? SendMessageA(category, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>(record->category))
                         : CB_ERR;
  SendMessageA(category, CB_SETCURSEL, selected == CB_ERR ? 0 : selected, 0);
}

void CFolderPropertiesDialog::SetTitle(const char* name) {
  SetWindowTextA(window_, FormatText("%s Properties", name).c_str());
}

bool CFolderPropertiesDialog::Apply() {
  WaitCursor wait;
  try {
    const SearchFolderRecord* baseline = CPidlManager::GetFolderRecord(folder_.GetLastItem());
    if (!baseline || !holder_) return false;
    SearchFolderRecord working = *baseline;
    bool settingsChanged = false;

    BOOL isNumber = FALSE;
    UINT maxResults = GetDlgItemInt(window_, IDC_MAX_RESULTS, &isNumber, FALSE);
    if (!isNumber) maxResults = 0;
    if (static_cast<std::int32_t>(maxResults) != working.maxResults) {
      working.maxResults = static_cast<std::int32_t>(maxResults);
      settingsChanged = true;
    }

    std::int32_t byRecency = IsDlgButtonChecked(window_, IDC_RANK_RELEVANCE) == BST_CHECKED ? 0 : 1;
    if (byRecency != working.rankByRecency) {
      working.rankByRecency = byRecency;
      settingsChanged = true;
    }

    char category[kCategorySize] = {};
    GetDlgItemTextA(window_, IDC_CATEGORY, category, sizeof category);
    if (std::strcmp(category, working.category) != 0) {
      std::memset(working.category, 0, sizeof working.category);
      // "all" stands for the empty category.
      if (lstrcmpiA(category, kAllCategories) != 0) CopyAnsi(category, working.category, sizeof working.category);
      settingsChanged = true;
    }

    char query[kQuerySize] = {};
    GetDlgItemTextA(window_, IDC_SEARCH_STRING, query, sizeof query);
    if (std::strcmp(query, working.query) != 0) {
      std::memset(working.query, 0, sizeof working.query);
      CopyAnsi(query, working.query, sizeof working.query);
      settingsChanged = true;
    }

    CFolderStore& store = RequireFolderStore();
    char name[kNameFieldSize] = {};
    GetDlgItemTextA(window_, IDC_FOLDER_NAME, name, sizeof name);
    bool nameChanged = false;
    if (name[0] && std::strcmp(name, working.name) != 0) {
      // A sibling's name would make two folders that one path cannot tell apart.
      ComPtr<IXMLDOMNode> parentNode = store.FindFolderNode(holder_->AbsoluteList());
      ComPtr<IXMLDOMNode> sibling = parentNode ? store.FindChildFolder(parentNode.Get(), name) : nullptr;
      bool taken = sibling && lstrcmpiA(name, working.name) != 0;
      if (!taken) {
        std::memset(working.name, 0, sizeof working.name);
        CopyAnsi(name, working.name, sizeof working.name);
        nameChanged = true;
      }
    }
    if (!settingsChanged && !nameChanged) return false;

    CItemIdList item(RequirePidlManager(), folder_.GetLastItem());
    *MutableRecordOf(item) = working;
    CItemIdList updated(RequirePidlManager());
    updated.Adopt(RequirePidlManager().Concat(holder_->AbsoluteList(), item.Get()));
    if (!updated.Get()) return false;

    ComPtr<IXMLDOMNode> node = folder_.FindNode();
    int written = 0;
    try {
      written = store.UpdateFolder(folder_.Get(), updated.Get());
    } catch (const ComError&) {
      if (node) CFolderStore::WriteFolderRecord(node.Get(), *baseline);
      return false;
    }
    if (!written) {
      // Nothing the document keeps changed: nothing to save, nothing to say.
      if (CPidlManager::IsSameItem(folder_.Get(), updated.Get()) && FieldText(working.name) == FieldText(baseline->name)) {
        return false;
      }
      // Refused: the folder is not where, or not what, the dialog holds any more.
      ShowInformation(window_, LoadResourceText(IDS_FOLDER_CHANGED_ELSEWHERE).c_str(),
                      FormatText("%s Properties", FieldText(baseline->name).c_str()).c_str());
      return false;
    }
    if (nameChanged) {
      NotifyShell(SHCNE_RENAMEFOLDER, folder_.Get(), updated.Get());
      SetTitle(working.name);
    } else {
      NotifyShell(SHCNE_UPDATEDIR, updated.Get(), nullptr);
    }
    // The dialog goes on editing the folder as it now is.
    folder_ = updated;
    RefreshAllViews();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace qv
