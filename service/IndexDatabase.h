#pragma once
// The file index (index.db in the data folder): one row per file with its path,
// name, extension, size, modification and creation time, and full-text tables
// over the file's name, its folder's path and, for text files, its contents.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "service/SqliteDatabase.h"

namespace qv::service {

// Opens the index for searching; none when it does not exist yet or was made
// by an earlier version (the next pass builds it anew). Throws
// SqliteError, IsDamage() telling a damaged file.
std::unique_ptr<SqliteDatabase> OpenIndexForSearch();
// False when a connection opened earlier now sees an index an upgrade emptied.
bool IsIndexOfThisVersion(SqliteDatabase& db);

// Opens the index for an index pass, creating it when missing. A damaged file
// (failing SQLite's quick check, or marked by a query that met damage) is moved
// aside to "index.db.damaged" and a fresh index is created; `rebuilt` tells so.
// `quickCheck` false skips SQLite's check (it reads the whole file) for the
// small, frequent updates of the watcher, which checked it when it started;
// damage a query met is still acted on. `upgraded` tells that the index was
// made by an earlier version and has been emptied for the pass to fill anew.
std::unique_ptr<SqliteDatabase> OpenIndexForUpdate(bool* rebuilt, bool quickCheck = true, bool* upgraded = nullptr);

// Gives the file's unused space back to the disk after a pass that removed
// `filesRemoved` files: after a large removal the full-text tables are merged
// (they keep a removed file's words until then), and free pages beyond an
// eighth of the file are released. A full pass also converts an index made
// before it gave space back. Failing (no room for a vacuum's copy) costs
// nothing but the space.
void GiveSpaceBack(SqliteDatabase& db, std::uint64_t filesRemoved, bool fullPass);

enum class IndexCondition {
  NotBuilt,        // no index yet
  EarlierVersion,  // made by an earlier version; the next pass builds it anew
  Sound,
  Damaged,         // the file is not a database or its pages are damaged
  Unreadable,      // it cannot be read now (locked, access denied, a failing disk)
};

// Looks at the index as status shows it: opens it, reads its files and runs
// SQLite's quick check for up to `checkMs` (a large index is checked only as
// far as that goes). A damaged index is marked for the next pass to rebuild.
// `problem` receives SQLite's words for what went wrong.
IndexCondition CheckIndexCondition(DWORD checkMs, std::wstring* problem);

// Records that a query met a damaged index, so the next index pass rebuilds it.
void MarkIndexDamaged();
bool IsIndexMarkedDamaged();

}  // namespace qv::service
