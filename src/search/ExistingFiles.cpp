#include "search/ExistingFiles.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "common/ModulePaths.h"
#include "common/Text.h"

namespace qv {
namespace {

// Splits a path of the form "X:\dir\...\name" into its directory and name.
// Anything else (a share, a relative path, forward slashes, "." or ".."
// components, a doubled backslash) is checked one by one, as the file system
// reads it.
bool SplitListablePath(const std::wstring& path, std::wstring& directory, std::wstring& name) {
  if (path.size() < 4 || path[1] != L':' || path[2] != L'\\') return false;
  wchar_t drive = path[0];
  if (!((drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z'))) return false;
  if (path.find(L'/') != std::wstring::npos || path.find(L"\\\\", 2) != std::wstring::npos) return false;
  std::size_t slash = path.rfind(L'\\');
  if (slash + 1 >= path.size()) return false;
  for (std::size_t start = 3; start <= path.size();) {
    std::size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    std::wstring_view part(path.data() + start, end - start);
    if (part == L"." || part == L"..") return false;
    start = end + 1;
  }
  directory = path.substr(0, slash);
  name = path.substr(slash + 1);
  return true;
}

// Splits UTF-8 result paths as SplitListablePath does, remembering the last
// directory: a result in the same directory as the one before it (most are)
// costs a comparison and the conversion of its name, not of its whole path.
class PathSplitter {
 public:
  // False for a path no listing answers. `same`: the directory is the one the
  // call before answered (then `directory` is left as it was).
  bool Split(const std::string& path, std::wstring& directory, std::wstring* name, bool& same) {
    const std::size_t slash = path.rfind('\\');
    same = false;
    if (known_ && slash == last_.size() && path.compare(0, slash, last_) == 0) {
      std::string_view rest(path.data() + slash + 1, path.size() - slash - 1);
      if (!rest.empty() && rest != "." && rest != ".." && rest.find('/') == std::string_view::npos) {
        same = true;
        if (name) *name = ToWide(std::string(rest));
        return true;
      }
    }
    std::wstring wideName;
    if (!SplitListablePath(ToWide(path), directory, wideName)) return false;
    known_ = true;
    last_.assign(path, 0, slash);
    if (name) *name = std::move(wideName);
    return true;
  }

 private:
  bool known_ = false;
  std::string last_;  // the directory as UTF-8, without its closing backslash
};

}  // namespace

bool ResultFileExists(const std::string& path) {
  if (path.empty() || path.find_first_of("*?") != std::string::npos) return false;
  DWORD attributes = GetFileAttributesW(ExtendedLengthPath(ToWide(path)).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ExistingFiles::IsRemote(const std::wstring& directory) {
  wchar_t letter = directory[0] >= L'a' ? static_cast<wchar_t>(directory[0] - L'a' + L'A') : directory[0];
  UINT& type = driveTypes_[letter - L'A'];
  if (type == 0) {
    wchar_t root[] = {letter, L':', L'\\', L'\0'};
    type = GetDriveTypeW(root);
    if (type == 0) type = DRIVE_UNKNOWN;
  }
  // A share answers each request across the network: a listing of a large
  // directory there costs far more than looking up a few of its files.
  return type == DRIVE_REMOTE || type == DRIVE_UNKNOWN || type == DRIVE_NO_ROOT_DIR;
}

bool ExistingFiles::Listable(const std::wstring& directory, std::size_t results) {
  return results >= kListingResults && !IsRemote(directory);
}

std::unique_ptr<DirectoryListing> ExistingFiles::ListFor(const std::wstring& directory, std::size_t results) {
  if (!Listable(directory, results)) return nullptr;
  // Far more files than results: looking the results up one by one is cheaper.
  std::unique_ptr<DirectoryListing> listing = ListDirectory(directory, results * kEntriesPerResult);
  if (listing) {
    ++listed_;
    Listed(directory);
  }
  return listing;
}

std::vector<bool> ExistingFiles::Check(const std::vector<const std::string*>& paths, bool waitForListings) {
  if (waitForListings) StartListings();
  std::vector<bool> exists(paths.size(), false);
  // Each result's name, and the results of each directory in the order they came.
  std::vector<std::wstring> names(paths.size());
  std::unordered_map<std::wstring, std::vector<std::size_t>> byDirectory;
  std::vector<std::wstring> directories;
  std::vector<std::size_t> alone;
  PathSplitter splitter;
  // The results of the directory of the result before, most often this one's.
  std::vector<std::size_t>* current = nullptr;
  std::wstring directory;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string& path = *paths[i];
    if (path.empty() || path.find_first_of("*?") != std::string::npos) continue;
    bool same = false;
    if (!splitter.Split(path, directory, &names[i], same)) {
      alone.push_back(i);
      continue;
    }
    if (!same || !current) {
      auto [entry, added] = byDirectory.try_emplace(directory);
      if (added) directories.push_back(entry->first);
      current = &entry->second;
    }
    current->push_back(i);
  }
  for (const std::wstring& directory : directories) {
    const std::vector<std::size_t>& members = byDirectory[directory];
    auto ahead = expected_.find(directory);
    Expected* expected = ahead == expected_.end() ? nullptr : &ahead->second;
    std::unique_ptr<DirectoryListing> made;
    const DirectoryListing* listing = nullptr;
    if (expected && !expected->tried && expected->job != kNoJob) {
      // Listed by the worker: taken once it is made, or, when the caller
      // cannot wait, these results are checked one by one meanwhile.
      std::unique_ptr<DirectoryListing> taken;
      if (worker_.Take(expected->job, waitForListings, taken)) {
        expected->tried = true;
        expected->listing = std::move(taken);
        if (expected->listing) {
          ++listed_;
          Listed(directory);
        }
      }
      listing = expected->listing.get();
    } else if (expected && expected->tried) {
      listing = expected->listing.get();
    } else {
      // Chosen by what is known before listing: how many results the directory
      // holds (those still expected included), and where it lies.
      made = ListFor(directory, std::max(members.size(), expected ? expected->remaining : 0));
      listing = made.get();
      if (expected) {
        expected->tried = true;
        expected->listing = std::move(made);
      }
    }
    for (std::size_t i : members) {
      // Only a file listed under exactly this name is taken from the listing:
      // a name that differs in letter case, or one missing from it, is left to
      // the file system, which knows whether it compares names by case and
      // whether the file came after the listing.
      if (listing && listing->Holds(names[i])) {
        exists[i] = true;
      } else {
        alone.push_back(i);
      }
    }
    if (expected) {
      expected->remaining -= std::min(expected->remaining, members.size());
      if (expected->remaining == 0) expected_.erase(ahead);
    }
  }
  for (std::size_t i : alone) {
    exists[i] = ResultFileExists(*paths[i]);
    ++oneByOne_;
  }
  return exists;
}

void ExistingFiles::Expect(const std::vector<const std::string*>& paths, bool listNow) {
  worker_.Stop();
  expected_.clear();
  // The directories in the order their first results came.
  std::vector<std::wstring> order;
  PathSplitter splitter;
  Expected* current = nullptr;
  std::wstring split;
  for (const std::string* path : paths) {
    if (path->empty() || path->find_first_of("*?") != std::string::npos) continue;
    bool same = false;
    if (!splitter.Split(*path, split, nullptr, same)) continue;
    if (!same || !current) {
      auto [entry, added] = expected_.try_emplace(split);
      if (added) order.push_back(entry->first);
      current = &entry->second;
    }
    ++current->remaining;
  }
  // A directory holding too few of them is never listed for them: nothing to
  // keep. The others are listed by the worker, first come first.
  std::vector<ListingWorker::Job> jobs;
  for (const std::wstring& directory : order) {
    auto entry = expected_.find(directory);
    if (entry->second.remaining < kListingResults) {
      expected_.erase(entry);
    } else if (Listable(directory, entry->second.remaining)) {
      entry->second.job = jobs.size();
      jobs.push_back({directory, entry->second.remaining * kEntriesPerResult});
    }
  }
  unstarted_ = std::move(jobs);
  if (listNow) StartListings();
}

void ExistingFiles::StartListings() {
  if (unstarted_.empty() || worker_.Start(std::move(unstarted_))) {
    unstarted_.clear();
    return;
  }
  unstarted_.clear();
  for (auto& [directory, expected] : expected_) expected.job = kNoJob;
}

void ExistingFiles::KeepExisting(std::vector<SearchResultText>& results, std::size_t from, bool waitForListings) {
  if (from >= results.size()) return;
  std::vector<const std::string*> paths;
  paths.reserve(results.size() - from);
  for (std::size_t i = from; i < results.size(); ++i) paths.push_back(&results[i].path);
  std::vector<bool> exists = Check(paths, waitForListings);
  std::size_t kept = from;
  for (std::size_t i = from; i < results.size(); ++i) {
    if (!exists[i - from]) continue;
    if (kept != i) results[kept] = std::move(results[i]);
    ++kept;
  }
  results.erase(results.begin() + static_cast<std::ptrdiff_t>(kept), results.end());
}

}  // namespace qv
