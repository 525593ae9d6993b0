#pragma once
// Which results of a "file" folder name existing files, checked by directory
// where that is cheaper: a local directory holding many of the results is
// listed once (FindFirstFileExW) and each result looked up in the listing by
// its whole name; a directory holding few of them, one the listing finds far
// larger than its results, one on a network share, and every result the
// listing does not hold by exactly its name are checked one file at a time,
// by the file system itself (so its rules of letter case decide).

#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "search/DirectoryListing.h"
#include "search/ListingWorker.h"
#include "search/SearchResultItem.h"

namespace qv {

// Whether a result names an existing file at exactly its path, asked of the
// file system for that one file.
bool ResultFileExists(const std::string& path);

class ExistingFiles {
 public:
  // Results of one directory a check must hold before the directory is listed,
  // and the entries a listing may read per such result before it gives way to
  // checking them one by one.
  static constexpr std::size_t kListingResults = 8;
  static constexpr std::size_t kEntriesPerResult = 8;

  ExistingFiles() = default;
  ExistingFiles(const ExistingFiles&) = delete;
  ExistingFiles& operator=(const ExistingFiles&) = delete;
  virtual ~ExistingFiles() = default;

  // For each path, whether it names an existing file (not a directory). A
  // listing answers only for the results that had arrived before it was made:
  // each call lists what it needs afresh, but for the results Expect named.
  // Without `waitForListings`, results whose directory is still being listed
  // for them are checked one by one.
  std::vector<bool> Check(const std::vector<const std::string*>& paths, bool waitForListings = true);
  // Results that have arrived and are to be checked by the calls that follow,
  // a batch at a time: a directory is chosen for listing by all of them it
  // holds, and is listed at once on a thread of its own, the directories in
  // the order their first results came; its listing, made after they all
  // arrived, answers every later batch of them. Replaces what results an
  // earlier Expect named were left. Without `listNow`, the listing starts
  // with the first check that waits for listings (until then the thread
  // takes nothing from the caller, say while the window first paints).
  void Expect(const std::vector<const std::string*>& paths, bool listNow = true);
  // Removes from `results`, from `from` on, those that name no existing file,
  // keeping the order of the rest.
  void KeepExisting(std::vector<SearchResultText>& results, std::size_t from = 0, bool waitForListings = true);

  // What the checks did so far.
  std::size_t DirectoriesListed() const { return listed_; }
  std::size_t FilesCheckedOneByOne() const { return oneByOne_; }

 protected:
  // Called once a directory's listing is taken, before its results are looked up.
  virtual void Listed(const std::wstring& directory) { (void)directory; }

 private:
  static constexpr std::size_t kNoJob = static_cast<std::size_t>(-1);

  // The listing kept for results Expect named in a directory, and how many of
  // them are still to be checked.
  struct Expected {
    std::size_t remaining = 0;
    std::size_t job = kNoJob;  // the worker's job listing it, if any
    bool tried = false;  // whether the directory was listed (or gave way) for them
    std::unique_ptr<DirectoryListing> listing;
  };

  // The listing of a directory for `results` of its results, made now; null
  // when it is not listed for them.
  std::unique_ptr<DirectoryListing> ListFor(const std::wstring& directory, std::size_t results);
  // Whether results of the directory are listed for at all: not on a share.
  bool Listable(const std::wstring& directory, std::size_t results);
  bool IsRemote(const std::wstring& directory);
  // Starts the worker on the listings Expect left to start; without a thread,
  // each directory is listed when its first results are checked.
  void StartListings();

  // GetDriveTypeW's answer per drive letter (0: not asked yet).
  UINT driveTypes_[26] = {};
  std::unordered_map<std::wstring, Expected> expected_;
  ListingWorker worker_;
  std::vector<ListingWorker::Job> unstarted_;
  std::size_t listed_ = 0;
  std::size_t oneByOne_ = 0;
};

}  // namespace qv
