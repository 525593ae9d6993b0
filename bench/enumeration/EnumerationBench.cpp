// Times building a search folder's enumerator over N results of the stand-in
// search service, each an existing file, against the shell listing the same
// files itself: the desktop folder's IShellFolder for their directory, EnumObjects
// plus GetDisplayNameOf for every item. Prints both times and their ratio per N.
//
//   quorvane_enumeration_bench [N ...]     (default: 100 1000 10000)

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchFolder.h"
#include "BenchTiming.h"
#include "common/ComBase.h"
#include "runtime/ModuleObjects.h"
#include "common/Text.h"
#include "pidl/CPidlManager.h"
#include "search/RegistrationCookie.h"
#include "shellfolder/CEnumIDList.h"
#include "support/TestItemList.h"

namespace {

using qv::ComPtr;

// Small runs are repeated to steady their figures; a run of 10,000 is long
// enough to stand alone.
int RoundsFor(int count) { return count >= 10000 ? 1 : 3; }

using qv::bench::BestTime;


ULONG EnumerateWithTheComponent(const qv::test::TestItemList& folder) {
  ComPtr<qv::CEnumIDList> enumerator;
  if (FAILED(qv::CEnumIDList::Create(folder.Get(), SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, enumerator))) return 0;
  return enumerator->ResultCount();
}

ULONG EnumerateWithTheShell(IShellFolder* desktop, const std::string& directory) {
  std::wstring wide = qv::ToWide(directory.c_str());
  LPITEMIDLIST absolute = nullptr;
  if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, wide.data(), nullptr, &absolute, nullptr))) return 0;
  ComPtr<IShellFolder> folder;
  HRESULT hr = desktop->BindToObject(absolute, nullptr, IID_IShellFolder, folder.PutVoid());
  CoTaskMemFree(absolute);
  if (FAILED(hr)) return 0;
  ComPtr<IEnumIDList> items;
  if (folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, items.Put()) != S_OK || !items) return 0;
  ULONG listed = 0;
  LPITEMIDLIST item = nullptr;
  while (items->Next(1, &item, nullptr) == S_OK) {
    STRRET name = {};
    if (SUCCEEDED(folder->GetDisplayNameOf(item, SHGDN_FORPARSING, &name))) {
      wchar_t text[MAX_PATH];
      StrRetToBufW(&name, item, text, MAX_PATH);
      ++listed;
    }
    CoTaskMemFree(item);
  }
  return listed;
}

int Run(const std::vector<int>& counts) {
  qv::bench::BenchFolder bench;
  qv::test::TestItemList folder;
  folder.Root().Folder("Bench");

  std::printf("%8s %16s %16s %8s\n", "N", "enumerator ms", "shell ms", "ratio");
  for (int count : counts) {
    std::string directory = bench.ServeNumberedFiles(count);

    ULONG results = 0, listed = 0;
    double component = BestTime(RoundsFor(count), [&](int) { results = EnumerateWithTheComponent(folder); });
    double shell = BestTime(RoundsFor(count), [&](int) { listed = EnumerateWithTheShell(bench.Desktop(), directory); });
    if (results != static_cast<ULONG>(count) || listed != static_cast<ULONG>(count)) {
      std::fprintf(stderr, "N=%d: the enumerator listed %lu results and the shell %lu files\n", count, results, listed);
      return 1;
    }
    std::printf("%8d %16.1f %16.1f %8.2f\n", count, component, shell, shell > 0 ? component / shell : 0.0);
    std::fflush(stdout);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> counts = qv::bench::CountsFromArguments(argc, argv, {100, 1000, 10000});
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
