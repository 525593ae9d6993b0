#include "service/IndexDatabase.h"

#include <windows.h>

#include <sqlite3.h>

#include "common/Holders.h"
#include "service/IndexSearch.h"
#include "service/ServicePaths.h"
#include "common/Text.h"

namespace qv::service {
namespace {

// Version 3 added creation times, the folder words and the trigram table the
// query language searches; version 4 the table of names alone; version 5 the
// tokenizer that also folds letters such as ø, æ and ß.
constexpr int kSchemaVersion = 5;

// A file is known by its exact path: a case-sensitive folder holds "Report.txt"
// and "report.txt" side by side, and the listing of a case-insensitive one never
// shows two names that differ only in case. The second index finds a root's
// files however the root's name was spelled when they were stored.
// Newest-first queries walk the files by time and test extension, size and
// creation time in that index itself, without reading each file's row.
// Words are found in the file's name, its text and its folder's path; files
// whose name or text holds scripts written without spaces (Chinese, Japanese,
// Thai...) are also in a trigram table, which finds a word of three or more
// characters inside a run of such text. The names are indexed once more on
// their own: words in names rank first, and finding them among the names alone
// does not read the entries of every text that holds the same words.
// The schema runs on a new index and on one of an earlier version, whose files
// are then indexed again by the next pass.
// A new index gives back the pages files leave (see GiveSpaceBack); an index
// made before that is converted by its first full pass.
constexpr char kSchema[] =
    "PRAGMA auto_vacuum = INCREMENTAL;"
    "CREATE TABLE IF NOT EXISTS index_state(key TEXT PRIMARY KEY, value);"
    "DROP TABLE IF EXISTS files;"
    "DROP TABLE IF EXISTS files_text;"
    "DROP TABLE IF EXISTS files_unspaced;"
    "DROP TABLE IF EXISTS files_names;"
    "DELETE FROM index_state WHERE key = 'last_pass';"
    "CREATE TABLE IF NOT EXISTS files("
    "  id INTEGER PRIMARY KEY, path TEXT NOT NULL UNIQUE, name TEXT NOT NULL, ext TEXT NOT NULL,"
    "  size INTEGER NOT NULL, mtime INTEGER NOT NULL, ctime INTEGER NOT NULL, complete INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS files_by_ext ON files(ext);"
    "CREATE INDEX IF NOT EXISTS files_by_mtime ON files(mtime, ext, size, ctime);"
    "CREATE INDEX IF NOT EXISTS files_by_ctime ON files(ctime);"
    "CREATE INDEX IF NOT EXISTS files_by_size ON files(size);"
    "CREATE INDEX IF NOT EXISTS files_by_folded_path ON files(path COLLATE NOCASE);"
    "CREATE VIRTUAL TABLE IF NOT EXISTS files_text USING fts5("
    "  name, content, folder, content='', contentless_delete=1,"
    "  tokenize='quorvane_fold', prefix='2 3');"
    "CREATE VIRTUAL TABLE IF NOT EXISTS files_names USING fts5("
    "  name, content='', contentless_delete=1, tokenize='quorvane_fold', prefix='2 3');"
    "CREATE VIRTUAL TABLE IF NOT EXISTS files_unspaced USING fts5("
    "  name, content, content='', contentless_delete=1, tokenize='trigram remove_diacritics 1');";

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool PassesQuickCheck(SqliteDatabase& db) {
  SqliteStatement check = db.Prepare("PRAGMA quick_check");
  return check.Step() && check.Text(0) == L"ok";
}

std::unique_ptr<SqliteDatabase> CreateIndex(const std::wstring& path, bool* upgraded = nullptr) {
  // The default rollback journal, not WAL: opening a WAL database costs several
  // times more, and every query opens the index afresh.
  int previous = 0;
  auto db = OpenWithSchema(path, kSchemaVersion, kSchema, &previous);
  if (upgraded) *upgraded = previous != 0 && previous != kSchemaVersion;
  // A pass touches the whole index: a large page cache saves most reads.
  db->Execute("PRAGMA cache_size = -65536; PRAGMA mmap_size = 1073741824");
  return db;
}

std::int64_t PagesSize(SqliteDatabase& db) {
  return db.ScalarInteger("PRAGMA page_count") * db.ScalarInteger("PRAGMA page_size");
}

// Cuts the file to the pages it holds; false while it cannot (a connection of
// another thread or process maps it).
bool CutToItsPages(SqliteDatabase& db) {
  UniqueHandle file(CreateFileW(IndexDatabasePath().c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) {
    file.Release();
    return true;
  }
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart <= PagesSize(db)) return true;
  // No other pass writes (they take the index lock), and queries read only the
  // pages that stay; the write lock keeps it so while the file is cut.
  SqliteTransaction transaction(db);
  LARGE_INTEGER end = {};
  end.QuadPart = PagesSize(db);
  // This connection's own view of the file goes first.
  db.Execute("PRAGMA mmap_size = 0");
  bool cut = SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.Get());
  transaction.Commit();
  return cut;
}

}  // namespace

bool IsIndexOfThisVersion(SqliteDatabase& db) { return db.ScalarInteger("PRAGMA user_version") == kSchemaVersion; }

std::unique_ptr<SqliteDatabase> OpenIndexForSearch() {
  std::wstring path = IndexDatabasePath();
  if (path.empty() || !FileExists(path)) return nullptr;
  // Short busy wait: a query never holds the shell thread for long.
  auto db = std::make_unique<SqliteDatabase>(path, false, 2000);
  // An index of an earlier version cannot answer this version's queries; it
  // counts as not built until the next pass builds it anew.
  if (!IsIndexOfThisVersion(*db)) return nullptr;
  // Every query opens the index afresh: mapped pages come from the system's
  // file cache instead of one read call each.
  db->Execute("PRAGMA mmap_size = 1073741824");
  return db;
}

std::unique_ptr<SqliteDatabase> OpenIndexForUpdate(bool* rebuilt, bool quickCheck, bool* upgraded) {
  *rebuilt = false;
  if (upgraded) *upgraded = false;
  std::wstring path = IndexDatabasePath();
  if (path.empty()) throw SqliteError(14 /* SQLITE_CANTOPEN */, "no data folder");
  bool damaged = IsIndexMarkedDamaged();
  if (!damaged && FileExists(path)) {
    try {
      auto db = CreateIndex(path, upgraded);
      if (!quickCheck || PassesQuickCheck(*db)) return db;
    } catch (const SqliteError& e) {
      if (!e.IsDamage()) throw;
    }
    damaged = true;
  }
  if (damaged && FileExists(path)) {
    // This process's idle search connections would keep the file from moving.
    CloseKeptSearchConnections();
    MoveDamagedAside(path);
    *rebuilt = true;
  }
  auto db = CreateIndex(path);
  DeleteFileW(IndexDamageMarkerPath().c_str());
  return db;
}

void GiveSpaceBack(SqliteDatabase& db, std::uint64_t filesRemoved, bool fullPass) {
  try {
    if (filesRemoved > 0) {
      // The full-text tables keep a removed file's words until their segments
      // are merged: after a large removal they are merged whole. The highest
      // id bounds the files left at the cost of one lookup.
      auto left = static_cast<std::uint64_t>(db.ScalarInteger("SELECT coalesce(max(id), 0) FROM files"));
      if (filesRemoved * 4 >= left + filesRemoved) {
        SqliteTransaction transaction(db);
        for (const char* table : {"files_text", "files_names", "files_unspaced"}) {
          db.Execute((std::string("INSERT INTO ") + table + "(" + table + ") VALUES('optimize')").c_str());
        }
        transaction.Commit();
      }
    }
    if (db.ScalarInteger("PRAGMA auto_vacuum") != 2) {
      // Made before the index gave space back: one vacuum (which rewrites the
      // file) converts it, in a full pass, not in the watcher's small updates.
      if (fullPass) db.Execute("PRAGMA auto_vacuum = INCREMENTAL; VACUUM");
      return;
    }
    // Free pages are kept for what the next passes add, up to an eighth of the file.
    if (db.ScalarInteger("PRAGMA freelist_count") * 8 > db.ScalarInteger("PRAGMA page_count")) {
      db.Execute("PRAGMA incremental_vacuum");
    }
    // A file that a query's connection maps cannot be cut short, and SQLite
    // then leaves it long (and takes it as cut). It is cut here once the
    // queries' connections have closed (they do after 2 s unused); a full
    // pass waits for that, the watcher's batches try again as they come.
    for (int attempt = 0; !CutToItsPages(db) && fullPass && attempt < 12; ++attempt) Sleep(250);
  } catch (const SqliteError&) {
    // The index is whole either way (a vacuum wants room for a copy of the
    // file); the next pass tries again.
  }
}

IndexCondition CheckIndexCondition(DWORD checkMs, std::wstring* problem) {
  std::wstring path = IndexDatabasePath();
  if (path.empty() || !FileExists(path)) return IndexCondition::NotBuilt;
  try {
    auto db = std::make_unique<SqliteDatabase>(path, false, 2000);
    if (!IsIndexOfThisVersion(*db)) return IndexCondition::EarlierVersion;
    db->ScalarInteger("SELECT count(*) FROM files");
    ULONGLONG deadline = GetTickCount64() + checkMs;
    sqlite3_progress_handler(
        db->Handle(), 1000, [](void* end) { return GetTickCount64() >= *static_cast<ULONGLONG*>(end) ? 1 : 0; },
        &deadline);
    try {
      SqliteStatement check = db->Prepare("PRAGMA quick_check");
      if (check.Step() && check.Text(0) != L"ok") {
        if (problem) *problem = check.Text(0);
        MarkIndexDamaged();
        return IndexCondition::Damaged;
      }
    } catch (const SqliteError& e) {
      // Out of time: what was checked is sound.
      if ((e.Code() & 0xFF) != SQLITE_INTERRUPT) throw;
    }
    return IndexCondition::Sound;
  } catch (const SqliteError& e) {
    if (problem) *problem = FromUtf8(e.Message());
    if (!e.IsDamage()) return IndexCondition::Unreadable;
    MarkIndexDamaged();
    return IndexCondition::Damaged;
  }
}

void MarkIndexDamaged() {
  std::wstring marker = IndexDamageMarkerPath();
  if (marker.empty()) return;
  UniqueHandle file(CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool IsIndexMarkedDamaged() {
  std::wstring marker = IndexDamageMarkerPath();
  return !marker.empty() && FileExists(marker);
}

}  // namespace qv::service
