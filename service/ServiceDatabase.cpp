#include "service/ServiceDatabase.h"

#include <windows.h>

#include "service/ExclusionList.h"
#include "service/ServicePaths.h"

namespace qv::service {
namespace {

// Version 2 added the exclusions.
constexpr int kSchemaVersion = 2;

constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS components("
    "  guid TEXT PRIMARY KEY, title TEXT NOT NULL, description TEXT NOT NULL,"
    "  icon TEXT NOT NULL, registered INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS cookies("
    "  cookie INTEGER PRIMARY KEY, guid TEXT NOT NULL, read_allowed INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS cookies_by_guid ON cookies(guid);"
    "CREATE TABLE IF NOT EXISTS roots(path TEXT PRIMARY KEY COLLATE NOCASE);"
    "CREATE TABLE IF NOT EXISTS settings(key TEXT PRIMARY KEY, value);"
    "CREATE TABLE IF NOT EXISTS exclusions(entry TEXT PRIMARY KEY COLLATE NOCASE);";

// A new data folder starts with the default exclusions; one of an earlier
// version keeps indexing what it did.
std::unique_ptr<SqliteDatabase> Open(const std::wstring& path) {
  int previous = 0;
  auto db = OpenWithSchema(path, kSchemaVersion, kSchema, &previous);
  if (previous == 0) AddDefaultExclusions(*db);
  return db;
}

}  // namespace

std::unique_ptr<SqliteDatabase> OpenServiceDatabase() {
  std::wstring path = ServiceDatabasePath();
  if (path.empty()) throw SqliteError(14 /* SQLITE_CANTOPEN */, "no data folder");
  try {
    return Open(path);
  } catch (const SqliteError& e) {
    if (!e.IsDamage()) throw;
  }
  MoveDamagedAside(path);
  return Open(path);
}

}  // namespace qv::service
