// Fuzz target: the query language. The bytes are a search string (UTF-8);
// whatever it holds, the parser and compiler end, and everything the compiler
// makes is accepted by SQLite and the full-text engine against the index's
// tables (prepared and run on an empty index).

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/Text.h"
#include "service/QueryParser.h"
#include "service/query/QueryCompiler.h"

namespace {

using namespace qv::service;

// The tables a query reads, as the index makes them.
constexpr char kTables[] =
    "CREATE TABLE files(id INTEGER PRIMARY KEY, path TEXT NOT NULL UNIQUE, name TEXT NOT NULL, ext TEXT NOT NULL,"
    "  size INTEGER NOT NULL, mtime INTEGER NOT NULL, ctime INTEGER NOT NULL, complete INTEGER NOT NULL);"
    "CREATE VIRTUAL TABLE files_text USING fts5(name, content, folder, content='', contentless_delete=1,"
    "  tokenize='unicode61 remove_diacritics 2', prefix='2 3');"
    "CREATE VIRTUAL TABLE files_names USING fts5(name, content='', contentless_delete=1,"
    "  tokenize='unicode61 remove_diacritics 2', prefix='2 3');"
    "CREATE VIRTUAL TABLE files_unspaced USING fts5(name, content, content='', contentless_delete=1,"
    "  tokenize='trigram remove_diacritics 1');"
    "INSERT INTO files VALUES(1, 'C:\\a\\b.txt', 'b.txt', 'txt', 1, 1, 1, 1);"
    "INSERT INTO files_text(rowid, name, content, folder) VALUES(1, 'b txt', 'budget report', 'a');"
    "INSERT INTO files_names(rowid, name) VALUES(1, 'b txt');";

void Function(sqlite3_context* context, int, sqlite3_value**) { sqlite3_result_int(context, 1); }

// qv_matches(table, match, id), as the index answers it: the expression runs.
void Matches(sqlite3_context* context, int, sqlite3_value** arguments) {
  const char* table = reinterpret_cast<const char*>(sqlite3_value_text(arguments[0]));
  const char* match = reinterpret_cast<const char*>(sqlite3_value_text(arguments[1]));
  std::string name = table ? table : "";
  sqlite3* db = sqlite3_context_db_handle(context);
  std::string sql = "SELECT rowid FROM " + name + " WHERE " + name + " MATCH ?1";
  sqlite3_stmt* statement = nullptr;
  int code = sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
  if (code == SQLITE_OK) code = sqlite3_bind_text(statement, 1, match ? match : "", -1, SQLITE_TRANSIENT);
  while (code == SQLITE_OK && (code = sqlite3_step(statement)) == SQLITE_ROW) code = SQLITE_OK;
  if (code != SQLITE_DONE) {
    sqlite3_result_error(context, sqlite3_errmsg(db), -1);
  } else {
    sqlite3_result_int(context, 0);
  }
  sqlite3_finalize(statement);
}

sqlite3* Database() {
  static sqlite3* db = [] {
    sqlite3* opened = nullptr;
    if (sqlite3_open(":memory:", &opened) != SQLITE_OK ||
        sqlite3_exec(opened, kTables, nullptr, nullptr, nullptr) != SQLITE_OK) {
      std::abort();
    }
    sqlite3_create_function(opened, "qv_name_like", 2, SQLITE_UTF8, nullptr, Function, nullptr, nullptr);
    sqlite3_create_function(opened, "qv_under", 2, SQLITE_UTF8, nullptr, Function, nullptr, nullptr);
    sqlite3_create_function(opened, "qv_matches", 3, SQLITE_UTF8, nullptr, Matches, nullptr, nullptr);
    return opened;
  }();
  return db;
}

[[noreturn]] void Fail(const char* what, const std::string& sql) {
  std::fprintf(stderr, "%s: %s\n%s\n", what, sqlite3_errmsg(Database()), sql.c_str());
  std::abort();
}

void Run(const SqlText& text) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(Database(), text.sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    Fail("does not prepare", text.sql);
  }
  for (std::size_t i = 0; i < text.values.size(); ++i) {
    int at = static_cast<int>(i + 1);
    if (const auto* number = std::get_if<std::int64_t>(&text.values[i])) {
      sqlite3_bind_int64(statement, at, *number);
    } else {
      const std::string& value = std::get<std::string>(text.values[i]);
      sqlite3_bind_text(statement, at, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    }
  }
  int status;
  while ((status = sqlite3_step(statement)) == SQLITE_ROW) {
  }
  sqlite3_finalize(statement);
  if (status != SQLITE_DONE) Fail("does not run", text.sql);
}

void RunMatch(const char* table, const std::string& expression) {
  if (expression.empty()) return;
  Run(SqlText{}.Add(std::string("SELECT rowid FROM ") + table + " WHERE " + table + " MATCH ").Value(expression));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring text = qv::FromUtf8(reinterpret_cast<const char*>(data), size);
  if (text.empty() && size != 0) return 0;
  ParsedQuery parsed = ParseQuery(text);
  parsed.Warning();
  CompiledQuery compiled = CompileQuery(parsed);
  RunMatch("files_text", compiled.Match());
  for (const std::string& tier : compiled.RelevanceTiers()) RunMatch("files_text", tier);
  for (const std::string& tier : compiled.NameTiers()) RunMatch("files_names", tier);
  Run(SqlText{}.Add("SELECT f.id FROM files f WHERE ").Add(compiled.conditions));
  if (!compiled.drivingCondition.sql.empty()) {
    Run(SqlText{}.Add("SELECT f.id FROM files f WHERE ").Add(compiled.drivingCondition));
  }
  return 0;
}
