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
#include <unordered_set>
#include <vector>

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
  std::vector<bool> Check(const std::vector<const std::string*>& paths);
  // Results that have arrived and are to be checked by the calls that follow,
  // a batch at a time: a directory is chosen for listing by all of them it
  // holds, and its listing, made after they all arrived, answers every later
  // batch of them. Replaces what results an earlier Expect named were left.
  void Expect(const std::vector<const std::string*>& paths);
  // Removes from `results`, from `from` on, those that name no existing file,
  // keeping the order of the rest.
  void KeepExisting(std::vector<SearchResultText>& results, std::size_t from = 0);

  // What the checks did so far.
  std::size_t DirectoriesListed() const { return listed_; }
  std::size_t FilesCheckedOneByOne() const { return oneByOne_; }

 protected:
  // Called once a directory was listed, before its results are looked up.
  virtual void Listed(const std::wstring& directory) { (void)directory; }

 private:
  struct Listing {
    std::wstring names;  // the file names, one after another
    std::unordered_set<std::wstring_view> files;
  };

  // The listing kept for results Expect named in a directory, and how many of
  // them are still to be checked.
  struct Expected {
    std::size_t remaining = 0;
    bool tried = false;  // whether the directory was listed (or gave way) for them
    std::unique_ptr<Listing> listing;
  };

  // The directory's files, or null when it cannot be listed or holds more than
  // `most` entries.
  std::unique_ptr<Listing> List(const std::wstring& directory, std::size_t most);
  bool IsRemote(const std::wstring& directory);

  // GetDriveTypeW's answer per drive letter (0: not asked yet).
  UINT driveTypes_[26] = {};
  std::unordered_map<std::wstring, Expected> expected_;
  std::size_t listed_ = 0;
  std::size_t oneByOne_ = 0;
};

}  // namespace qv
