// Times what a host pays for a large folder definition document: loading it,
// listing the root folder through the shell folder's enumerator, one change (lock,
// bring up to date, apply, save), a lookup when the file did not change (the
// stamp comparison every lookup makes) and one after another process saved (a
// full reload). Each figure is printed for N folders in the root and as a ratio
// to the same figure for a 100-folder document measured in the same run.
//
//   quorvane_document_bench [N ...]     (default: 1000 10000)

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchTiming.h"
#include "folders/CFolderStore.h"
#include "common/ComBase.h"
#include "runtime/ModuleObjects.h"
#include "shellfolder/CShellFolder.h"
#include "support/TempDirectory.h"
#include "support/TestItemList.h"

namespace {

using qv::ComPtr;

constexpr int kBaseline = 100;
constexpr int kLookups = 1000;

using qv::bench::BestTime;

std::string DocumentOf(int count) {
  std::string xml = "<root name='root'>";
  for (int i = 0; i < count; ++i) {
    xml += "<folder name='Folder " + std::to_string(i) + "' query='report " + std::to_string(i) +
           "' category='file' ranking='recency' maxResults='100' style='32768'/>";
  }
  return xml + "</root>";
}

struct Figures {
  double load = 0, list = 0, change = 0, unchangedLookup = 0, reload = 0;
  std::size_t bytes = 0;
};

Figures Measure(int count) {
  Figures figures;
  qv::test::TempDirectory dir;
  std::string path = dir.File("quorvane.xml");
  std::string xml = DocumentOf(count);
  figures.bytes = xml.size();
  qv::test::WriteFileText(path, xml);
  std::wstring widePath(path.begin(), path.end());
  qv::test::TestItemList root;
  root.Root();

  figures.load = BestTime(3, [&](int) { qv::CFolderStore store(widePath); });

  {
    qv::ScopedModuleObjects objects(dir.Path());
    ComPtr<qv::CShellFolder> folder = qv::MakeComObject<qv::CShellFolder>();
    folder->Initialize(root.Get());
    figures.list = BestTime(3, [&](int) {
      ComPtr<IEnumIDList> items;
      if (FAILED(folder->EnumObjects(nullptr, SHCONTF_FOLDERS, items.Put())) || !items) return;
      LPITEMIDLIST item = nullptr;
      ULONG listed = 0;
      while (items->Next(1, &item, nullptr) == S_OK) {
        CoTaskMemFree(item);
        ++listed;
      }
      if (listed != static_cast<ULONG>(count)) std::fprintf(stderr, "listed %lu of %d\n", listed, count);
    });
  }

  qv::CFolderStore store(widePath);
  figures.change = BestTime(3, [&](int round) {
    store.AddFolder(store.FindFolderNode(root.Get()).Get(), ("Added " + std::to_string(round)).c_str());
  });
  figures.unchangedLookup = BestTime(3, [&](int) {
                              for (int i = 0; i < kLookups; ++i) store.FindFolderNode(root.Get());
                            }) /
                            kLookups;
  // Another process's save: a new file put in place.
  qv::CFolderStore other(widePath);
  figures.reload = BestTime(3, [&](int round) {
    other.AddFolder(other.FindFolderNode(root.Get()).Get(), ("Other " + std::to_string(round)).c_str());
    store.FindFolderNode(root.Get());
  });
  // The reload round includes the other copy's change; take that away.
  figures.reload = figures.reload > figures.change ? figures.reload - figures.change : figures.reload;
  return figures;
}

void Print(const char* what, int count, double value, double baseline, const char* unit) {
  std::printf("%-44s %6d folders: %10.3f %s (%6.1fx the %d-folder document)\n", what, count, value, unit,
              baseline > 0 ? value / baseline : 0.0, kBaseline);
}

}  // namespace

int main(int argc, char** argv) {
  if (FAILED(OleInitialize(nullptr))) return 2;
  // The bench works in a directory of its own, never in the user's profile.
  qv::test::TempDirectory userData;
  SetEnvironmentVariableA("QUORVANE_DATA_DIR", userData.Path().c_str());
  std::vector<int> counts = qv::bench::CountsFromArguments(argc, argv, {1000, 10000});
  int status = 0;
  try {
    Figures base = Measure(kBaseline);
    for (int count : counts) {
      Figures figures = Measure(count);
      std::printf("document of %d folders: %zu bytes\n", count, figures.bytes);
      Print("load (parse the file)", count, figures.load, base.load, "ms");
      Print("list the root folder (enumerator)", count, figures.list, base.list, "ms");
      Print("one change (lock, check, apply, save)", count, figures.change, base.change, "ms");
      Print("lookup when the file did not change", count, figures.unchangedLookup, base.unchangedLookup, "ms");
      Print("lookup after another process saved", count, figures.reload, base.reload, "ms");
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    status = 1;
  } catch (const qv::ComError& error) {
    std::fprintf(stderr, "failed: 0x%08lX\n", static_cast<unsigned long>(error.Result()));
    status = 1;
  }
  OleUninitialize();
  return status;
}
