#include "service/options/OptionsDialog.h"

#include <windows.h>
#include <commctrl.h>
#include <shobjidl.h>

#include <cstdint>
#include <ctime>
#include <iterator>
#include <string>
#include <vector>

#include "common/ComBase.h"
#include "common/Holders.h"
#include "common/RegistryWriter.h"
#include "common/Text.h"
#include "service/BackgroundIndexing.h"
#include "service/ExclusionList.h"
#include "service/IndexDatabase.h"
#include "service/Indexer.h"
#include "service/PassProgress.h"
#include "service/RootList.h"
#include "service/SqliteDatabase.h"
#include "service/WatcherInstance.h"
#include "service/options/OptionsResources.h"

namespace qv::service {
namespace {

constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 1000;
constexpr wchar_t kTitle[] = L"Indexing options - quorvane";

std::wstring Grouped(std::uint64_t value) {
  std::wstring digits = std::to_wstring(value);
  wchar_t text[64] = {};
  NUMBERFMTW format = {};
  wchar_t decimal[] = L".";
  wchar_t thousands[8] = L",";
  GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, thousands, 8);
  format.Grouping = 3;
  format.LeadingZero = 1;  // without it, 0 shows as nothing
  format.lpDecimalSep = decimal;
  format.lpThousandSep = thousands;
  if (GetNumberFormatEx(LOCALE_NAME_USER_DEFAULT, 0, digits.c_str(), &format, text, 64) == 0) return digits;
  return text;
}

std::wstring LocalTime(std::int64_t seconds) {
  if (seconds == 0) return L"never";
  std::time_t time = static_cast<std::time_t>(seconds);
  std::tm local = {};
  localtime_s(&local, &time);
  wchar_t text[64] = {};
  wcsftime(text, 64, L"%Y-%m-%d %H:%M", &local);
  return text;
}

// Passes and the watcher start from the windowless tool beside this one.
std::wstring ThisProgram() { return WindowlessToolPath(); }

// The columns of "Documents by format": the format, then one per count the
// index keeps for it.
struct FormatColumn {
  const wchar_t* title;
  std::uint64_t FormatCounts::*count;  // none for the format's own column
};
const FormatColumn kFormatColumns[] = {
    {L"Format", nullptr},
    {L"Read", &FormatCounts::read},
    {L"Cut off", &FormatCounts::cutOff},
    {L"Encrypted", &FormatCounts::encrypted},
    {L"Damaged", &FormatCounts::damaged},
    {L"Filter failed", &FormatCounts::filterFailed},
};

using FormatRows = std::vector<std::vector<std::wstring>>;

// One row of texts per format, in the columns' order.
FormatRows FormatRowsOf(const std::vector<FormatCounts>& formats) {
  FormatRows rows;
  for (const FormatCounts& format : formats) {
    std::vector<std::wstring>& row = rows.emplace_back();
    for (const FormatColumn& column : kFormatColumns) {
      row.push_back(column.count ? Grouped(format.*column.count) : format.extension);
    }
  }
  return rows;
}

// The shell's folder picker; empty when the user cancels.
std::wstring PickFolder(HWND owner, const wchar_t* title) {
  ComPtr<IFileOpenDialog> dialog;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IFileOpenDialog),
                              dialog.PutVoid()))) {
    return {};
  }
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  dialog->SetTitle(title);
  if (dialog->Show(owner) != S_OK) return {};
  ComPtr<IShellItem> item;
  if (FAILED(dialog->GetResult(item.Put()))) return {};
  TaskMemory<wchar_t> path;
  if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, path.Put()))) return {};
  return path.Get();
}

class OptionsWindow {
 public:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<OptionsWindow*>(GetWindowLongPtrW(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
      self = reinterpret_cast<OptionsWindow*>(lParam);
      SetWindowLongPtrW(window, DWLP_USER, lParam);
      self->window_ = window;
    }
    if (!self) return FALSE;
    try {
      return self->Handle(message, wParam, lParam);
    } catch (const SqliteError& e) {
      // Told once: the state is not refreshed again.
      KillTimer(window, kRefreshTimer);
      self->Tell(L"The search service's data cannot be used: " + FromUtf8(e.Message()));
    } catch (...) {
      KillTimer(window, kRefreshTimer);
      self->Tell(L"That did not work.");
    }
    return TRUE;
  }

 private:
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
      case WM_INITDIALOG:
        SendDlgItemMessageW(window_, IDC_PATTERN, EM_SETCUEBANNER, TRUE,
                            reinterpret_cast<LPARAM>(L"a file or folder name, * and ? as wildcards: *.tmp"));
        AddFormatColumns();
        FillLists();
        RefreshState();
        SetTimer(window_, kRefreshTimer, kRefreshMs, nullptr);
        return TRUE;
      case WM_TIMER:
        if (wParam == kRefreshTimer) RefreshState();
        return TRUE;
      case WM_COMMAND:
        Command(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
      case WM_CLOSE:
        EndDialog(window_, 0);
        return TRUE;
      case WM_DESTROY:
        KillTimer(window_, kRefreshTimer);
        return TRUE;
      default:
        return FALSE;
    }
  }

  void Command(int id, int code) {
    switch (id) {
      case IDC_ADD_ROOT: AddRoot(); break;
      case IDC_REMOVE_ROOT: RemoveRoot(); break;
      case IDC_EXCLUDE_FOLDER: ExcludeFolder(); break;
      case IDC_EXCLUDE_PATTERN: ExcludePattern(); break;
      case IDC_REMOVE_EXCLUSION: RemoveExclusion(); break;
      case IDC_UPDATE_NOW:
        if (!StartIndexPass(ThisProgram())) Tell(L"The index pass could not be started.");
        RefreshState();
        break;
      case IDC_REBUILD: Rebuild(); break;
      case IDC_PAUSE: TogglePause(); break;
      case IDC_ROOTS:
      case IDC_EXCLUSIONS:
        if (code == LBN_SELCHANGE) EnableButtons();
        break;
      case IDC_PATTERN:
        if (code == EN_CHANGE) EnableButtons();
        break;
      case IDCANCEL:
        EndDialog(window_, 0);
        break;
      default:
        break;
    }
  }

  void Tell(const std::wstring& text) const { MessageBoxW(window_, text.c_str(), kTitle, MB_OK | MB_ICONINFORMATION); }

  static void Changed() {
    if (IsWatcherRunning()) NotifyWatcherRootsChanged();
  }

  void AddRoot() {
    std::wstring folder = PickFolder(window_, L"Choose a folder to index");
    if (folder.empty()) return;
    AddRootResult result = RootList().Add(folder);
    if (result != AddRootResult::Added) {
      Tell(AddRootRefusal(result, folder));
      return;
    }
    Changed();
    FillLists();
    if (!IsWatcherRunning()) StartIndexPass(ThisProgram());
  }

  void RemoveRoot() {
    std::wstring root = Selected(IDC_ROOTS);
    if (root.empty() || !RootList().Remove(root)) return;
    Changed();
    FillLists();
  }

  void ExcludeFolder() {
    std::wstring folder = PickFolder(window_, L"Choose a folder to leave out of the index");
    if (!folder.empty()) Exclude(folder);
  }

  void ExcludePattern() {
    wchar_t text[260] = {};
    GetDlgItemTextW(window_, IDC_PATTERN, text, 260);
    std::wstring pattern = text;
    if (pattern.find_first_not_of(L" \t") == std::wstring::npos) return;
    if (IsFolderExclusion(pattern)) {
      Tell(L"A name pattern matches one file or folder name; it holds no \\, / or :. Use \"Add folder...\" for a folder.");
      return;
    }
    if (Exclude(pattern)) SetDlgItemTextW(window_, IDC_PATTERN, L"");
  }

  bool Exclude(const std::wstring& entry) {
    ExcludeResult result = ExclusionList().Add(entry);
    if (result == ExcludeResult::AlreadyExcluded) return true;
    if (result != ExcludeResult::Added) {
      Tell(ExcludeRefusal(result, entry));
      return false;
    }
    Changed();
    FillLists();
    return true;
  }

  void RemoveExclusion() {
    std::wstring entry = Selected(IDC_EXCLUSIONS);
    if (entry.empty() || !ExclusionList().Remove(entry)) return;
    Changed();
    FillLists();
  }

  void Rebuild() {
    if (MessageBoxW(window_,
                    L"Rebuild the index from the indexed folders?\n\nEvery file is read again; until that is done, "
                    L"searches find only the files read so far.",
                    kTitle, MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) != IDOK) {
      return;
    }
    // The next pass (this one, or the watcher's next batch) builds it anew.
    MarkIndexDamaged();
    StartIndexPass(ThisProgram());
    RefreshState();
  }

  void TogglePause() {
    if (IsIndexingPaused()) {
      SetIndexingPaused(false);
      if (!IsWatcherRunning() && !StartWatcherProcess(ThisProgram())) Tell(L"The watcher could not be started.");
    } else {
      SetIndexingPaused(true);
      // The wait cursor (IDC_WAIT) by number: the macro is narrow under this build.
      HCURSOR previous = SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));
      if (!StopWatcher(15000)) Tell(L"Indexing is paused, but the watcher did not stop within 15 seconds.");
      SetCursor(previous);
    }
    RefreshState();
  }

  std::wstring Selected(int list) const {
    auto index = SendDlgItemMessageW(window_, list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR) return {};
    auto length = SendDlgItemMessageW(window_, list, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendDlgItemMessageW(window_, list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
  }

  void Fill(int list, const std::vector<std::wstring>& entries) {
    HWND control = GetDlgItem(window_, list);
    SendMessageW(control, WM_SETREDRAW, FALSE, 0);
    SendMessageW(control, LB_RESETCONTENT, 0, 0);
    LONG widest = 0;
    HDC dc = GetDC(control);
    HGDIOBJ font = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    for (const std::wstring& entry : entries) {
      SendMessageW(control, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
      SIZE size = {};
      GetTextExtentPoint32W(dc, entry.c_str(), static_cast<int>(entry.size()), &size);
      if (size.cx > widest) widest = size.cx;
    }
    SelectObject(dc, font);
    ReleaseDC(control, dc);
    SendMessageW(control, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 8), 0);
    SendMessageW(control, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(control, nullptr, TRUE);
  }

  void FillLists() {
    Fill(IDC_ROOTS, RootList().All());
    Fill(IDC_EXCLUSIONS, ExclusionList().All());
    EnableButtons();
  }

  void EnableButtons() {
    auto selected = [&](int list) { return SendDlgItemMessageW(window_, list, LB_GETCURSEL, 0, 0) != LB_ERR; };
    EnableWindow(GetDlgItem(window_, IDC_REMOVE_ROOT), selected(IDC_ROOTS));
    EnableWindow(GetDlgItem(window_, IDC_REMOVE_EXCLUSION), selected(IDC_EXCLUSIONS));
    EnableWindow(GetDlgItem(window_, IDC_EXCLUDE_PATTERN), GetWindowTextLengthW(GetDlgItem(window_, IDC_PATTERN)) > 0);
  }

  void AddFormatColumns() {
    HWND list = GetDlgItem(window_, IDC_FORMATS);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    RECT client = {};
    GetClientRect(list, &client);
    int count = static_cast<int>(std::size(kFormatColumns));
    int width = (client.right - GetSystemMetrics(SM_CXVSCROLL)) / count;
    for (int i = 0; i < count; ++i) {
      LVCOLUMNW column = {};
      column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
      column.fmt = kFormatColumns[i].count ? LVCFMT_RIGHT : LVCFMT_LEFT;
      column.cx = width;
      column.pszText = const_cast<wchar_t*>(kFormatColumns[i].title);
      column.iSubItem = i;
      SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
  }

  // Filled again only when a count changed, so the list keeps its scroll position.
  void RefreshFormats() {
    FormatRows rows;
    try {
      rows = FormatRowsOf(DocumentCountsByFormat());
    } catch (const SqliteError&) {
      return;  // a first pass may be making the index: the rows stay as they were
    }
    if (rows == formatRows_) return;
    formatRows_ = std::move(rows);
    HWND list = GetDlgItem(window_, IDC_FORMATS);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (std::size_t row = 0; row < formatRows_.size(); ++row) {
      for (std::size_t column = 0; column < formatRows_[row].size(); ++column) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(row);
        item.iSubItem = static_cast<int>(column);
        item.pszText = formatRows_[row][column].data();
        SendMessageW(list, column == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
      }
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
  }

  void RefreshState() {
    bool damaged = IsIndexMarkedDamaged();
    auto files = static_cast<std::uint64_t>(IndexedFileCount());
    SetDlgItemTextW(window_, IDC_STATE_FILES,
                    (L"Files in the index: " + Grouped(files) +
                     (damaged ? L" (to be rebuilt by the next pass)" : L""))
                        .c_str());
    // Counting them reads every file's row: every tenth refresh is enough,
    // and the end of a pass.
    PassProgress progress;
    bool running = ReadPassProgress(&progress);
    if (refreshes_++ % 10 == 0 || (passWasRunning_ && !running)) {
      SetDlgItemTextW(window_, IDC_STATE_SKIPPED,
                      (L"Documents cut off or skipped: " + Grouped(static_cast<std::uint64_t>(SkippedDocumentCount())))
                          .c_str());
      RefreshFormats();
    }
    passWasRunning_ = running;
    SetDlgItemTextW(window_, IDC_STATE_LAST_PASS, (L"Last pass: " + LocalTime(LastIndexPassTime())).c_str());
    bool paused = IsIndexingPaused();
    bool watching = IsWatcherRunning();
    SetDlgItemTextW(window_, IDC_STATE_WATCHER,
                    paused     ? L"Watcher: paused; the index stays as it is until indexing is resumed"
                    : watching ? L"Watcher: running; changes reach the index within seconds"
                               : L"Watcher: not running; the index is as fresh as its last pass");
    SetDlgItemTextW(window_, IDC_PAUSE, paused ? L"&Resume indexing" : L"&Pause indexing");

    HWND bar = GetDlgItem(window_, IDC_PROGRESS);
    bool marquee = running && progress.filesExpected == 0;
    LONG_PTR style = GetWindowLongPtrW(bar, GWL_STYLE);
    if (marquee && !(style & PBS_MARQUEE)) {
      SetWindowLongPtrW(bar, GWL_STYLE, style | PBS_MARQUEE);
      SendMessageW(bar, PBM_SETMARQUEE, TRUE, 50);
    } else if (!marquee && (style & PBS_MARQUEE)) {
      SendMessageW(bar, PBM_SETMARQUEE, FALSE, 0);
      SetWindowLongPtrW(bar, GWL_STYLE, style & ~static_cast<LONG_PTR>(PBS_MARQUEE));
      InvalidateRect(bar, nullptr, TRUE);
    }
    std::wstring text;
    if (!running) {
      SendMessageW(bar, PBM_SETRANGE32, 0, 1);
      SendMessageW(bar, PBM_SETPOS, 0, 0);
      text = L"No index pass is running.";
    } else if (marquee) {
      // A first pass publishes its count now and then; what it wrote may be more.
      text = L"Indexing: " + Grouped(progress.filesSeen > files ? progress.filesSeen : files) + L" files so far";
    } else {
      std::uint64_t expected = progress.filesExpected;
      std::uint64_t done = progress.filesSeen < expected ? progress.filesSeen : expected;
      // The bar counts in thousandths: its range is a 32-bit number.
      SendMessageW(bar, PBM_SETRANGE32, 0, 1000);
      SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(done * 1000 / expected), 0);
      text = L"Indexing: " + Grouped(progress.filesSeen) + L" of about " + Grouped(expected) + L" files";
    }
    SetDlgItemTextW(window_, IDC_PROGRESS_TEXT, text.c_str());
  }

  HWND window_ = nullptr;
  unsigned refreshes_ = 0;
  bool passWasRunning_ = false;
  FormatRows formatRows_;
};

}  // namespace

int ShowIndexingOptions(HINSTANCE instance) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  OptionsWindow window;
  INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_INDEXING_OPTIONS), nullptr, &OptionsWindow::Procedure,
                                   reinterpret_cast<LPARAM>(&window));
  if (SUCCEEDED(init)) CoUninitialize();
  return result == -1 ? 2 : 0;
}

}  // namespace qv::service
