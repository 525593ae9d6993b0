// Times opening a search folder of N results (each an existing file, from the
// stand-in search service) in the component's view, against the shell's own view
// of a plain folder of the same N files: bind, view object, view window, list
// filled and painted, in one host and one run. Prints both times, their ratio
// and the process's working set per N; the last line is "open ratio at N: X"
// for the largest N measured side by side. Above 10,000 only the search folder
// opens (its files in directories of 1,000), and its list scrolls to the last
// row and paints: Wine makes each new file of one directory look through all the
// others, so a plain folder of that size takes longer to make than to measure.
//
//   quorvane_open_bench [N ...]     (default: 1000 10000)

#include <windows.h>
#include <ole2.h>
#include <psapi.h>
#include <shlobj.h>

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

int RoundsFor(int count) { return count >= 10000 ? 1 : 3; }
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

// Shows the folder's view in a fresh browser window until its list holds
// `count` rows and has painted; the milliseconds that took, or -1.
double OpenAndFill(const std::function<ComPtr<IShellFolder>()>& bind, int count) {
  double start = NowMs();
  ComPtr<IShellFolder> folder = bind();
  if (!folder) return -1;
  auto browser = qv::MakeComObject<qv::test::TestBrowser>();
  ComPtr<IShellView> view;
  if (FAILED(folder->CreateViewObject(browser->Frame(), IID_IShellView, view.PutVoid())) || !view) return -1;
  if (FAILED(browser->Show(view.Get(), nullptr, FVM_DETAILS))) return -1;
  HWND list = nullptr;
  // A view may fill after its window exists: wait (pumping) until every row is there.
  for (double limit = NowMs() + 600000; NowMs() < limit;) {
    if (!list) EnumChildWindows(browser->ViewWindow(), FindList, reinterpret_cast<LPARAM>(&list));
    if (list && SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) >= count) break;
    qv::test::PumpMessages();
    Sleep(1);
  }
  if (!list || SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) < count) return -1;
  if (count > kLargestSideBySide) SendMessageW(list, LVM_ENSUREVISIBLE, count - 1, FALSE);
  RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  double elapsed = NowMs() - start;
  browser->BrowseAway();
  qv::test::PumpMessages();
  return elapsed;
}

double Best(int rounds, const std::function<ComPtr<IShellFolder>()>& bind, int count) {
  double best = -1;
  for (int round = 0; round < rounds; ++round) {
    double elapsed = OpenAndFill(bind, count);
    if (elapsed < 0) return -1;
    if (best < 0 || elapsed < best) best = elapsed;
  }
  return best;
}

int Run(const std::vector<int>& counts) {
  qv::bench::BenchFolder bench;
  qv::test::MachineClassesMirror mirror;
  mirror.Copy();
  IShellFolder* desktop = bench.Desktop();
  std::function<ComPtr<IShellFolder>()> searchFolder = [] {
    // Every round opens cold: the results a round before kept for a re-open
    // would show at once and time nothing.
    qv::resultcache::Clear();
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

  std::printf("%8s %14s %14s %8s %16s\n", "N", "search ms", "plain ms", "ratio", "working set MB");
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
    double search = Best(RoundsFor(count), searchFolder, count);
    double workingSet = WorkingSetMb();
    if (!sideBySide) {
      if (search < 0) {
        std::fprintf(stderr, "N=%d: the search folder's view did not fill\n", count);
        return 1;
      }
      std::printf("%8d %14.1f %14s %8s %16.1f\n", count, search, "-", "-", workingSet);
      std::fflush(stdout);
      continue;
    }
    double plain = Best(RoundsFor(count), plainFolder, count);
    if (search < 0 || plain < 0) {
      std::fprintf(stderr, "N=%d: a view did not fill (search %.0f ms, plain %.0f ms)\n", count, search, plain);
      return 1;
    }
    ratio = plain > 0 ? search / plain : 0;
    last = count;
    std::printf("%8d %14.1f %14.1f %8.2f %16.1f\n", count, search, plain, ratio, workingSet);
    std::fflush(stdout);
  }
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
