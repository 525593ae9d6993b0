#include "service/Indexer.h"

#include <windows.h>

#include <sqlite3.h>

#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "common/Holders.h"
#include "service/ExclusionList.h"
#include "service/IndexDatabase.h"
#include "service/PassProgress.h"
#include "service/PathText.h"
#include "service/RootList.h"
#include "service/ServicePaths.h"
#include "service/SqliteDatabase.h"
#include "service/TextExtractor.h"
#include "service/extract/DocumentText.h"
#include "service/filters/RegisteredFilters.h"
#include "service/query/QueryText.h"
#include "common/Text.h"

namespace qv::service {
namespace {

// Writes are committed in batches: a pass that is stopped keeps what it did.
constexpr int kWritesPerTransaction = 2000;
constexpr std::uint64_t kFilesPerProgressReport = 500;

// files.complete: read whole; to read again (locked); read as far as it was safe
// (damaged, encrypted or hostile), not read again until it changes.
constexpr std::int64_t kIncomplete = 0;
constexpr std::int64_t kComplete = 1;
constexpr std::int64_t kSkippedDocument = 2;  // damaged or hostile
constexpr std::int64_t kCutOffDocument = 3;
constexpr std::int64_t kEncryptedDocument = 4;
constexpr std::int64_t kFilterFailedDocument = 5;  // its registered filter crashed or hung

struct IndexedFile {
  std::int64_t id;
  std::wstring path;
  std::int64_t size;
  std::int64_t mtime;
  bool complete;
};

std::int64_t FileTimeValue(const FILETIME& time) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

// Only one pass at a time, across processes: the lock file is held open
// without sharing and goes away with its handle. A data folder that cannot
// take the file at all (a full or read-only disk) is no other pass.
UniqueHandle TakeIndexLock() {
  std::wstring path = IndexLockPath();
  HANDLE lock = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (lock != INVALID_HANDLE_VALUE) return UniqueHandle(lock);
  DWORD error = GetLastError();
  // Denied a lock that is there: the last pass's, still being deleted.
  bool lockThere = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES || GetLastError() == ERROR_ACCESS_DENIED;
  switch (error) {
    case ERROR_SHARING_VIOLATION:
      throw IndexBusy();
    case ERROR_ACCESS_DENIED:
      if (lockThere) throw IndexBusy();
      throw SqliteError(SQLITE_CANTOPEN, "the index lock cannot be made");
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      throw SqliteError(SQLITE_FULL, "the data folder is full");
    case ERROR_WRITE_PROTECT:
      throw SqliteError(SQLITE_READONLY, "the data folder is read-only");
    default:
      throw SqliteError(SQLITE_CANTOPEN, "the index lock cannot be made");
  }
}

class IndexPass {
 public:
  IndexPass(SqliteDatabase& db, const Indexer::ProgressCallback& progress, IndexReport& report)
      : db_(db),
        progress_(progress),
        report_(report),
        insertFile_(db.Prepare("INSERT INTO files(path, name, ext, size, mtime, complete, ctime) "
                               "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)")),
        updateFile_(db.Prepare("UPDATE files SET path = ?1, name = ?2, ext = ?3, size = ?4, mtime = ?5, complete = ?6, "
                               "ctime = ?7 WHERE id = ?8")),
        deleteFile_(db.Prepare("DELETE FROM files WHERE id = ?1")),
        insertText_(db.Prepare("INSERT INTO files_text(rowid, name, content, folder) VALUES(?1, ?2, ?3, ?4)")),
        deleteText_(db.Prepare("DELETE FROM files_text WHERE rowid = ?1")),
        insertName_(db.Prepare("INSERT INTO files_names(rowid, name) VALUES(?1, ?2)")),
        deleteName_(db.Prepare("DELETE FROM files_names WHERE rowid = ?1")),
        insertUnspaced_(db.Prepare("INSERT INTO files_unspaced(rowid, name, content) VALUES(?1, ?2, ?3)")),
        deleteUnspaced_(db.Prepare("DELETE FROM files_unspaced WHERE rowid = ?1")),
        exclusions_(ExclusionRules::Load()) {}

  void RemoveFilesOutside(const std::vector<std::wstring>& roots) {
    std::vector<std::int64_t> orphans;
    SqliteStatement all = db_.Prepare("SELECT id, path FROM files");
    while (all.Step()) {
      std::wstring path = all.Text(1);
      bool covered = false;
      for (const std::wstring& root : roots) covered = covered || IsInsideFolder(path, root);
      if (!covered) orphans.push_back(all.Integer(0));
    }
    for (std::int64_t id : orphans) RemoveFile(id);
    CommitWrites();
  }

  // Roots are indexed one by one, each ending in a commit: when a root fails
  // half-way, its unfinished batch is rolled back and the roots before and
  // after it keep what they have. A damaged index or one that cannot be
  // written at all (a full disk) ends the pass: no other root would fare better.
  void IndexRoot(const std::wstring& root) {
    try {
      IndexRootFiles(root);
      CommitWrites();
    } catch (const SqliteError& e) {
      transaction_.reset();
      indexed_.clear();
      if (e.IsDamage() || e.IsWriteFailure()) throw;
      report_.failedRoots.push_back(root);
    }
  }

  void Finish() {
    BeginWrite();
    db_.Execute("INSERT OR REPLACE INTO index_state(key, value) VALUES('last_pass', strftime('%s','now'))");
    CommitWrites();
    GiveSpaceBack(db_, report_.counts.filesRemoved, /*fullPass=*/true);
    Report();
  }

  // One path the watcher saw change, under `root`.
  void IndexPath(const std::wstring& path, const std::wstring& root) {
    if (exclusions_.ExcludesUnder(root, path)) {
      RemoveFilesAt(path);
      return;
    }
    WIN32_FIND_DATAW entry;
    if (!FindSearchHandle(FindFirstFileExW(ForFileApi(path).c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                                           nullptr, 0))) {
      RemoveFilesAt(path);
      return;
    }
    // The name as stored on disk: a rename may have changed only its case.
    std::wstring folder = path.substr(0, path.find_last_of(L'\\') + 1);
    std::wstring actual = folder + entry.cFileName;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveFilesAt(actual, /*subtree=*/false);
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) IndexRoot(actual);
      return;
    }
    // Links are judged against the file's own folder: the watcher's paths come
    // from any root.
    root_ = folder.substr(0, folder.size() - 1);
    rootFinalPath_ = FinalPathOf(root_, true);
    LoadIndexedFile(actual);
    VisitFile(actual, entry.cFileName, entry);
    indexed_.clear();
  }

  void FinishUpdate() {
    BeginWrite();
    db_.Execute("INSERT OR REPLACE INTO index_state(key, value) VALUES('last_update', strftime('%s','now'))");
    CommitWrites();
    GiveSpaceBack(db_, report_.counts.filesRemoved, /*fullPass=*/false);
  }

 private:
  void IndexRootFiles(const std::wstring& root) {
    DWORD attributes = GetFileAttributesW(ForFileApi(root).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      // A drive that is not plugged in, a share that is offline: keep its files.
      report_.unreachableRoots.push_back(root);
      return;
    }
    root_ = root;
    rootFinalPath_ = FinalPathOf(root, true);
    LoadIndexedFiles(root);
    std::vector<std::wstring> unlisted;
    std::vector<std::wstring> folders{root};
    while (!folders.empty()) {
      std::wstring folder = std::move(folders.back());
      folders.pop_back();
      if (!ListFolder(folder, folders)) unlisted.push_back(folder);
    }
    for (const auto& [folded, file] : indexed_) {
      bool kept = false;
      for (const std::wstring& folder : unlisted) kept = kept || IsInsideFolder(file.path, folder);
      if (!kept) RemoveFile(file.id);
    }
    indexed_.clear();
    report_.unlistedFolders.insert(report_.unlistedFolders.end(), unlisted.begin(), unlisted.end());
  }

  // The root's files as the index holds them, whatever case the root's name
  // had when they were stored; each is then known by its exact path.
  void LoadIndexedFiles(const std::wstring& root) {
    std::wstring prefix = SubtreePrefix(root);
    std::wstring end = prefix;
    end.back() = static_cast<wchar_t>(L'\\' + 1);
    SqliteStatement select = db_.Prepare(
        "SELECT id, path, size, mtime, complete FROM files "
        "WHERE path >= ?1 COLLATE NOCASE AND path < ?2 COLLATE NOCASE");
    select.Bind(1, prefix).Bind(2, end);
    while (select.Step()) {
      IndexedFile file{select.Integer(0), select.Text(1), select.Integer(2), select.Integer(3), select.Integer(4) != 0};
      if (!IsInsideFolder(file.path, root)) continue;
      std::wstring path = file.path;
      indexed_.emplace(std::move(path), std::move(file));
    }
  }

  void LoadIndexedFile(const std::wstring& path) {
    SqliteStatement select = db_.Prepare("SELECT id, path, size, mtime, complete FROM files WHERE path = ?1");
    select.Bind(1, path);
    if (select.Step()) {
      IndexedFile file{select.Integer(0), select.Text(1), select.Integer(2), select.Integer(3), select.Integer(4) != 0};
      indexed_.emplace(file.path, std::move(file));
    }
  }

  // Takes out the file at `path` and, for a folder, everything under it.
  void RemoveFilesAt(const std::wstring& path, bool subtree = true) {
    std::wstring prefix = SubtreePrefix(path);
    std::wstring end = prefix;
    end.back() = static_cast<wchar_t>(L'\\' + 1);
    SqliteStatement select = db_.Prepare("SELECT id FROM files WHERE path = ?1 OR (?4 AND path >= ?2 AND path < ?3)");
    select.Bind(1, path).Bind(2, prefix).Bind(3, end).Bind(4, static_cast<std::int64_t>(subtree ? 1 : 0));
    std::vector<std::int64_t> ids;
    while (select.Step()) ids.push_back(select.Integer(0));
    for (std::int64_t id : ids) RemoveFile(id);
  }

  // The path the file system resolves a file (or folder) to, links followed;
  // empty when it cannot tell.
  static std::wstring FinalPathOf(const std::wstring& path, bool folder) {
    UniqueHandle file(CreateFileW(ForFileApi(path).c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  folder ? FILE_FLAG_BACKUP_SEMANTICS : 0, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
      file.Release();
      return {};
    }
    std::wstring final(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
      DWORD length = GetFinalPathNameByHandleW(file.Get(), final.data(), static_cast<DWORD>(final.size()),
                                               FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
      if (length == 0) return {};
      if (length < final.size()) {
        final.resize(length);
        return final;
      }
      final.resize(length);
    }
    return {};
  }

  // A file is read only where it lies: a link (a symbolic link, or under Wine a
  // Unix link, which lists as a plain file) resolves elsewhere. Its target is
  // either outside the indexed folders, where it must not be read, or inside,
  // where it is indexed under its own name.
  bool ResolvesToItself(const std::wstring& path, const WIN32_FIND_DATAW& entry) const {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(entry.dwReserved0)) {
      return false;
    }
    // A file system that cannot name the root's final path (some network
    // redirectors) leaves only the listing's word.
    if (rootFinalPath_.empty()) return true;
    std::wstring final = FinalPathOf(path, false);
    if (final.empty()) return true;
    std::wstring expected = SubtreePrefix(rootFinalPath_) + path.substr(SubtreePrefix(root_).size());
    return final == expected;
  }

  // Lists one folder, indexing its files and queueing its sub-folders; false
  // when the folder exists but cannot be listed.
  bool ListFolder(const std::wstring& folder, std::vector<std::wstring>& folders) {
    report_.counts.folder = folder;
    std::wstring prefix = SubtreePrefix(folder);
    std::wstring pattern = ForFileApi(prefix + L"*");
    WIN32_FIND_DATAW entry;
    FindSearch find = FindSearchHandle(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry,
                                                        FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find && GetLastError() == ERROR_INVALID_PARAMETER) {
      // Systems before Windows 7 know neither the basic information level nor the large fetch.
      find = FindSearchHandle(FindFirstFileExW(pattern.c_str(), FindExInfoStandard, &entry, FindExSearchNameMatch,
                                               nullptr, 0));
    }
    if (!find) {
      DWORD error = GetLastError();
      // A folder deleted while the pass runs simply has no files any more.
      return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_NO_MORE_FILES;
    }
    do {
      std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      // Left unseen, what is excluded leaves the index with the root's vanished files.
      if (exclusions_.Excludes(folder, name)) continue;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        // Junctions and links could lead in circles or out of the root.
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) folders.push_back(prefix + name);
        continue;
      }
      VisitFile(prefix + name, name, entry);
    } while (FindNextFileW(find.Get(), &entry));
    return true;
  }

  void VisitFile(const std::wstring& path, const std::wstring& name, const WIN32_FIND_DATAW& entry) {
    ++report_.counts.filesSeen;
    std::int64_t size = static_cast<std::int64_t>((static_cast<std::uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow);
    std::int64_t mtime = FileTimeValue(entry.ftLastWriteTime);
    std::int64_t ctime = FileTimeValue(entry.ftCreationTime);
    auto known = indexed_.find(path);
    std::optional<IndexedFile> previous;
    if (known != indexed_.end()) {
      previous = std::move(known->second);
      indexed_.erase(known);
      if (previous->complete && previous->size == size && previous->mtime == mtime) {
        ReportEvery();
        return;
      }
    }
    if (!ResolvesToItself(path, entry)) {
      ++report_.counts.filesSkipped;
      if (previous) RemoveFile(previous->id);
      ReportEvery();
      return;
    }
    std::wstring extension = ExtensionOf(name);
    std::string text;
    bool complete = true;
    std::int64_t skipped = 0;
    bool ours = IsTextExtension(extension);
    if (size > 0 && (ours || filters_.Handles(extension))) {
      ReadTextResult result = ours ? ReadFileText(path, extension, &text)
                                   : filters_.Read(path, extension, kMaxIndexedTextBytes, &text);
      switch (result) {
        case ReadTextResult::Vanished:
          if (previous) RemoveFile(previous->id);
          return;
        case ReadTextResult::Unreadable:
          complete = false;
          ++report_.counts.filesUnreadable;
          break;
        case ReadTextResult::Damaged:
          skipped = kSkippedDocument;
          ++report_.counts.filesSkipped;
          break;
        case ReadTextResult::CutOff:
          skipped = kCutOffDocument;
          ++report_.counts.filesSkipped;
          break;
        case ReadTextResult::Encrypted:
          skipped = kEncryptedDocument;
          ++report_.counts.filesSkipped;
          break;
        case ReadTextResult::FilterFailed:
          skipped = kFilterFailedDocument;
          ++report_.counts.filesSkipped;
          break;
        case ReadTextResult::Read:
        case ReadTextResult::NotText:
          break;
      }
    }
    try {
      WriteFile(previous ? previous->id : 0, path, name, extension, size, mtime, ctime,
                skipped ? skipped : complete ? kComplete : kIncomplete, text);
    } catch (const SqliteError& e) {
      // A file the index cannot take (a name it already holds under another
      // spelling, say) is left out; the rest of the pass goes on.
      if (!e.IsRowRefused()) throw;
      ++report_.counts.filesSkipped;
    }
    ReportEvery();
  }


  void WriteFile(std::int64_t id, const std::wstring& path, const std::wstring& name, const std::wstring& extension,
                 std::int64_t size, std::int64_t mtime, std::int64_t ctime, std::int64_t complete,
                 const std::string& text) {
    BeginWrite();
    if (id) {
      updateFile_.Bind(1, path).Bind(2, name).Bind(3, extension).Bind(4, size).Bind(5, mtime).Bind(6, complete);
      updateFile_.Bind(7, ctime).Bind(8, id).Run();
      DeleteText(id);
    } else {
      insertFile_.Bind(1, path).Bind(2, name).Bind(3, extension).Bind(4, size).Bind(5, mtime).Bind(6, complete);
      insertFile_.Bind(7, ctime).Run();
      id = db_.LastInsertId();
    }
    insertText_.Bind(1, id).Bind(2, name).Bind(3, text).Bind(4, path.substr(0, path.find_last_of(L'\\'))).Run();
    insertName_.Bind(1, id).Bind(2, name).Run();
    if (HasUnspacedScript(ToUtf8(name)) || HasUnspacedScript(text)) insertUnspaced_.Bind(1, id).Bind(2, name).Bind(3, text).Run();
    ++report_.counts.filesIndexed;
  }

  void DeleteText(std::int64_t id) {
    deleteText_.Bind(1, id).Run();
    deleteName_.Bind(1, id).Run();
    deleteUnspaced_.Bind(1, id).Run();
  }

  void RemoveFile(std::int64_t id) {
    BeginWrite();
    DeleteText(id);
    deleteFile_.Bind(1, id).Run();
    ++report_.counts.filesRemoved;
  }

  void CommitWrites() {
    if (transaction_) transaction_->Commit();
    transaction_.reset();
  }

  void BeginWrite() {
    if (transaction_ && ++writes_ >= kWritesPerTransaction) {
      transaction_->Commit();
      transaction_.reset();
    }
    if (!transaction_) {
      transaction_ = std::make_unique<SqliteTransaction>(db_);
      writes_ = 0;
    }
  }

  void ReportEvery() {
    if (report_.counts.filesSeen % kFilesPerProgressReport == 0) Report();
  }

  void Report() {
    if (progress_) progress_(report_.counts);
  }

  SqliteDatabase& db_;
  const Indexer::ProgressCallback& progress_;
  IndexReport& report_;
  SqliteStatement insertFile_;
  SqliteStatement updateFile_;
  SqliteStatement deleteFile_;
  SqliteStatement insertText_;
  SqliteStatement deleteText_;
  SqliteStatement insertName_;
  SqliteStatement deleteName_;
  SqliteStatement insertUnspaced_;
  SqliteStatement deleteUnspaced_;
  std::unique_ptr<SqliteTransaction> transaction_;
  int writes_ = 0;
  ExclusionRules exclusions_;
  // The formats read through registered filters, and their host.
  RegisteredFilters filters_;
  // Documents read this pass share one note of the document being read.
  DocumentReadingNote readingNote_;
  // The root being indexed, as listed and as the file system resolves it.
  std::wstring root_;
  std::wstring rootFinalPath_;
  // The root's files in the index by exact path, taken out as they are seen.
  std::unordered_map<std::wstring, IndexedFile> indexed_;
};

// Files indexed before their format had a reader (or a better one) are read
// again once, on the first pass after the readers changed.
constexpr std::int64_t kReadersVersion = 3;

void RereadFilesOfNewReaders(SqliteDatabase& db) {
  if (db.ScalarInteger("SELECT coalesce((SELECT value FROM index_state WHERE key = 'readers'), 0)") >= kReadersVersion) {
    return;
  }
  SqliteTransaction transaction(db);
  db.Execute(
      "UPDATE files SET complete = 0 WHERE ext IN ('docx', 'docm', 'dotx', 'xlsx', 'xlsm', 'pptx', 'pptm', 'ppsx', "
      "'odt', 'ods', 'odp', 'ott', 'rtf', 'eml', 'html', 'htm', 'xhtml', 'txt', 'text', 'pdf', 'doc', 'dot', 'xls', "
      "'xlt', 'ppt', 'pps', 'pot', 'msg');"
      "INSERT OR REPLACE INTO index_state(key, value) VALUES('readers', 3)");
  transaction.Commit();
}

// Files indexed by name alone are read again, once, when a filter comes to be
// registered for their format (a program installed since, or this version of
// the indexer, which reads through filters, run for the first time). The
// index keeps the formats whose files were last read with a filter at hand:
// "ext|ext|".
std::wstring FilteredFormats(SqliteDatabase& db) {
  std::wstring filtered;
  SqliteStatement formats = db.Prepare("SELECT DISTINCT ext FROM files WHERE ext <> '' ORDER BY ext");
  while (formats.Step()) {
    std::wstring extension = formats.Text(0);
    if (HasRegisteredFilter(extension)) filtered += extension + L"|";
  }
  return filtered;
}

std::wstring RecordedFilteredFormats(SqliteDatabase& db) {
  SqliteStatement known = db.Prepare("SELECT value FROM index_state WHERE key = 'filters'");
  return known.Step() ? known.Text(0) : std::wstring();
}

void RereadFilesOfNewFilters(SqliteDatabase& db) {
  std::wstring filtered = FilteredFormats(db);
  std::wstring before = L"|" + RecordedFilteredFormats(db);
  std::vector<std::wstring> added;
  for (std::size_t start = 0, end; (end = filtered.find(L'|', start)) != std::wstring::npos; start = end + 1) {
    std::wstring extension = filtered.substr(start, end - start);
    if (before.find(L"|" + extension + L"|") == std::wstring::npos) added.push_back(std::move(extension));
  }
  if (added.empty()) return;
  SqliteTransaction transaction(db);
  SqliteStatement reread = db.Prepare("UPDATE files SET complete = 0 WHERE ext = ?1 AND complete = 1");
  for (const std::wstring& extension : added) reread.Bind(1, extension).Run();
  transaction.Commit();
}

// After a whole pass, every file of a format with a filter was read with it.
void RecordFilteredFormats(SqliteDatabase& db) {
  std::wstring filtered = FilteredFormats(db);
  if (filtered == RecordedFilteredFormats(db)) return;
  db.Prepare("INSERT OR REPLACE INTO index_state(key, value) VALUES('filters', ?1)").Bind(1, filtered).Run();
}

}  // namespace

IndexReport Indexer::Run() {
  UniqueHandle lock = TakeIndexLock();
  IndexReport report;
  std::unique_ptr<SqliteDatabase> db = OpenIndexForUpdate(&report.rebuilt, true, &report.upgraded);
  RereadFilesOfNewReaders(*db);
  RereadFilesOfNewFilters(*db);
  std::vector<std::wstring> roots = RootList().All();
  // Other processes follow a whole pass through its published counts.
  auto expected = static_cast<std::uint64_t>(db->ScalarInteger("SELECT count(*) FROM files"));
  ProgressCallback publish = [&](const IndexProgress& progress) {
    PublishPassProgress(progress, expected);
    if (progress_) progress_(progress);
  };
  PublishPassProgress({}, expected, true);
  try {
    IndexPass pass(*db, publish, report);
    pass.RemoveFilesOutside(roots);
    for (const std::wstring& root : roots) pass.IndexRoot(root);
    pass.Finish();
    RecordFilteredFormats(*db);
  } catch (...) {
    ClearPassProgress();
    throw;
  }
  ClearPassProgress();
  return report;
}

IndexReport Indexer::Update(const std::vector<std::wstring>& paths) {
  UniqueHandle lock = TakeIndexLock();
  IndexReport report;
  std::unique_ptr<SqliteDatabase> db = OpenIndexForUpdate(&report.rebuilt, /*quickCheck=*/false, &report.upgraded);
  std::vector<std::wstring> roots = RootList().All();
  {
    IndexPass pass(*db, progress_, report);
    if (report.rebuilt || report.upgraded) {
      for (const std::wstring& root : roots) pass.IndexRoot(root);
    } else {
      for (const std::wstring& path : paths) {
        const std::wstring* covering = nullptr;
        bool isRoot = false;
        for (const std::wstring& root : roots) {
          if (!IsInsideFolder(path, root)) continue;
          covering = &root;
          isRoot = isRoot || IsInsideFolder(root, path);
        }
        // A root that is gone is a drive unplugged or a share offline: its files stay.
        if (isRoot) {
          pass.IndexRoot(path);
        } else if (covering) {
          pass.IndexPath(path, *covering);
        }
      }
    }
    pass.FinishUpdate();
  }
  return report;
}

namespace {

// A pass may be creating the index at this moment: until it exists whole, it
// counts as not built.
std::int64_t ReadIndexNumber(const char* sql) {
  try {
    auto db = OpenIndexForSearch();
    return db ? db->ScalarInteger(sql) : 0;
  } catch (const SqliteError&) {
    return 0;
  }
}

}  // namespace

std::int64_t LastIndexPassTime() { return ReadIndexNumber("SELECT value FROM index_state WHERE key = 'last_pass'"); }

std::int64_t LastIndexUpdateTime() {
  return ReadIndexNumber("SELECT value FROM index_state WHERE key = 'last_update'");
}

std::int64_t SkippedDocumentCount() {
  return ReadIndexNumber("SELECT count(*) FROM files WHERE complete >= 2");
}

std::vector<FormatCounts> DocumentCountsByFormat() {
  std::vector<FormatCounts> formats;
  std::unique_ptr<SqliteDatabase> db = OpenIndexForSearch();
  if (!db) return formats;
  SqliteStatement select =
      db->Prepare("SELECT ext, complete, count(*) FROM files WHERE complete >= 1 GROUP BY ext, complete ORDER BY ext");
  while (select.Step()) {
    std::wstring extension = select.Text(0);
    bool filtered = select.Integer(1) == kFilterFailedDocument || HasRegisteredFilter(extension);
    if (!IsDocumentExtension(extension) && !filtered) continue;
    if (formats.empty() || formats.back().extension != extension) formats.push_back({extension});
    formats.back().filtered = formats.back().filtered || filtered;
    std::uint64_t count = static_cast<std::uint64_t>(select.Integer(2));
    switch (select.Integer(1)) {
      case kComplete: formats.back().read += count; break;
      case kCutOffDocument: formats.back().cutOff += count; break;
      case kEncryptedDocument: formats.back().encrypted += count; break;
      case kFilterFailedDocument: formats.back().filterFailed += count; break;
      default: formats.back().damaged += count; break;
    }
  }
  return formats;
}

std::int64_t IndexedFileCount() { return ReadIndexNumber("SELECT count(*) FROM files"); }

}  // namespace qv::service
