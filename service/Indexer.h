#pragma once
// One index pass over every root: new and changed files are (re)indexed, files
// unchanged in size and modification time are skipped, vanished files and files
// of removed roots leave the index. Nothing is lost to a bad moment: a locked or
// unreadable file is kept by name and read again on the next pass, and a folder
// or root that cannot be listed keeps what the index knew of it. A file is known
// by its exact path; one the index cannot take is skipped, and a root that fails
// never costs another root its files. Links are not read through.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qv::service {

struct IndexProgress {
  std::uint64_t filesSeen = 0;
  std::uint64_t filesIndexed = 0;  // new or changed, written this pass
  std::uint64_t filesRemoved = 0;
  std::uint64_t filesUnreadable = 0;
  std::uint64_t filesSkipped = 0;  // damaged, encrypted or hostile documents, documents whose filter failed,
                                   // links, files the index could not take
  std::wstring folder;  // the folder being listed
};

struct IndexReport {
  IndexProgress counts;
  bool rebuilt = false;  // the index was damaged and has been built anew
  bool upgraded = false;  // the index was made by an earlier version and has been built anew
  std::vector<std::wstring> unreachableRoots;
  std::vector<std::wstring> unlistedFolders;
  // Roots whose files could not be written this pass; they keep what they had.
  std::vector<std::wstring> failedRoots;
};

// Another pass holds the index.
class IndexBusy {};

class Indexer {
 public:
  using ProgressCallback = std::function<void(const IndexProgress&)>;

  explicit Indexer(ProgressCallback progress = {}) : progress_(std::move(progress)) {}

  // Throws IndexBusy while another pass runs, SqliteError when the index cannot
  // be written.
  IndexReport Run();

  // Brings the index up to date for these paths alone, as the watcher sees them
  // change: a file is read again or removed, a folder is walked (its vanished
  // files leave the index), a path that is gone takes everything under it out.
  // A root's own path re-checks the whole root. Paths outside every root are
  // ignored. Throws as Run() does.
  IndexReport Update(const std::vector<std::wstring>& paths);

 private:
  ProgressCallback progress_;
};

// The time of the last finished pass (seconds since 1970), 0 when none.
std::int64_t LastIndexPassTime();
// The time the watcher last brought changes into the index, 0 when never.
std::int64_t LastIndexUpdateTime();
// The number of documents indexed only as far as was safe (damaged, encrypted
// or hostile).
std::int64_t SkippedDocumentCount();

// Per document format (extension): how many were read whole, cut off at their
// budget, encrypted, or damaged; for the formats read through a registered
// filter, how many its filter failed on (crashed or hung).
struct FormatCounts {
  std::wstring extension;
  std::uint64_t read = 0;
  std::uint64_t cutOff = 0;
  std::uint64_t encrypted = 0;
  std::uint64_t damaged = 0;
  std::uint64_t filterFailed = 0;
  bool filtered = false;  // read through a registered filter
};
std::vector<FormatCounts> DocumentCountsByFormat();
// The number of files in the index.
std::int64_t IndexedFileCount();

}  // namespace qv::service
