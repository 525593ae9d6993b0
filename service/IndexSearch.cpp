#include "service/IndexSearch.h"

#include "module/Text.h"
#include "service/IndexDatabase.h"
#include "service/SqliteDatabase.h"

namespace qv::service {
namespace {

// Binds values to numbered parameters in the order the SQL text asks for them.
class QueryBuilder {
 public:
  std::string Parameter(std::string value) {
    values_.push_back(std::move(value));
    std::string name(1, '?');
    name += std::to_string(values_.size());
    return name;
  }
  std::string List(const std::vector<std::wstring>& items) {
    std::string list;
    for (const std::wstring& item : items) list += (list.empty() ? "" : ", ") + Parameter(ToUtf8(item));
    return list;
  }
  void BindTo(SqliteStatement& statement) const {
    for (std::size_t i = 0; i < values_.size(); ++i) statement.Bind(static_cast<int>(i + 1), values_[i]);
  }

 private:
  std::vector<std::string> values_;
};

}  // namespace

void SearchIndex(const ParsedQuery& query, Ranking ranking, const std::function<bool(SearchHit&&)>& onHit) {
  if (query.IsEmpty()) return;
  std::unique_ptr<SqliteDatabase> db = OpenIndexForSearch();
  if (!db) return;

  QueryBuilder builder;
  std::string sql;
  std::string order;
  if (!query.match.empty()) {
    std::string match = query.match;
    if (!query.exclude.empty()) match = "(" + match + ") NOT (" + query.exclude + ")";
    sql = "SELECT f.path, f.name FROM files_text CROSS JOIN files f ON f.id = files_text.rowid WHERE files_text MATCH " +
          builder.Parameter(match);
    // Names weigh more than contents.
    order = ranking == Ranking::Relevance ? " ORDER BY bm25(files_text, 4.0, 1.0), f.mtime DESC"
                                          : " ORDER BY f.mtime DESC";
  } else {
    sql = "SELECT f.path, f.name FROM files f WHERE 1";
    if (!query.exclude.empty()) {
      sql += " AND f.id NOT IN (SELECT rowid FROM files_text WHERE files_text MATCH " +
             builder.Parameter(query.exclude) + ")";
    }
    // Without words there is nothing to weigh: newest first either way.
    order = " ORDER BY f.mtime DESC";
  }
  if (!query.fileTypes.empty()) sql += " AND f.ext IN (" + builder.List(query.fileTypes) + ")";
  if (!query.excludedFileTypes.empty()) sql += " AND f.ext NOT IN (" + builder.List(query.excludedFileTypes) + ")";
  sql += order;

  SqliteStatement statement = db->Prepare(sql.c_str());
  builder.BindTo(statement);
  while (statement.Step()) {
    if (!onHit(SearchHit{statement.Text(0), statement.Text(1)})) break;
  }
}

}  // namespace qv::service
