#include "service/IndexDatabase.h"

#include <windows.h>

#include "service/ServicePaths.h"

namespace qv::service {
namespace {

// Names weigh more than contents when ranking by relevance.
constexpr int kSchemaVersion = 2;

// A file is known by its exact path: a case-sensitive folder holds "Report.txt"
// and "report.txt" side by side, and the listing of a case-insensitive one never
// shows two names that differ only in case. The second index finds a root's
// files however the root's name was spelled when they were stored.
// The schema runs on a new index and on one of an earlier version, which keyed
// files on their path without case and is rebuilt by the next pass.
constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS index_state(key TEXT PRIMARY KEY, value);"
    "DROP TABLE IF EXISTS files;"
    "DROP TABLE IF EXISTS files_text;"
    "DELETE FROM index_state WHERE key = 'last_pass';"
    "CREATE TABLE IF NOT EXISTS files("
    "  id INTEGER PRIMARY KEY, path TEXT NOT NULL UNIQUE, name TEXT NOT NULL,"
    "  ext TEXT NOT NULL, size INTEGER NOT NULL, mtime INTEGER NOT NULL, complete INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS files_by_ext ON files(ext);"
    "CREATE INDEX IF NOT EXISTS files_by_mtime ON files(mtime);"
    "CREATE INDEX IF NOT EXISTS files_by_folded_path ON files(path COLLATE NOCASE);"
    "CREATE VIRTUAL TABLE IF NOT EXISTS files_text USING fts5("
    "  name, content, content='', contentless_delete=1,"
    "  tokenize='unicode61 remove_diacritics 2', prefix='2 3');";

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool PassesQuickCheck(SqliteDatabase& db) {
  SqliteStatement check = db.Prepare("PRAGMA quick_check");
  return check.Step() && check.Text(0) == L"ok";
}

std::unique_ptr<SqliteDatabase> CreateIndex(const std::wstring& path) {
  // The default rollback journal, not WAL: opening a WAL database costs several
  // times more, and every query opens the index afresh.
  auto db = OpenWithSchema(path, kSchemaVersion, kSchema);
  // A pass touches the whole index: a large page cache saves most reads.
  db->Execute("PRAGMA cache_size = -65536; PRAGMA mmap_size = 1073741824");
  return db;
}

}  // namespace

std::unique_ptr<SqliteDatabase> OpenIndexForSearch() {
  std::wstring path = IndexDatabasePath();
  if (path.empty() || !FileExists(path)) return nullptr;
  // Short busy wait: a query never holds the shell thread for long.
  auto db = std::make_unique<SqliteDatabase>(path, false, 2000);
  // Every query opens the index afresh: mapped pages come from the system's
  // file cache instead of one read call each.
  db->Execute("PRAGMA mmap_size = 1073741824");
  return db;
}

std::unique_ptr<SqliteDatabase> OpenIndexForUpdate(bool* rebuilt, bool quickCheck) {
  *rebuilt = false;
  std::wstring path = IndexDatabasePath();
  if (path.empty()) throw SqliteError(14 /* SQLITE_CANTOPEN */, "no data folder");
  bool damaged = IsIndexMarkedDamaged();
  if (!damaged && FileExists(path)) {
    try {
      auto db = CreateIndex(path);
      if (!quickCheck || PassesQuickCheck(*db)) return db;
    } catch (const SqliteError& e) {
      if (!e.IsDamage()) throw;
    }
    damaged = true;
  }
  if (damaged && FileExists(path)) {
    MoveDamagedAside(path);
    *rebuilt = true;
  }
  auto db = CreateIndex(path);
  DeleteFileW(IndexDamageMarkerPath().c_str());
  return db;
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
