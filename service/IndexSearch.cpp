#include "service/IndexSearch.h"

#include <windows.h>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <tuple>
#include <vector>

#include "common/Holders.h"
#include "common/Text.h"
#include "service/FoldingTokenizer.h"
#include "service/IndexDatabase.h"
#include "service/PathText.h"
#include "service/ServicePaths.h"
#include "service/SqliteDatabase.h"
#include "service/query/QueryCompiler.h"

namespace qv::service {
namespace {

std::int64_t FileCount(SqliteDatabase& db) { return db.ScalarInteger("SELECT coalesce(max(id), 0) FROM files"); }

// A query with few candidates reads their rows and sorts them by time; one
// with many walks the time index newest first, testing each entry in the index
// itself, and stops when the reader has enough. Reading a row costs about as
// much as testing thirty index entries, so for the first 100 results the two
// cost the same when the candidates number about sqrt(3 * files).
std::int64_t SortedCandidates(std::int64_t files) {
  return std::clamp(static_cast<std::int64_t>(std::sqrt(3.0 * static_cast<double>(files))), std::int64_t{300},
                    std::int64_t{5000});
}

// The newest files a query with many candidates walks before it sorts the
// rest: a small part of a large index.
std::int64_t WalkedFirst(std::int64_t files) { return std::clamp(files / 16, std::int64_t{128}, std::int64_t{20000}); }

std::wstring TextArgument(sqlite3_value* value) {
  const void* text = sqlite3_value_text16(value);
  return text ? std::wstring(static_cast<const wchar_t*>(text)) : std::wstring();
}

std::string Utf8Argument(sqlite3_value* value) {
  const unsigned char* text = sqlite3_value_text(value);
  return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_value_bytes(value)))
              : std::string();
}

// A statement's name pattern, folded once, and the folder for its names.
struct FoldedPattern {
  explicit FoldedPattern(sqlite3* db, const std::string& pattern) : folder(db), wild(FromUtf8(folder.Fold(pattern))) {}
  TextFolder folder;
  std::wstring wild;
};

// Names and pattern are folded as the word tables fold words, so
// "name:tromso*.txt" finds "Tromsø.txt" as "tromso" does.
void NameLike(sqlite3_context* context, int, sqlite3_value** arguments) {
  try {
    auto* pattern = static_cast<FoldedPattern*>(sqlite3_get_auxdata(context, 1));
    if (!pattern) {
      auto made = std::make_unique<FoldedPattern>(sqlite3_context_db_handle(context), Utf8Argument(arguments[1]));
      sqlite3_set_auxdata(context, 1, made.release(), [](void* p) { delete static_cast<FoldedPattern*>(p); });
      pattern = static_cast<FoldedPattern*>(sqlite3_get_auxdata(context, 1));
      if (!pattern) {
        sqlite3_result_error_nomem(context);
        return;
      }
    }
    std::wstring name = FromUtf8(pattern->folder.Fold(Utf8Argument(arguments[0])));
    sqlite3_result_int(context, MatchesWildcards(name, pattern->wild) ? 1 : 0);
  } catch (const SqliteError& e) {
    sqlite3_result_error(context, e.Message().c_str(), -1);
  } catch (...) {
    sqlite3_result_error_nomem(context);
  }
}

void Under(sqlite3_context* context, int, sqlite3_value** arguments) {
  try {
    sqlite3_result_int(context, IsInsideFolder(TextArgument(arguments[0]), TextArgument(arguments[1])) ? 1 : 0);
  } catch (...) {
    sqlite3_result_error_nomem(context);
  }
}

// The ids of the files a full-text expression matches, ascending: read once,
// then tested by qv_member(set, id) while the files are walked by time, which
// costs SQLite neither a second pass over the full-text index nor a temporary
// table of every match.
using IdSet = std::vector<std::int64_t>;
constexpr char kIdSetType[] = "qv_id_set";

void Member(sqlite3_context* context, int, sqlite3_value** arguments) {
  const auto* ids = static_cast<const IdSet*>(sqlite3_value_pointer(arguments[0], kIdSetType));
  sqlite3_result_int(context,
                     ids && std::binary_search(ids->begin(), ids->end(), sqlite3_value_int64(arguments[1])) ? 1 : 0);
}

// qv_matches(table, match, id): whether the full-text table matches the file.
// The matches are read on the first call of a statement's run and kept for
// the rest of it.
void Matches(sqlite3_context* context, int, sqlite3_value** arguments) {
  try {
    auto* ids = static_cast<IdSet*>(sqlite3_get_auxdata(context, 1));
    if (!ids) {
      const char* table = reinterpret_cast<const char*>(sqlite3_value_text(arguments[0]));
      const char* match = reinterpret_cast<const char*>(sqlite3_value_text(arguments[1]));
      std::string name = table ? table : "";
      if (!match || (name != "files_text" && name != "files_names")) {
        sqlite3_result_error(context, "qv_matches: no such full-text table", -1);
        return;
      }
      sqlite3* db = sqlite3_context_db_handle(context);
      std::string sql = "SELECT rowid FROM " + name + " WHERE " + name + " MATCH ?1";
      sqlite3_stmt* raw = nullptr;
      int code = sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr);
      UniqueResource<sqlite3_stmt*, detail::FinalizeStatement, nullptr> statement(raw);
      auto set = std::make_unique<IdSet>();
      if (code == SQLITE_OK) code = sqlite3_bind_text(raw, 1, match, -1, SQLITE_TRANSIENT);
      while (code == SQLITE_OK && (code = sqlite3_step(raw)) == SQLITE_ROW) {
        set->push_back(sqlite3_column_int64(raw, 0));
        code = SQLITE_OK;
      }
      if (code != SQLITE_DONE) {
        sqlite3_result_error(context, sqlite3_errmsg(db), -1);
        sqlite3_result_error_code(context, sqlite3_extended_errcode(db));
        return;
      }
      if (!std::is_sorted(set->begin(), set->end())) std::sort(set->begin(), set->end());
      sqlite3_set_auxdata(context, 1, set.release(), [](void* p) { delete static_cast<IdSet*>(p); });
      ids = static_cast<IdSet*>(sqlite3_get_auxdata(context, 1));
      if (!ids) {
        sqlite3_result_error_nomem(context);
        return;
      }
    }
    sqlite3_result_int(context, std::binary_search(ids->begin(), ids->end(), sqlite3_value_int64(arguments[2])));
  } catch (...) {
    sqlite3_result_error_nomem(context);
  }
}

void RegisterFunctions(SqliteDatabase& db) {
  for (auto [name, encoding, function] : {std::tuple{"qv_name_like", SQLITE_UTF8, &NameLike},
                                          std::tuple{"qv_under", SQLITE_UTF16, &Under}}) {
    int result = sqlite3_create_function_v2(db.Handle(), name, 2, encoding | SQLITE_DETERMINISTIC, nullptr, function,
                                            nullptr, nullptr, nullptr);
    if (result != SQLITE_OK) throw SqliteError(result, "cannot register the query functions");
  }
  for (auto [name, arguments, function] :
       {std::tuple{"qv_member", 2, &Member}, std::tuple{"qv_matches", 3, &Matches}}) {
    int result = sqlite3_create_function_v2(db.Handle(), name, arguments, SQLITE_UTF8, nullptr, function, nullptr,
                                            nullptr, nullptr);
    if (result != SQLITE_OK) throw SqliteError(result, "cannot register the query functions");
  }
}

SqliteStatement Prepare(SqliteDatabase& db, const SqlText& sql, const IdSet* ids = nullptr, int idsParameter = 0) {
  SqliteStatement statement = db.Prepare(sql.sql.c_str());
  for (std::size_t i = 0; i < sql.values.size(); ++i) {
    int index = static_cast<int>(i + 1);
    if (ids && index == idsParameter) {
      statement.BindPointer(index, ids, kIdSetType);
    } else if (const auto* number = std::get_if<std::int64_t>(&sql.values[i])) {
      statement.Bind(index, *number);
    } else {
      statement.Bind(index, std::get<std::string>(sql.values[i]));
    }
  }
  return statement;
}

IdSet MatchedIds(SqliteDatabase& db, const std::string& table, const std::string& match) {
  SqliteStatement statement =
      Prepare(db, SqlText{}.Add("SELECT rowid FROM " + table + " WHERE " + table + " MATCH ").Value(match));
  IdSet ids;
  while (statement.Step()) ids.push_back(statement.Integer(0));
  if (!std::is_sorted(ids.begin(), ids.end())) std::sort(ids.begin(), ids.end());
  return ids;
}

// The ids as a JSON array, which json_each reads back as rows.
std::string JsonArray(const IdSet& ids) {
  std::string json = "[";
  for (std::int64_t id : ids) {
    if (json.size() > 1) json += ',';
    json += std::to_string(id);
  }
  return json + "]";
}

std::int64_t Count(SqliteDatabase& db, const SqlText& sql) {
  SqliteStatement statement = Prepare(db, sql);
  return statement.Step() ? statement.Integer(0) : 0;
}

// False when the reader wants no more.
bool Deliver(SqliteDatabase& db, const SqlText& sql, const std::function<bool(SearchHit&&)>& onHit,
             const IdSet* ids = nullptr, int idsParameter = 0) {
  SqliteStatement statement = Prepare(db, sql, ids, idsParameter);
  while (statement.Step()) {
    if (!onHit(SearchHit{statement.Text(0), statement.Text(1)})) return false;
  }
  return true;
}

const char kNewestFirst[] = " ORDER BY f.mtime DESC, f.id DESC";
// The results a view shows first.
constexpr std::int64_t kFirstPage = 100;

// Connections kept between queries. A fresh connection reads every page it
// needs anew; one that answered the last query finds most of them in its cache
// and its mapping of the file, several times faster on a large index. A kept
// connection holds no lock, only the file open.
constexpr ULONGLONG kKeptConnectionIdleMs = 2000;
constexpr std::size_t kMostKeptConnections = 4;

struct KeptConnection {
  std::wstring path;
  std::unique_ptr<SqliteDatabase> db;
  ULONGLONG since;
};

SRWLOCK g_keptLock = SRWLOCK_INIT;
std::vector<KeptConnection>* g_kept = nullptr;  // under g_keptLock; made on first use, never freed
bool g_lingering = false;                       // under g_keptLock

std::vector<KeptConnection>& Kept() {
  if (!g_kept) g_kept = new std::vector<KeptConnection>();
  return *g_kept;
}

std::unique_ptr<SqliteDatabase> TakeKeptConnection(const std::wstring& path) {
  std::unique_ptr<SqliteDatabase> db;
  {
    ExclusiveLock guard(g_keptLock);
    auto& kept = Kept();
    for (auto it = kept.rbegin(); it != kept.rend(); ++it) {
      if (it->path == path) {
        db = std::move(it->db);
        kept.erase(std::next(it).base());
        break;
      }
    }
  }
  if (db && !IsIndexOfThisVersion(*db)) db.reset();
  return db;
}

void KeepConnection(std::wstring path, std::unique_ptr<SqliteDatabase> db) {
  std::unique_ptr<SqliteDatabase> dropped;
  ExclusiveLock guard(g_keptLock);
  auto& kept = Kept();
  if (kept.size() >= kMostKeptConnections) {
    dropped = std::move(kept.front().db);
    kept.erase(kept.begin());
  }
  kept.push_back(KeptConnection{std::move(path), std::move(db), GetTickCount64()});
}

std::unique_ptr<SqliteDatabase> OpenSearchConnection(const std::wstring& path, bool keep) {
  if (keep) {
    if (auto db = TakeKeptConnection(path)) return db;
  }
  std::unique_ptr<SqliteDatabase> db = OpenIndexForSearch();
  if (!db) return nullptr;
  RegisterFunctions(*db);
  // Room for the pages of several queries: what makes a kept connection fast.
  if (keep) db->Execute("PRAGMA cache_size = -16384");
  return db;
}

void SearchWith(SqliteDatabase& db, const ParsedQuery& query, Ranking ranking,
                const std::function<bool(SearchHit&&)>& onHit);

}  // namespace

void LingerWithKeptSearchConnections() {
  {
    ExclusiveLock guard(g_keptLock);
    if (g_lingering || Kept().empty()) return;
    g_lingering = true;
  }
  for (;;) {
    Sleep(250);
    std::vector<std::unique_ptr<SqliteDatabase>> idle;
    {
      ExclusiveLock guard(g_keptLock);
      auto& kept = Kept();
      ULONGLONG now = GetTickCount64();
      for (auto it = kept.begin(); it != kept.end();) {
        if (now - it->since >= kKeptConnectionIdleMs) {
          idle.push_back(std::move(it->db));
          it = kept.erase(it);
        } else {
          ++it;
        }
      }
      if (kept.empty()) {
        g_lingering = false;
        break;
      }
    }
  }
}

void CloseKeptSearchConnections() {
  std::vector<KeptConnection> closing;
  {
    ExclusiveLock guard(g_keptLock);
    closing.swap(Kept());
  }
}

void SearchIndex(const ParsedQuery& query, Ranking ranking, const std::function<bool(SearchHit&&)>& onHit,
                 bool keepConnection) {
  if (query.IsEmpty()) return;
  std::wstring path = IndexDatabasePath();
  try {
    std::unique_ptr<SqliteDatabase> db = OpenSearchConnection(path, keepConnection);
    if (!db) return;
    // A query that fails (a damaged index) drops its connection with it.
    SearchWith(*db, query, ranking, onHit);
    if (keepConnection) KeepConnection(std::move(path), std::move(db));
  } catch (const SqliteError& e) {
    // Whichever route the query came by, the next pass rebuilds the index.
    if (e.IsDamage()) MarkIndexDamaged();
    throw;
  }
}

namespace {

void SearchWith(SqliteDatabase& db, const ParsedQuery& query, Ranking ranking,
                const std::function<bool(SearchHit&&)>& onHit) {
  CompiledQuery compiled = CompileQuery(query);

  if (ranking == Ranking::Relevance && !compiled.words.empty()) {
    // Groups best first; inside a group, files in the full-text index's own
    // order (the most recently indexed first), so the first results stream at
    // once however many files match.
    // The groups of words in names are found in the table of names alone
    // when they can be.
    std::vector<std::string> tiers = compiled.RelevanceTiers();
    std::vector<std::string> nameTiers = compiled.NameTiers();
    for (std::size_t i = 0; i < tiers.size(); ++i) {
      const char* table = i < nameTiers.size() ? "files_names" : "files_text";
      SqlText sql;
      sql.Add(std::string("SELECT f.path, f.name FROM ") + table + " CROSS JOIN files f ON f.id = " + table +
              ".rowid WHERE " + table + " MATCH ")
          .Value(i < nameTiers.size() ? nameTiers[i] : tiers[i])
          .Add(" AND ")
          .Add(compiled.conditions)
          .Add(std::string(" ORDER BY ") + table + ".rowid DESC");
      if (!Deliver(db, sql, onHit)) return;
    }
    return;
  }

  // Newest first (and relevance without words to weigh). Candidates found by
  // the full-text index or an index of the files table are either few enough
  // to read and sort, or many: then the files are walked newest first.
  const std::int64_t files = FileCount(db);
  const std::int64_t sortedCandidates = SortedCandidates(files);
  SqlText sorted;  // reads the candidates, then "WHERE " and the conditions
  SqlText walked;  // walks all files by time
  IdSet matched;   // the full-text matches the walk tests, when there are some
  int matchedParameter = 0;
  bool few = false;
  if (compiled.HasFullText()) {
    // Words that may only be in names are found among the names alone.
    const std::string table = compiled.namesOnly ? "files_names" : "files_text";
    std::string match = compiled.Match();
    matched = MatchedIds(db, table, match);
    if (static_cast<std::int64_t>(matched.size()) < sortedCandidates) {
      SqlText read;
      read.Add("SELECT f.path, f.name FROM json_each(")
          .Value(JsonArray(matched))
          .Add(") AS hit CROSS JOIN files f ON f.id = hit.value WHERE ")
          .Add(compiled.conditions)
          .Add(kNewestFirst);
      Deliver(db, read, onHit);
      return;
    }
    sorted.Add("SELECT f.path, f.name FROM (SELECT rowid AS id FROM " + table + " WHERE " + table + " MATCH ")
        .Value(match)
        .Add(") AS hit CROSS JOIN files f ON f.id = hit.id WHERE ");
    walked.Add("SELECT f.path, f.name FROM files f INDEXED BY files_by_mtime WHERE qv_member(")
        .Value(std::int64_t{0})
        .Add(", f.id) AND ");
    matchedParameter = static_cast<int>(walked.values.size());
  } else {
    walked.Add("SELECT f.path, f.name FROM files f INDEXED BY files_by_mtime WHERE ");
    if (!compiled.drivingIndex.empty() && compiled.drivingIndex != "files_by_mtime") {
      SqlText count;
      count.Add("SELECT count(*) FROM (SELECT 1 FROM files f INDEXED BY " + compiled.drivingIndex + " WHERE ")
          .Add(compiled.drivingCondition)
          .Add(" LIMIT ")
          .Value(sortedCandidates)
          .Add(")");
      few = Count(db, count) < sortedCandidates;
      sorted.Add("SELECT f.path, f.name FROM files f INDEXED BY " + compiled.drivingIndex + " WHERE ");
    }
  }
  if (few) {
    Deliver(db, SqlText(sorted).Add(compiled.conditions).Add(kNewestFirst), onHit);
    return;
  }
  const IdSet* ids = matchedParameter ? &matched : nullptr;
  // Many candidates are mostly spread over time, and the first page of results
  // lies among the newest files. But when they are old (a folder filled years
  // ago), walking every newer file to reach them costs the whole index: so only
  // the newest files are walked first, and when they hold less than a page,
  // the rest are read from the candidates and sorted.
  SqliteStatement boundary = db.Prepare("SELECT mtime FROM files INDEXED BY files_by_mtime ORDER BY mtime DESC "
                                        "LIMIT 1 OFFSET ?1");
  boundary.Bind(1, WalkedFirst(files) - 1);
  // A range of times already bounds the walk (and one more bound would cost
  // SQLite the better of the two).
  if (compiled.boundsModified || !boundary.Step()) {
    Deliver(db, SqlText(walked).Add(compiled.conditions).Add(kNewestFirst), onHit, ids, matchedParameter);
    return;
  }
  const std::int64_t since = boundary.Integer(0);
  boundary.Reset();
  std::int64_t delivered = 0;
  auto counted = [&](SearchHit&& hit) {
    ++delivered;
    return onHit(std::move(hit));
  };
  SqlText newest(walked);
  newest.Add("f.mtime >= ").Value(since).Add(" AND ").Add(compiled.conditions).Add(kNewestFirst);
  if (!Deliver(db, newest, counted, ids, matchedParameter)) return;
  bool sortRest = delivered < kFirstPage && !sorted.sql.empty();
  SqlText older(sortRest ? sorted : walked);
  older.Add("f.mtime < ").Value(since).Add(" AND ").Add(compiled.conditions).Add(kNewestFirst);
  Deliver(db, older, onHit, sortRest ? nullptr : ids, matchedParameter);
}

}  // namespace
}  // namespace qv::service
