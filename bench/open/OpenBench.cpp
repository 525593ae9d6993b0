// Times opening a search folder of N results (each an existing file, from the
// stand-in search service) in the component's view, against the shell's own view
// of a plain folder of the same N files: bind, view object, view window, list
// filled and painted, in one host and one run. At each N the two open in turn,
// five rounds each after one untimed open of each, every search round cold (no
// kept results); it prints the median of each, the ratio of the medians, the
// medians of the time to the first painted rows, and the growth of the
// process's working set over the search folder's complete list. Above 10,000 only the search folder opens (its files
// in directories of 1,000), its list scrolls to the last row and paints, and
// "open N complete ms: X" follows the table with its working set. The last line
// is "open ratio at N: X" for the largest N measured side by side. Wine makes
// each new file of one directory look through all the others, so a plain folder
// of 100,000 takes longer to make than to measure.
//
//   quorvane_open_bench [N ...]     (default: 1000 10000)

#include <windows.h>
#include <ole2.h>
#include <psapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "BenchFolder.h"
#include "BenchTiming.h"
#include "folders/CFolderStore.h"
#include "common/ComBase.h"
#include "runtime/ModuleObjects.h"
#include "search/ResultCache.h"
#include "common/Text.h"
#include "pidl/CItemIdList.h"
#include "pidl/CPidlManager.h"
#include "shellfolder/CShellFolder.h"
#include "support/TestItemList.h"
#include "view/TestBrowser.h"
#include "view/ViewFixture.h"

namespace {

using qv::ComPtr;

constexpr int kRounds = 5;
constexpr int kLargestSideBySide = 10000;

using qv::bench::NowMs;

double WorkingSetMb() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
}

BOOL CALLBACK FindList(HWND window, LPARAM found) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, ARRAYSIZE(name));
  if (lstrcmpiW(name, WC_LISTVIEWW) != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// One open: milliseconds to the first painted page of rows and to the complete
// painted list, and the working set with the complete list shown.
struct Open {
  double firstRows = -1;
  double complete = -1;
  double workingSetMb = 0;
};

void Paint(HWND list) { RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN); }

// Shows the folder's view in a fresh browser window until its list holds
// `count` rows and has painted; complete is -1 when it never did. Messages are
// handled one at a time, as a host's loop would, so the first rows are seen as
// soon as they could paint (a paint comes before the view's next timer).
Open OpenAndFill(const std::function<ComPtr<IShellFolder>()>& bind, int count) {
  Open open;
  double start = NowMs();
  ComPtr<IShellFolder> folder = bind();
  if (!folder) return open;
  auto browser = qv::MakeComObject<qv::test::TestBrowser>();
  ComPtr<IShellView> view;
  if (FAILED(folder->CreateViewObject(browser->Frame(), IID_IShellView, view.PutVoid())) || !view) return open;
  RECT area = {};
  GetClientRect(browser->Frame(), &area);
  FOLDERSETTINGS settings = {FVM_DETAILS, 0};
  HWND window = nullptr;
  if (FAILED(view->CreateViewWindow(nullptr, &settings, browser.Get(), &area, &window)) || !window) return open;
  HWND list = nullptr;
  int rows = 0;
  for (double limit = NowMs() + 600000; NowMs() < limit;) {
    if (!list) EnumChildWindows(window, FindList, reinterpret_cast<LPARAM>(&list));
    rows = list ? static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) : 0;
    if (open.firstRows < 0 && rows > 0 &&
        (rows >= count || rows >= static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0)))) {
      Paint(list);
      open.firstRows = NowMs() - start;
    }
    if (rows >= count) break;
    MSG message;
    if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
  }
  if (rows >= count) {
    if (count > kLargestSideBySide) SendMessageW(list, LVM_ENSUREVISIBLE, count - 1, FALSE);
    Paint(list);
    open.complete = NowMs() - start;
    open.workingSetMb = WorkingSetMb();
  }
  view->UIActivate(SVUIA_DEACTIVATE);
  view->DestroyViewWindow();
  qv::test::PumpMessages();
  return open;
}

double Median(std::vector<double> values) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The rounds of one side at one N.
struct Side {
  std::vector<double> firstRows;
  std::vector<double> complete;
  double peakWorkingSetMb = 0;

  bool Add(const Open& open) {
    if (open.complete < 0) return false;
    firstRows.push_back(open.firstRows);
    complete.push_back(open.complete);
    peakWorkingSetMb = std::max(peakWorkingSetMb, open.workingSetMb);
    return true;
  }
};

std::string Figure(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return value < 0 ? "-" : text;
}

int Run(const std::vector<int>& counts) {
  qv::bench::BenchFolder bench;
  qv::test::MachineClassesMirror mirror;
  mirror.Copy();
  IShellFolder* desktop = bench.Desktop();
  std::function<ComPtr<IShellFolder>()> searchFolder = [] {
    auto root = qv::MakeComObject<qv::CShellFolder>();
    qv::test::TestItemList rootList;
    rootList.Root();
    root->Initialize(rootList.Get());
    qv::test::TestItemList list;
    list.Root().Folder("Bench");
    qv::CItemIdList item(*qv::ThePidlManager());
    item.Adopt(qv::ThePidlManager()->CreateFolderItem(qv::CFolderStore::ReadFolderSettings(qv::TheFolderStore()->FindFolderNode(list.Get()).Get())));
    auto folder = qv::MakeComObject<qv::CShellFolder>(root.Get(), item.Get());
    folder->Initialize(root->AbsoluteListOf(item.Get()).Get());
    return ComPtr<IShellFolder>::Share(static_cast<IShellFolder*>(folder.Get()));
  };

  std::printf("%d rounds each, medians\n", kRounds);
  std::printf("%8s %11s %11s %7s %16s %15s %14s\n", "N", "search ms", "plain ms", "ratio", "first rows ms", "plain first ms",
              "working set MB");
  std::vector<std::string> completeLines;
  double ratio = 0;
  int last = 0;
  for (int count : counts) {
    const bool sideBySide = count <= kLargestSideBySide;
    std::string directory = bench.ServeNumberedFiles(count, sideBySide ? 0 : 1000);
    std::wstring wide = qv::ToWide(directory);
    std::function<ComPtr<IShellFolder>()> plainFolder = [&] {
      ComPtr<IShellFolder> folder;
      LPITEMIDLIST absolute = nullptr;
      if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, wide.data(), nullptr, &absolute, nullptr))) return folder;
      desktop->BindToObject(absolute, nullptr, IID_IShellFolder, folder.PutVoid());
      CoTaskMemFree(absolute);
      return folder;
    };
    double before = WorkingSetMb();
    Side search;
    Side plain;
    // One untimed open of each side first: the files just made, the process's
    // first view and Wine's services still starting would weigh on whichever
    // side came first.
    qv::resultcache::Clear();
    OpenAndFill(searchFolder, count);
    if (sideBySide) OpenAndFill(plainFolder, count);
    for (int round = 0; round < kRounds; ++round) {
      // Every round opens cold: the results a round before kept for a re-open
      // would show at once and time nothing. They go before the clock starts.
      qv::resultcache::Clear();
      if (!search.Add(OpenAndFill(searchFolder, count))) {
        std::fprintf(stderr, "N=%d: the search folder's view did not fill\n", count);
        return 1;
      }
      if (sideBySide && !plain.Add(OpenAndFill(plainFolder, count))) {
        std::fprintf(stderr, "N=%d: the plain folder's view did not fill\n", count);
        return 1;
      }
    }
    double searchMs = Median(search.complete);
    double plainMs = sideBySide ? Median(plain.complete) : -1;
    std::string ratioText = "-";
    if (sideBySide && plainMs > 0) {
      ratio = searchMs / plainMs;
      last = count;
      char text[16];
      std::snprintf(text, sizeof text, "%.2f", ratio);
      ratioText = text;
    }
    std::printf("%8d %11s %11s %7s %16s %15s %14s\n", count, Figure(searchMs).c_str(), Figure(plainMs).c_str(),
                ratioText.c_str(), Figure(Median(search.firstRows)).c_str(),
                Figure(sideBySide ? Median(plain.firstRows) : -1).c_str(), Figure(search.peakWorkingSetMb).c_str());
    std::fflush(stdout);
    if (!sideBySide) {
      double growthMb = std::max(0.0, search.peakWorkingSetMb - before);
      char line[256];
      std::snprintf(line, sizeof line, "open %d complete ms: %.1f\nopen %d working set MB: %.1f (+%.1f, %.2f KB a result)",
                    count, searchMs, count, search.peakWorkingSetMb, growthMb, growthMb * 1024.0 / count);
      completeLines.push_back(line);
    }
  }
  for (const std::string& line : completeLines) std::printf("%s\n", line.c_str());
  if (last) std::printf("open ratio at %d: %.2f\n", last, ratio);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> counts = qv::bench::CountsFromArguments(argc, argv, {1000, 10000});
  if (FAILED(OleInitialize(nullptr))) return 2;
  int status = 1;
  try {
    status = Run(counts);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
  }
  OleUninitialize();
  return status;
}
