#include "service/ServiceDatabase.h"

#include <windows.h>

#include "service/ServicePaths.h"

namespace qv::service {
namespace {

constexpr int kSchemaVersion = 1;

constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS components("
    "  guid TEXT PRIMARY KEY, title TEXT NOT NULL, description TEXT NOT NULL,"
    "  icon TEXT NOT NULL, registered INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS cookies("
    "  cookie INTEGER PRIMARY KEY, guid TEXT NOT NULL, read_allowed INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS cookies_by_guid ON cookies(guid);"
    "CREATE TABLE IF NOT EXISTS roots(path TEXT PRIMARY KEY COLLATE NOCASE);"
    "CREATE TABLE IF NOT EXISTS settings(key TEXT PRIMARY KEY, value);";

}  // namespace

std::unique_ptr<SqliteDatabase> OpenServiceDatabase() {
  std::wstring path = ServiceDatabasePath();
  if (path.empty()) throw SqliteError(14 /* SQLITE_CANTOPEN */, "no data folder");
  try {
    return OpenWithSchema(path, kSchemaVersion, kSchema);
  } catch (const SqliteError& e) {
    if (!e.IsDamage()) throw;
  }
  MoveDamagedAside(path);
  return OpenWithSchema(path, kSchemaVersion, kSchema);
}

}  // namespace qv::service
