#include "service/IndexSearch.h"

#include "common/Text.h"
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

namespace {

// The first page is small so the first results arrive at once; the rest follow
// in one more statement while the reader takes the first ones.
constexpr int kFirstPage = 100;

std::string FileTypeFilter(QueryBuilder& builder, const ParsedQuery& query, const char* column) {
  std::string filter;
  if (!query.fileTypes.empty()) filter += std::string(" AND ") + column + " IN (" + builder.List(query.fileTypes) + ")";
  if (!query.excludedFileTypes.empty()) {
    filter += std::string(" AND ") + column + " NOT IN (" + builder.List(query.excludedFileTypes) + ")";
  }
  return filter;
}

// One page of hits in a stable order (ties broken by file id), so the pages
// neither repeat nor skip a hit.
std::string PageQuery(QueryBuilder& builder, const ParsedQuery& query, Ranking ranking) {
  if (!query.match.empty()) {
    std::string match = query.match;
    if (!query.exclude.empty()) match = "(" + match + ") NOT (" + query.exclude + ")";
    std::string parameter = builder.Parameter(match);
    if (ranking == Ranking::Relevance) {
      // Names weigh more than contents. Without file types, the matches are
      // ranked alone and only the page's files looked up; with them, every match
      // is looked up (handing the types to the full-text table would make it
      // test the words file by file).
      std::string ranked = "SELECT rowid AS id, bm25(files_text, 4.0, 1.0) AS score FROM files_text "
                           "WHERE files_text MATCH " + parameter;
      if (query.fileTypes.empty() && query.excludedFileTypes.empty()) {
        return "SELECT f.path, f.name FROM (" + ranked +
               " ORDER BY score, id LIMIT :limit OFFSET :offset) AS hit CROSS JOIN files f ON f.id = hit.id "
               "ORDER BY hit.score, hit.id";
      }
      return "SELECT f.path, f.name FROM (" + ranked + ") AS hit CROSS JOIN files f ON f.id = hit.id WHERE 1" +
             FileTypeFilter(builder, query, "f.ext") + " ORDER BY hit.score, hit.id LIMIT :limit OFFSET :offset";
    }
    return "SELECT f.path, f.name FROM files f WHERE f.id IN (SELECT rowid FROM files_text WHERE files_text MATCH " +
           parameter + ")" + FileTypeFilter(builder, query, "f.ext") +
           " ORDER BY f.mtime DESC, f.id LIMIT :limit OFFSET :offset";
  }
  // Without words there is nothing to weigh: newest first either way.
  std::string sql = "SELECT f.path, f.name FROM files f WHERE 1";
  if (!query.exclude.empty()) {
    sql += " AND f.id NOT IN (SELECT rowid FROM files_text WHERE files_text MATCH " + builder.Parameter(query.exclude) + ")";
  }
  return sql + FileTypeFilter(builder, query, "f.ext") + " ORDER BY f.mtime DESC, f.id LIMIT :limit OFFSET :offset";
}

}  // namespace

void SearchIndex(const ParsedQuery& query, Ranking ranking, const std::function<bool(SearchHit&&)>& onHit) {
  if (query.IsEmpty()) return;
  std::unique_ptr<SqliteDatabase> db = OpenIndexForSearch();
  if (!db) return;

  QueryBuilder builder;
  std::string sql = PageQuery(builder, query, ranking);
  SqliteStatement statement = db->Prepare(sql.c_str());
  struct Page {
    std::int64_t limit;
    std::int64_t offset;
  };
  for (Page page : {Page{kFirstPage, 0}, Page{-1, kFirstPage}}) {
    builder.BindTo(statement);
    statement.Bind(statement.ParameterIndex(":limit"), page.limit).Bind(statement.ParameterIndex(":offset"), page.offset);
    int rows = 0;
    while (statement.Step()) {
      ++rows;
      if (!onHit(SearchHit{statement.Text(0), statement.Text(1)})) return;
    }
    statement.Reset();
    if (rows < kFirstPage) return;
  }
}

}  // namespace qv::service
