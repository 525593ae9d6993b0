#include "service/SqliteDatabase.h"

#include <sqlite3.h>

#include "common/Text.h"
#include "service/FoldingTokenizer.h"

namespace qv::service {
namespace {

[[noreturn]] void Raise(sqlite3* db, int code) {
  throw SqliteError(code, db ? sqlite3_errmsg(db) : sqlite3_errstr(code));
}

void Check(sqlite3* db, int code) {
  if (code != SQLITE_OK) Raise(db, code);
}

}  // namespace

bool SqliteError::IsDamage() const {
  int primary = code_ & 0xFF;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

bool SqliteError::IsRowRefused() const {
  int primary = code_ & 0xFF;
  return primary == SQLITE_CONSTRAINT || primary == SQLITE_TOOBIG || primary == SQLITE_MISMATCH;
}

bool SqliteError::IsWriteFailure() const {
  int primary = code_ & 0xFF;
  return primary == SQLITE_FULL || primary == SQLITE_IOERR || primary == SQLITE_READONLY ||
         primary == SQLITE_CANTOPEN || primary == SQLITE_PERM;
}

namespace detail {
void CloseDatabase(sqlite3* db) { sqlite3_close_v2(db); }
void FinalizeStatement(sqlite3_stmt* statement) { sqlite3_finalize(statement); }
}  // namespace detail

SqliteStatement& SqliteStatement::Bind(int index, std::int64_t value) {
  Check(db_, sqlite3_bind_int64(statement_.Get(), index, value));
  return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, const std::string& utf8) {
  Check(db_, sqlite3_bind_text(statement_.Get(), index, utf8.data(), static_cast<int>(utf8.size()),
                               SQLITE_TRANSIENT));
  return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, const std::wstring& text) { return Bind(index, ToUtf8(text)); }

SqliteStatement& SqliteStatement::BindPointer(int index, const void* pointer, const char* type) {
  Check(db_, sqlite3_bind_pointer(statement_.Get(), index, const_cast<void*>(pointer), type, nullptr));
  return *this;
}

int SqliteStatement::ParameterIndex(const char* name) const {
  return sqlite3_bind_parameter_index(statement_.Get(), name);
}

bool SqliteStatement::Step() {
  int code = sqlite3_step(statement_.Get());
  if (code == SQLITE_ROW) return true;
  if (code == SQLITE_DONE) return false;
  // The statement's own error code is the useful one; reset it so it can run again.
  sqlite3_reset(statement_.Get());
  Raise(db_, sqlite3_extended_errcode(db_) ? sqlite3_extended_errcode(db_) : code);
}

void SqliteStatement::Run() {
  while (Step()) {
  }
  Reset();
}

void SqliteStatement::Reset() {
  sqlite3_reset(statement_.Get());
  sqlite3_clear_bindings(statement_.Get());
}

std::int64_t SqliteStatement::Integer(int column) const { return sqlite3_column_int64(statement_.Get(), column); }

std::wstring SqliteStatement::Text(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_.Get(), column));
  return FromUtf8(text, static_cast<std::size_t>(sqlite3_column_bytes(statement_.Get(), column)));
}

SqliteDatabase::SqliteDatabase(const std::wstring& path, bool create, int busyMs) {
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
  int code = sqlite3_open_v2(ToUtf8(path).c_str(), db_.Put(), flags, nullptr);
  if (code != SQLITE_OK) {
    std::string message = db_ ? sqlite3_errmsg(db_.Get()) : sqlite3_errstr(code);
    throw SqliteError(code, message);
  }
  sqlite3_extended_result_codes(db_.Get(), 1);
  sqlite3_busy_timeout(db_.Get(), busyMs);
  // The index's word tables are made and read through it.
  RegisterFoldingTokenizer(db_.Get());
}

void SqliteDatabase::Execute(const char* sql) {
  Check(db_.Get(), sqlite3_exec(db_.Get(), sql, nullptr, nullptr, nullptr));
}

SqliteStatement SqliteDatabase::Prepare(const char* sql) {
  sqlite3_stmt* statement = nullptr;
  Check(db_.Get(), sqlite3_prepare_v2(db_.Get(), sql, -1, &statement, nullptr));
  return SqliteStatement(db_.Get(), statement);
}

std::int64_t SqliteDatabase::LastInsertId() const { return sqlite3_last_insert_rowid(db_.Get()); }

std::int64_t SqliteDatabase::ScalarInteger(const char* sql) {
  SqliteStatement statement = Prepare(sql);
  return statement.Step() ? statement.Integer(0) : 0;
}

SqliteTransaction::SqliteTransaction(SqliteDatabase& db, bool immediate) : db_(db) {
  db_.Execute(immediate ? "BEGIN IMMEDIATE" : "BEGIN");
}

SqliteTransaction::~SqliteTransaction() {
  if (open_) sqlite3_exec(db_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqliteTransaction::Commit() {
  db_.Execute("COMMIT");
  open_ = false;
}

std::unique_ptr<SqliteDatabase> OpenWithSchema(const std::wstring& path, int version, const char* schema,
                                               int* previousVersion) {
  auto db = std::make_unique<SqliteDatabase>(path, true);
  std::int64_t current = db->ScalarInteger("PRAGMA user_version");
  if (previousVersion) *previousVersion = static_cast<int>(current);
  if (current == version) return db;
  SqliteTransaction transaction(*db);
  db->Execute(schema);
  db->Execute(("PRAGMA user_version = " + std::to_string(version)).c_str());
  transaction.Commit();
  return db;
}

void MoveDamagedAside(const std::wstring& path) {
  MoveFileExW(path.c_str(), (path + L".damaged").c_str(), MOVEFILE_REPLACE_EXISTING);
  for (const wchar_t* journal : {L"-journal", L"-wal", L"-shm"}) DeleteFileW((path + journal).c_str());
}

}  // namespace qv::service
