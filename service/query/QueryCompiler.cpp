#include "service/query/QueryCompiler.h"

#include <cwctype>
#include <limits>
#include <optional>

#include "common/Text.h"
#include "service/PathText.h"
#include "service/query/QueryText.h"

namespace qv::service {
namespace {

// Words of the unspaced scripts this long are also looked for inside runs of
// text, in the trigram table.
constexpr std::size_t kUnspacedWordLength = 3;

bool NeedsTrigrams(const QueryNode& node) {
  return node.kind == QueryNode::Kind::Text && node.field != TextField::Folder &&
         LongestUnspacedRun(node.text) >= kUnspacedWordLength;
}

// `names`: for the table of names alone, where name and text words alike are
// looked for in the name.
const char* ColumnFilter(TextField field, bool names) {
  if (names) return "name : ";
  switch (field) {
    case TextField::Name:
      return "name : ";
    case TextField::Folder:
      return "folder : ";
    default:
      return "{name content} : ";
  }
}

std::string TextMatch(const QueryNode& node, bool names = false) {
  std::string match = ColumnFilter(node.field, names) + QuoteForMatch(node.text);
  if (node.prefix) match += " *";
  return match;
}

// Parts joined by AND or OR. A part is put in parentheses only when it needs
// them (an OR list inside AND, an exclusion): each level of them costs the
// full-text engine's parser part of its fixed stack.
std::string Join(const std::vector<std::string>& parts, const std::vector<bool>& compound, const char* separator) {
  if (parts.size() == 1) return parts[0];
  std::string joined;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (!joined.empty()) joined += separator;
    joined += compound[i] ? "(" + parts[i] + ")" : parts[i];
  }
  return joined;
}

std::string Join(const std::vector<std::string>& parts, const char* separator) {
  return Join(parts, std::vector<bool>(parts.size(), true), separator);
}

// The node as one FTS5 expression, when it is made of words alone (and has
// something a file must hold: FTS5 cannot say "everything but").
std::optional<std::string> FullText(const QueryNode& node, bool names = false) {
  switch (node.kind) {
    case QueryNode::Kind::Text:
      if (NeedsTrigrams(node)) return std::nullopt;
      return TextMatch(node, names);
    case QueryNode::Kind::All: {
      std::vector<std::string> held, excluded;
      std::vector<bool> heldCompound, excludedCompound;
      for (const QueryNode& child : node.children) {
        bool negated = child.kind == QueryNode::Kind::Not;
        const QueryNode& term = negated ? child.children[0] : child;
        std::optional<std::string> part = FullText(term, names);
        if (!part) return std::nullopt;
        (negated ? excluded : held).push_back(*part);
        // AND binds tighter than OR; an exclusion's own NOT needs its group.
        (negated ? excludedCompound : heldCompound).push_back(term.kind != QueryNode::Kind::Text);
      }
      if (held.empty()) return std::nullopt;
      std::string expression = Join(held, heldCompound, " AND ");
      if (!excluded.empty()) expression = "(" + expression + ") NOT (" + Join(excluded, excludedCompound, " OR ") + ")";
      return expression;
    }
    case QueryNode::Kind::Any: {
      std::vector<std::string> parts;
      std::vector<bool> compound;
      for (const QueryNode& child : node.children) {
        std::optional<std::string> part = child.kind == QueryNode::Kind::Not ? std::nullopt : FullText(child, names);
        if (!part) return std::nullopt;
        parts.push_back(*part);
        compound.push_back(child.kind == QueryNode::Kind::All && !child.children.empty() &&
                           child.children.back().kind == QueryNode::Kind::Not);
      }
      return Join(parts, compound, " OR ");
    }
    default:
      return std::nullopt;
  }
}

bool OnlyNameWords(const QueryNode& node) {
  if (node.kind == QueryNode::Kind::Text) return node.field == TextField::Name;
  for (const QueryNode& child : node.children) {
    if (!OnlyNameWords(child)) return false;
  }
  return true;
}

bool OnlyNameOrContentWords(const QueryNode& node) {
  if (node.kind == QueryNode::Kind::Text) return node.field == TextField::NameOrContent;
  for (const QueryNode& child : node.children) {
    if (!OnlyNameOrContentWords(child)) return false;
  }
  return true;
}

bool IsAsciiAlphanumeric(wchar_t c) { return c < 0x80 && std::iswalnum(c); }

// The words a file name matching the wildcard pattern must hold, as far as
// they can be told from its literal runs: a run of letters and digits that
// starts the pattern or follows a separator is a whole word, or the start of
// one when a wildcard (or a character the tokenizer may join to it) follows.
// Runs after a wildcard tell nothing. Only ASCII runs are used; the tokenizer
// is the judge of where other scripts' words end.
std::string NamePatternWords(const std::wstring& pattern) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < pattern.size()) {
    if (!IsAsciiAlphanumeric(pattern[i])) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < pattern.size() && IsAsciiAlphanumeric(pattern[end])) ++end;
    bool startsWord = i == 0 || (pattern[i - 1] < 0x80 && pattern[i - 1] != L'*' && pattern[i - 1] != L'?');
    if (startsWord) {
      bool endsWord = end == pattern.size() || (pattern[end] < 0x80 && pattern[end] != L'*' && pattern[end] != L'?');
      words.push_back("name : " + QuoteForMatch(pattern.substr(i, end - i)) + (endsWord ? "" : " *"));
    }
    i = end;
  }
  return words.empty() ? std::string() : Join(words, " AND ");
}

// A file's extension is the last word of its name: the name words one of the
// extensions must be (a superset of the files, which narrows what the full-text
// index hands over; the condition on the extension still decides).
std::string ExtensionWords(const std::vector<std::wstring>& extensions) {
  std::vector<std::string> words;
  for (const std::wstring& extension : extensions) {
    if (!HasWordCharacter(extension)) return {};
    words.push_back(QuoteForMatch(extension));
  }
  if (words.empty()) return {};
  std::string joined;
  for (const std::string& word : words) joined += (joined.empty() ? "" : " OR ") + word;
  return "name : (" + joined + ")";
}

std::string FolderWords(const std::wstring& folder) {
  return HasWordCharacter(folder) ? "folder : " + QuoteForMatch(folder) : std::string();
}

void Condition(const QueryNode& node, SqlText& sql);

void FullTextCondition(const std::string& match, const char* table, SqlText& sql) {
  sql.Add(std::string("f.id IN (SELECT rowid FROM ") + table + " WHERE " + table + " MATCH ").Value(match).Add(")");
}

void Range(const char* column, const QueryNode& node, bool highInclusive, SqlText& sql) {
  bool lowOpen = node.low == std::numeric_limits<std::int64_t>::min();
  bool highOpen = node.high == std::numeric_limits<std::int64_t>::max();
  if (lowOpen && highOpen) {
    sql.Add("1");
    return;
  }
  sql.Add("(");
  if (!lowOpen) sql.Add(std::string(column) + " >= ").Value(node.low);
  if (!lowOpen && !highOpen) sql.Add(" AND ");
  if (!highOpen) sql.Add(std::string(column) + (highInclusive ? " <= " : " < ")).Value(node.high);
  sql.Add(")");
}

// Parts [first, last) joined by the separator, halved into parenthesised
// groups: SQLite's expression tree grows with the logarithm of the parts, not
// with their number. `wrap`: the whole in parentheses too.
SqlText JoinBalanced(const std::vector<SqlText>& parts, std::size_t first, std::size_t last, const char* separator,
                     bool wrap) {
  if (last - first == 1) return parts[first];
  std::size_t middle = first + (last - first) / 2;
  SqlText joined;
  if (wrap) joined.Add("(");
  joined.Add(JoinBalanced(parts, first, middle, separator, true)).Add(separator);
  joined.Add(JoinBalanced(parts, middle, last, separator, true));
  if (wrap) joined.Add(")");
  return joined;
}

void Group(const QueryNode& node, const char* separator, SqlText& sql) {
  std::vector<SqlText> parts(node.children.size());
  for (std::size_t i = 0; i < parts.size(); ++i) Condition(node.children[i], parts[i]);
  sql.Add("(").Add(JoinBalanced(parts, 0, parts.size(), separator, false)).Add(")");
}

// The node as an SQL condition over "files f".
void Condition(const QueryNode& node, SqlText& sql) {
  if (std::optional<std::string> match = FullText(node)) {
    FullTextCondition(*match, "files_text", sql);
    return;
  }
  switch (node.kind) {
    case QueryNode::Kind::Text:
      // Words of unspaced scripts: a whole word, or found inside a run of text.
      sql.Add("(");
      FullTextCondition(TextMatch(node), "files_text", sql);
      sql.Add(" OR ");
      FullTextCondition(std::string(node.field == TextField::Name ? "name : " : "") + QuoteForMatch(node.text),
                        "files_unspaced", sql);
      sql.Add(")");
      return;
    case QueryNode::Kind::All:
      if (node.children.empty()) sql.Add("1");
      else Group(node, " AND ", sql);
      return;
    case QueryNode::Kind::Any:
      Group(node, " OR ", sql);
      return;
    case QueryNode::Kind::Not:
      // What no result may match is never where SQLite starts: the matches
      // are read once into a set each file is looked up in.
      if (std::optional<std::string> match = FullText(node.children[0])) {
        sql.Add(std::string("NOT qv_matches('") + (OnlyNameWords(node.children[0]) ? "files_names" : "files_text") +
                "', ")
            .Value(*match)
            .Add(", f.id)");
        return;
      }
      sql.Add("NOT ");
      Condition(node.children[0], sql);
      return;
    case QueryNode::Kind::Extension:
      sql.Add("f.ext IN (");
      for (std::size_t i = 0; i < node.extensions.size(); ++i) {
        if (i) sql.Add(", ");
        sql.Value(ToUtf8(node.extensions[i]));
      }
      sql.Add(")");
      return;
    case QueryNode::Kind::Size:
      Range("f.size", node, true, sql);
      return;
    case QueryNode::Kind::Modified:
      Range("f.mtime", node, false, sql);
      return;
    case QueryNode::Kind::Created:
      Range("f.ctime", node, false, sql);
      return;
    case QueryNode::Kind::NamePattern:
      sql.Add("qv_name_like(f.name, ").Value(ToUtf8(node.text)).Add(")");
      return;
    case QueryNode::Kind::Under:
      sql.Add("qv_under(f.path, ").Value(ToUtf8(node.text)).Add(")");
      return;
  }
}

// The plain words of an expression that is nothing else, two or more of them.
std::wstring PlainWords(const std::vector<const QueryNode*>& clauses) {
  if (clauses.size() < 2) return {};
  std::wstring words;
  for (const QueryNode* clause : clauses) {
    if (clause->kind != QueryNode::Kind::Text || clause->phrase || clause->field != TextField::NameOrContent) return {};
    if (clause->prefix && clause != clauses.back()) return {};
    if (!words.empty()) words += L' ';
    words += clause->text;
  }
  return words;
}

// Each tier's full-text match, less what an earlier tier (or an exclusion) took,
// so a file is found once, in its best tier.
std::vector<std::string> ExclusiveTiers(const std::vector<std::string>& ranked, std::vector<std::string> earlier,
                                        const std::string& filters) {
  std::vector<std::string> tiers;
  for (const std::string& tier : ranked) {
    std::string match = "(" + tier + ")";
    if (!filters.empty()) match += " AND (" + filters + ")";
    if (!earlier.empty()) match = "(" + match + ") NOT (" + Join(earlier, " OR ") + ")";
    tiers.push_back(match);
    earlier.push_back(tier);
  }
  return tiers;
}

}  // namespace

CompiledQuery CompileQuery(const ParsedQuery& query) {
  CompiledQuery compiled;
  std::vector<std::string> words, filters, exclusions, extensionWords, namesWords;
  bool filtersOnNames = true;
  std::vector<const QueryNode*> wordClauses;
  std::vector<const QueryNode*> excludedClauses;
  std::vector<SqlText> conditions;
  auto condition = [&](const QueryNode& node) { Condition(node, conditions.emplace_back()); };
  for (const QueryNode& clause : query.root.children) {
    if (clause.kind == QueryNode::Kind::Not) {
      excludedClauses.push_back(&clause);
      continue;
    }
    if (std::optional<std::string> match = FullText(clause)) {
      if (OnlyNameOrContentWords(clause)) {
        words.push_back(*match);
        namesWords.push_back(*FullText(clause, /*names=*/true));
        wordClauses.push_back(&clause);
      } else {
        filters.push_back(*match);
        filtersOnNames = filtersOnNames && OnlyNameWords(clause);
      }
      continue;
    }
    condition(clause);
    if (clause.kind == QueryNode::Kind::Modified) compiled.boundsModified = true;
    // The words a name pattern or folder implies find its candidates at once.
    std::string implied = clause.kind == QueryNode::Kind::NamePattern ? NamePatternWords(clause.text)
                          : clause.kind == QueryNode::Kind::Under     ? FolderWords(clause.text)
                                                                      : std::string();
    if (!implied.empty()) {
      filters.push_back(implied);
      filtersOnNames = filtersOnNames && clause.kind == QueryNode::Kind::NamePattern;
    }
    // Only beside other words: an extension alone is found faster by time.
    if (clause.kind == QueryNode::Kind::Extension) {
      std::string extension = ExtensionWords(clause.extensions);
      if (!extension.empty()) extensionWords.push_back(extension);
    }
    if (compiled.drivingIndex.empty()) {
      const char* index = clause.kind == QueryNode::Kind::Extension ? "files_by_ext"
                          : clause.kind == QueryNode::Kind::Size    ? "files_by_size"
                          : clause.kind == QueryNode::Kind::Created ? "files_by_ctime"
                          : clause.kind == QueryNode::Kind::Modified ? "files_by_mtime"
                                                                     : nullptr;
      if (index) {
        compiled.drivingIndex = index;
        Condition(clause, compiled.drivingCondition);
      }
    }
  }
  bool fullText = !words.empty() || !filters.empty();
  if (fullText) filters.insert(filters.end(), extensionWords.begin(), extensionWords.end());
  bool exclusionsOnNames = true;
  for (const QueryNode* clause : excludedClauses) {
    std::optional<std::string> match = FullText(clause->children[0]);
    if (match && fullText) {
      exclusions.push_back(*match);
      exclusionsOnNames = exclusionsOnNames && OnlyNameWords(clause->children[0]);
    } else {
      condition(*clause);
    }
  }
  compiled.words = words.empty() ? std::string() : Join(words, " AND ");
  std::wstring plain = PlainWords(wordClauses);
  if (!plain.empty()) compiled.wordsAsPhrase = QuoteForMatch(plain) + (wordClauses.back()->prefix ? " *" : "");
  compiled.filters = filters.empty() ? std::string() : Join(filters, " AND ");
  compiled.exclusions = exclusions.empty() ? std::string() : Join(exclusions, " OR ");
  if (!words.empty() && exclusions.empty() && filtersOnNames) compiled.namesWords = Join(namesWords, " AND ");
  compiled.namesOnly = words.empty() && !filters.empty() && filtersOnNames && exclusionsOnNames;
  compiled.conditions =
      conditions.empty() ? SqlText{"1", {}} : JoinBalanced(conditions, 0, conditions.size(), " AND ", false);
  return compiled;
}

std::string CompiledQuery::Match() const {
  std::vector<std::string> held;
  if (!words.empty()) held.push_back(words);
  if (!filters.empty()) held.push_back(filters);
  if (held.empty()) return {};
  std::string match = Join(held, " AND ");
  if (!exclusions.empty()) match = "(" + match + ") NOT (" + exclusions + ")";
  return match;
}

std::vector<std::string> CompiledQuery::RelevanceTiers() const {
  if (words.empty()) return {Match()};
  std::vector<std::string> ranked;
  if (!wordsAsPhrase.empty()) ranked.push_back("name : " + wordsAsPhrase);
  ranked.push_back("name : (" + words + ")");
  if (!wordsAsPhrase.empty()) ranked.push_back("{name content} : " + wordsAsPhrase);
  ranked.push_back(words);
  return ExclusiveTiers(ranked, exclusions.empty() ? std::vector<std::string>{} : std::vector<std::string>{exclusions},
                        filters);
}

std::vector<std::string> CompiledQuery::NameTiers() const {
  if (namesWords.empty()) return {};
  std::vector<std::string> ranked;
  if (!wordsAsPhrase.empty()) ranked.push_back(wordsAsPhrase);
  ranked.push_back(namesWords);
  return ExclusiveTiers(ranked, {}, filters);
}

namespace {

// Names are mostly ASCII: those are folded here, the rest as the file system does.
std::wstring FoldName(const std::wstring& name) {
  for (wchar_t c : name) {
    if (c >= 0x80) return FoldPathCase(name);
  }
  std::wstring folded = name;
  for (wchar_t& c : folded) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return folded;
}

}  // namespace

bool MatchesNamePattern(const std::wstring& name, const std::wstring& pattern) {
  return MatchesWildcards(FoldName(name), FoldName(pattern));
}

bool MatchesWildcards(const std::wstring& text, const std::wstring& wild) {
  // The classic matcher: on a mismatch, go back to the last "*" and let it
  // take one more character.
  std::size_t t = 0, p = 0, starP = std::wstring::npos, starT = 0;
  while (t < text.size()) {
    if (p < wild.size() && (wild[p] == L'?' || wild[p] == text[t])) {
      ++t, ++p;
    } else if (p < wild.size() && wild[p] == L'*') {
      starP = p++;
      starT = t;
    } else if (starP != std::wstring::npos) {
      p = starP + 1;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < wild.size() && wild[p] == L'*') ++p;
  return p == wild.size();
}

}  // namespace qv::service
