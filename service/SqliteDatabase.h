#pragma once
// A SQLite connection and its prepared statements, owned and closed by holders.
// Failures are raised as SqliteError so callers keep one path for every step.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "common/Holders.h"

struct sqlite3;
struct sqlite3_stmt;

namespace qv::service {

class SqliteError {
 public:
  SqliteError(int code, std::string message) : code_(code), message_(std::move(message)) {}
  int Code() const { return code_; }
  const std::string& Message() const { return message_; }
  // The file is not a database or its pages are damaged.
  bool IsDamage() const;
  // One row was refused (a constraint, a value too big); the connection and its
  // transaction go on.
  bool IsRowRefused() const;
  // Writing failed for a reason outside the database (a full disk, an I/O
  // error, a read-only file or medium, a file that cannot be opened): what was
  // committed is intact, and nothing more can be written until that is mended.
  bool IsWriteFailure() const;

 private:
  int code_;
  std::string message_;
};

namespace detail {
void CloseDatabase(sqlite3* db);
void FinalizeStatement(sqlite3_stmt* statement);
}  // namespace detail

class SqliteStatement {
 public:
  SqliteStatement(sqlite3* db, sqlite3_stmt* statement) : db_(db), statement_(statement) {}

  SqliteStatement& Bind(int index, std::int64_t value);
  SqliteStatement& Bind(int index, const std::string& utf8);
  SqliteStatement& Bind(int index, const std::wstring& text);
  // A pointer that only SQL functions which ask for `type` can read; the
  // object must outlive the statement's steps.
  SqliteStatement& BindPointer(int index, const void* pointer, const char* type);
  // The index of a named parameter (":limit"); 0 when the statement has none.
  int ParameterIndex(const char* name) const;
  // True while a row is available.
  bool Step();
  // Runs a statement that returns no rows, then makes it ready to run again.
  void Run();
  void Reset();

  std::int64_t Integer(int column) const;
  std::wstring Text(int column) const;

 private:
  sqlite3* db_;
  UniqueResource<sqlite3_stmt*, detail::FinalizeStatement, nullptr> statement_;
};

class SqliteDatabase {
 public:
  // Opens (and creates, when asked) the database file; waits up to busyMs for
  // other connections' locks.
  SqliteDatabase(const std::wstring& path, bool create, int busyMs = 5000);

  void Execute(const char* sql);
  SqliteStatement Prepare(const char* sql);
  std::int64_t LastInsertId() const;
  std::int64_t ScalarInteger(const char* sql);
  sqlite3* Handle() const { return db_.Get(); }

 private:
  UniqueResource<sqlite3*, detail::CloseDatabase, nullptr> db_;
};

// Commits on Commit(); rolls back when left without it.
class SqliteTransaction {
 public:
  explicit SqliteTransaction(SqliteDatabase& db, bool immediate = true);
  SqliteTransaction(const SqliteTransaction&) = delete;
  SqliteTransaction& operator=(const SqliteTransaction&) = delete;
  ~SqliteTransaction();
  void Commit();

 private:
  SqliteDatabase& db_;
  bool open_ = true;
};

// Opens (creating) a database and brings its tables to `version`: when the
// file's user_version differs, `schema` (idempotent statements) runs in one
// transaction and the version is recorded, so later opens skip it.
// `previousVersion` receives the version the file had (0 for a new one).
std::unique_ptr<SqliteDatabase> OpenWithSchema(const std::wstring& path, int version, const char* schema,
                                               int* previousVersion = nullptr);

// Moves a damaged database file aside to "<name>.damaged" with its journals
// removed, so a fresh one can take its place.
void MoveDamagedAside(const std::wstring& path);

}  // namespace qv::service
