// Search service benchmark: builds a tree of generated files (names from a word
// list, one in ten a text file with a few sentences), then measures a full index
// pass, an incremental pass after 1% of the files changed, and the time to the
// first 100 results of 20 queries through the query API, against a brute-force
// walk of the tree that matches file names. Prints figures; asserts nothing.
//
//   quorvane_service_bench [FILES]     (default 100000)

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "module/ComBase.h"
#include "module/Holders.h"
#include "module/Text.h"
#include "search/DesktopSearchInterfaces.h"
#include "service/BackgroundIndexing.h"
#include "service/CQueryApi.h"
#include "service/Indexer.h"
#include "service/PathText.h"
#include "service/RegistrationStore.h"
#include "service/RootList.h"
#include "service/ServicePaths.h"

namespace qv::service {
namespace {

const char* const kWords[] = {
    "budget",   "report",  "invoice",  "meeting", "holiday", "project", "summary", "draft",    "final",    "review",
    "contract", "letter",  "notes",    "agenda",  "plan",    "photo",   "recipe",  "travel",   "receipt",  "tax",
    "quarter",  "annual",  "client",   "design",  "backup",  "music",   "garden",  "kitchen",  "school",   "lesson",
    "market",   "sales",   "product",  "launch",  "team",    "office",  "server",  "network",  "printer",  "manual",
    "guide",    "policy",  "health",   "doctor",  "family",  "wedding", "party",   "birthday", "gift",     "list",
    "shopping", "car",     "repair",   "house",   "rent",    "loan",    "bank",    "account",  "statement", "salary",
    "resume",   "job",     "offer",    "interview", "training", "course", "exam",   "thesis",   "chapter",  "book",
    "novel",    "poem",    "story",    "script",  "video",   "movie",   "album",   "concert",  "ticket",   "flight",
    "hotel",    "booking", "map",      "route",   "weather", "climate", "energy",  "solar",    "battery",  "engine",
    "orange",   "apple",   "banana",   "cherry",  "lemon",   "melon",   "grape",   "peach",    "plum",     "mango"};
constexpr std::size_t kWordCount = sizeof kWords / sizeof kWords[0];
const char* const kBinaryExtensions[] = {"docx", "xlsx", "pdf", "jpg", "png", "mp3", "zip", "pptx", "exe"};
const char* const kTextExtensions[] = {"txt", "md", "log", "csv"};

constexpr int kFilesPerFolder = 100;

double Seconds(LARGE_INTEGER start, LARGE_INTEGER end) {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
}

std::string Sentence(std::mt19937& random, int words) {
  std::string text;
  for (int i = 0; i < words; ++i) {
    if (i) text += ' ';
    text += kWords[random() % kWordCount];
  }
  return text + ".\r\n";
}

void WriteFile(const std::string& path, const std::string& content) {
  UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) {
    file.Release();
    return;
  }
  DWORD written = 0;
  if (!content.empty()) ::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
}

// The generated tree: every path, so the benchmark can change some of them.
std::vector<std::string> GenerateTree(const std::string& root, int files) {
  std::mt19937 random(20240611);
  std::vector<std::string> paths;
  paths.reserve(static_cast<std::size_t>(files));
  for (int i = 0; i < files; ++i) {
    if (i % kFilesPerFolder == 0) {
      std::string group = root + "\\" + kWords[(i / kFilesPerFolder / 10) % kWordCount] + " " +
                          std::to_string(i / kFilesPerFolder / 10);
      CreateDirectoryA(group.c_str(), nullptr);
      CreateDirectoryA((group + "\\" + kWords[(i / kFilesPerFolder) % kWordCount] + " " + std::to_string(i)).c_str(),
                       nullptr);
    }
    std::string folder = root + "\\" + kWords[(i / kFilesPerFolder / 10) % kWordCount] + " " +
                         std::to_string(i / kFilesPerFolder / 10) + "\\" + kWords[(i / kFilesPerFolder) % kWordCount] +
                         " " + std::to_string(i - i % kFilesPerFolder);
    bool text = random() % 10 == 0;
    std::string name = std::string(kWords[random() % kWordCount]) + " " + kWords[random() % kWordCount] + " " +
                       std::to_string(i) + "." +
                       (text ? kTextExtensions[random() % 4] : kBinaryExtensions[random() % 9]);
    std::string content;
    if (text) {
      int sentences = 3 + static_cast<int>(random() % 20);
      for (int s = 0; s < sentences; ++s) content += Sentence(random, 6 + static_cast<int>(random() % 10));
    } else {
      content = std::string(64 + random() % 512, 'x');
    }
    paths.push_back(folder + "\\" + name);
    WriteFile(paths.back(), content);
  }
  return paths;
}

struct Latencies {
  std::vector<double> samples;
  double Median() { return Percentile(0.5); }
  double Percentile(double p) {
    std::sort(samples.begin(), samples.end());
    if (samples.empty()) return 0;
    return samples[std::min(samples.size() - 1, static_cast<std::size_t>(p * static_cast<double>(samples.size())))];
  }
};

// The time to the first 100 results of a query, the way the component reads them.
double TimeQuery(IDesktopSearchQueryApi* api, LONG cookie, const wchar_t* text, int* results) {
  LARGE_INTEGER start = Now();
  Bstr search(text);
  Variant category;
  V_VT(category.Get()) = VT_BSTR;
  V_BSTR(category.Get()) = SysAllocString(L"file");
  Variant ranking;
  V_VT(ranking.Get()) = VT_UI1;
  V_UI1(ranking.Get()) = 0;
  ComPtr<IDesktopSearchResultSet> set;
  *results = 0;
  if (FAILED(api->Query(cookie, search.Get(), *category.Get(), *ranking.Get(), set.Put())) || !set) return 0;
  for (;;) {
    LONG state = 0;
    LONG count = 0;
    set->get_ReadyState(&state);
    if (state != kResultSetSearching) break;
    set->get_AvailableCount(&count);
    if (count >= 100) break;
    Sleep(0);
  }
  Bstr uri(L"uri");
  while (*results < 100) {
    ComPtr<IDesktopSearchResult> result;
    if (FAILED(set->Next(result.Put())) || !result) break;
    Variant value;
    result->GetProperty(uri.Get(), value.Put());
    ++*results;
  }
  return Seconds(start, Now());
}

// The baseline: walk the tree and match every word of the query in file names.
int WalkAndMatch(const std::wstring& folder, const std::vector<std::wstring>& words, int found) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr,
                                 FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return found;
  do {
    std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      found = WalkAndMatch(folder + L"\\" + name, words, found);
    } else {
      std::wstring folded = FoldPathCase(name);
      bool all = true;
      for (const std::wstring& word : words) all = all && folded.find(word) != std::wstring::npos;
      if (all) ++found;
    }
  } while (found < 100 && FindNextFileW(find, &entry));
  FindClose(find);
  return found;
}

std::vector<std::wstring> BaselineWords(const std::wstring& query) {
  std::vector<std::wstring> words;
  std::wstring word;
  for (wchar_t c : query + L" ") {
    if (c == L' ' || c == L'"') {
      if (!word.empty() && word.rfind(L"filetype:", 0) == 0) word = L"." + word.substr(9);
      if (!word.empty()) words.push_back(FoldPathCase(word));
      word.clear();
    } else {
      word += c;
    }
  }
  return words;
}

int Run(int files) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  std::string base = std::string(temp) + "qv-bench-" + std::to_string(GetCurrentProcessId());
  std::string tree = base + "\\tree";
  CreateDirectoryA(base.c_str(), nullptr);
  CreateDirectoryA(tree.c_str(), nullptr);
  SetEnvironmentVariableW(kDataFolderVariable, ToWide((base + "\\data").c_str()).c_str());
  SetRefreshIntervalMinutes(0);

  std::printf("Generating %d files...\n", files);
  LARGE_INTEGER start = Now();
  std::vector<std::string> paths = GenerateTree(tree, files);
  std::printf("  generated in %.1f s\n", Seconds(start, Now()));

  RootList().Add(ToWide(tree.c_str()));
  start = Now();
  IndexReport full = Indexer().Run();
  double fullSeconds = Seconds(start, Now());
  std::printf("Full index: %llu files in %.1f s (target under 60 s)\n",
              static_cast<unsigned long long>(full.counts.filesIndexed), fullSeconds);

  std::mt19937 random(7);
  std::size_t changes = paths.size() / 100;
  for (std::size_t i = 0; i < changes; ++i) {
    const std::string& path = paths[random() % paths.size()];
    WriteFile(path, Sentence(random, 12) + Sentence(random, 12));
  }
  start = Now();
  IndexReport incremental = Indexer().Run();
  double incrementalSeconds = Seconds(start, Now());
  std::printf("Incremental index after changing %zu files: %llu re-indexed in %.2f s (%.1f%% of the full pass)\n",
              changes, static_cast<unsigned long long>(incremental.counts.filesIndexed), incrementalSeconds,
              100.0 * incrementalSeconds / fullSeconds);

  RegistrationStore store;
  ComponentRegistration client{L"{6B1F0C9E-7A44-4C1B-9D0E-3F2A1B5C8D77}", L"bench", L"", L"", {store.NewCookie()}};
  store.Save(client);
  ComPtr<IDesktopSearchQueryApi> api;
  if (FAILED(CreateComObject<CQueryApi>(__uuidof(IDesktopSearchQueryApi), api.PutVoid()))) return 2;

  const wchar_t* queries[] = {L"budget",         L"invoice",          L"holiday",        L"mango",
                              L"server",         L"thesis",           L"weather",        L"repa",
                              L"annual report",  L"tax receipt",      L"flight hotel",   L"family photo",
                              L"music album",    L"\"annual report\"", L"\"team meeting\"", L"\"solar energy\"",
                              L"\"peach plum\"", L"filetype:txt budget", L"filetype:pdf contract", L"filetype:log"};
  Latencies service;
  Latencies baseline;
  std::wstring treeWide = ToWide(tree.c_str());
  std::printf("\n%-24s %8s %10s %12s\n", "query", "results", "service ms", "baseline ms");
  for (const wchar_t* query : queries) {
    int results = 0;
    double best = 1e9;
    for (int repeat = 0; repeat < 5; ++repeat) {
      double seconds = TimeQuery(api.Get(), client.cookies[0], query, &results);
      service.samples.push_back(seconds);
      best = std::min(best, seconds);
    }
    LARGE_INTEGER walkStart = Now();
    WalkAndMatch(treeWide, BaselineWords(query), 0);
    double walk = Seconds(walkStart, Now());
    baseline.samples.push_back(walk);
    std::printf("%-24s %8d %10.1f %12.1f\n", ToUtf8(query).c_str(), results, best * 1000, walk * 1000);
  }
  double serviceMedian = service.Median();
  double serviceP95 = service.Percentile(0.95);
  double baselineMedian = baseline.Median();
  double baselineP95 = baseline.Percentile(0.95);
  std::printf("\nFirst 100 results, service: median %.1f ms, p95 %.1f ms (target p95 under 50 ms)\n",
              serviceMedian * 1000, serviceP95 * 1000);
  std::printf("Brute-force name walk:      median %.1f ms, p95 %.1f ms\n", baselineMedian * 1000,
              baselineP95 * 1000);
  std::printf("Service speed-up over the walk: %.1fx at the median, %.1fx at p95\n", baselineMedian / serviceMedian,
              baselineP95 / serviceP95);

  std::string from = base;
  from.push_back('\0');
  SHFILEOPSTRUCTA remove = {};
  remove.wFunc = FO_DELETE;
  remove.pFrom = from.c_str();
  remove.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  api.Reset();
  SHFileOperationA(&remove);
  return 0;
}

}  // namespace
}  // namespace qv::service

int main(int argc, char** argv) {
  int files = argc > 1 ? std::atoi(argv[1]) : 100000;
  if (files <= 0) files = 100000;
  if (FAILED(OleInitialize(nullptr))) return 2;
  int result = qv::service::Run(files);
  OleUninitialize();
  return result;
}
