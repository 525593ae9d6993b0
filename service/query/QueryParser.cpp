// Reads a search string into the tree of QueryNode (see service/QueryParser.h).

#include "service/QueryParser.h"

#include <windows.h>

#include <cwctype>

#include "service/PathText.h"
#include "service/query/KindTable.h"
#include "service/query/QueryText.h"
#include "service/query/ValueRanges.h"

namespace qv::service {
namespace {

struct Token {
  enum class Kind { Word, Phrase, Open, Close, Or, Minus, End };
  Kind kind;
  std::wstring text;         // Word: as written; Phrase: between the quotes
  std::wstring operatorName; // Word with a quoted value: "name" of name:"..."
};

bool HasUnbalancedParentheses(const std::wstring& text) {
  int depth = 0;
  bool quoted = false;
  for (wchar_t c : text) {
    if (c == L'"') quoted = !quoted;
    if (quoted) continue;
    if (c == L'(') ++depth;
    if (c == L')' && --depth < 0) return true;
  }
  return depth != 0;
}

// Groups nest at most this deep; parentheses deeper in are read as spaces.
// Every nesting costs the full-text engine's parser part of its fixed stack.
constexpr int kMaxGroupDepth = 8;
// A query holds at most this many terms; the rest is left out. More terms than
// this make a statement past SQLite's limits on parameters and expressions.
constexpr std::size_t kMaxTokens = 1000;

class Lexer {
 public:
  Lexer(const std::wstring& text, std::vector<std::wstring>* literal) : text_(text), literal_(literal) {
    parentheses_ = !HasUnbalancedParentheses(text);
    if (!parentheses_) literal_->push_back(L"( ) (unbalanced parentheses)");
  }

  std::vector<Token> Tokens() {
    std::vector<Token> tokens;
    int depth = 0;
    int flattened = 0;  // parentheses read as spaces, still open
    while (true) {
      Token token = Next();
      if (token.kind == Token::Kind::Open) {
        if (depth >= kMaxGroupDepth) {
          if (flattened++ == 0 && !tooDeep_) {
            tooDeep_ = true;
            literal_->push_back(L"( ) (nested too deep)");
          }
          continue;
        }
        ++depth;
      } else if (token.kind == Token::Kind::Close) {
        if (flattened > 0) {
          --flattened;
          continue;
        }
        // A ")" with nothing open (the parser passes over it) closes nothing.
        if (depth > 0) --depth;
      }
      // A run of minus signs is one sign or none.
      if (token.kind == Token::Kind::Minus && !tokens.empty() && tokens.back().kind == Token::Kind::Minus) {
        tokens.pop_back();
        continue;
      }
      if (tokens.size() + 1 >= kMaxTokens && token.kind != Token::Kind::End && token.kind != Token::Kind::Close) {
        literal_->push_back(L"... (too long: the rest was left out)");
        // Close what is open, so the groups read so far stay groups.
        for (; depth > 0; --depth) tokens.push_back({Token::Kind::Close, L")", {}});
        tokens.push_back({Token::Kind::End, {}, {}});
        return tokens;
      }
      tokens.push_back(token);
      if (token.kind == Token::Kind::End) return tokens;
    }
  }

 private:
  bool Separates(wchar_t c) const { return std::iswspace(c) || c == L'|' || (parentheses_ && (c == L'(' || c == L')')); }

  Token Next() {
    while (i_ < text_.size() && std::iswspace(text_[i_])) ++i_;
    if (i_ >= text_.size()) return {Token::Kind::End, {}, {}};
    wchar_t c = text_[i_];
    if (parentheses_ && c == L'(') return ++i_, Token{Token::Kind::Open, L"(", {}};
    if (parentheses_ && c == L')') return ++i_, Token{Token::Kind::Close, L")", {}};
    if (c == L'|') return ++i_, Token{Token::Kind::Or, L"|", {}};
    if (c == L'-' && i_ + 1 < text_.size() && !std::iswspace(text_[i_ + 1]) && text_[i_ + 1] != L'|' &&
        text_[i_ + 1] != L')') {
      return ++i_, Token{Token::Kind::Minus, L"-", {}};
    }
    if (c == L'"') {
      std::size_t close = text_.find(L'"', i_ + 1);
      if (close != std::wstring::npos) {
        Token token{Token::Kind::Phrase, text_.substr(i_ + 1, close - i_ - 1), {}};
        i_ = close + 1;
        return token;
      }
      // An unbalanced quote is only a character: read on as words.
      literal_->push_back(L"\" (unbalanced quote)");
      ++i_;
      return Next();
    }
    // op:"a quoted value"
    std::size_t colon = i_;
    while (colon < text_.size() && std::iswalpha(text_[colon])) ++colon;
    if (colon > i_ && colon + 1 < text_.size() && text_[colon] == L':' && text_[colon + 1] == L'"') {
      std::size_t close = text_.find(L'"', colon + 2);
      if (close != std::wstring::npos) {
        Token token{Token::Kind::Word, text_.substr(colon + 2, close - colon - 2), text_.substr(i_, colon - i_)};
        i_ = close + 1;
        return token;
      }
    }
    std::size_t end = i_;
    while (end < text_.size() && !Separates(text_[end])) ++end;
    Token token{Token::Kind::Word, text_.substr(i_, end - i_), {}};
    i_ = end;
    if (token.text == L"OR") token.kind = Token::Kind::Or;
    return token;
  }

  const std::wstring& text_;
  std::vector<std::wstring>* literal_;
  bool parentheses_ = true;
  bool tooDeep_ = false;
  std::size_t i_ = 0;
};

bool IsOperator(const std::wstring& name, const wchar_t* op) {
  return CompareStringOrdinal(name.c_str(), static_cast<int>(name.size()), op, -1, TRUE) == CSTR_EQUAL;
}

bool IsFullPath(const std::wstring& path) {
  return (path.size() >= 3 && std::iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\') ||
         (path.size() >= 3 && path[0] == L'\\' && path[1] == L'\\');
}

class Parser {
 public:
  Parser(std::vector<Token> tokens, const SYSTEMTIME& now, std::vector<std::wstring>* literal)
      : tokens_(std::move(tokens)), now_(now), literal_(literal) {}

  QueryNode Parse() {
    QueryNode root;
    root.kind = QueryNode::Kind::All;
    while (Peek() != Token::Kind::End) {
      // A ")" only comes alone when parentheses are balanced but out of order
      // around an OR; the parser never leaves one behind otherwise.
      if (Peek() == Token::Kind::Close) {
        ++position_;
        continue;
      }
      Add(root, ParseOr());
    }
    return root;
  }

 private:
  Token::Kind Peek() const { return tokens_[position_].kind; }

  static void Add(QueryNode& group, QueryNode&& node) {
    if (node.kind == QueryNode::Kind::All && node.children.empty()) return;
    if (node.kind == group.kind && node.kind != QueryNode::Kind::Not && node.kind != QueryNode::Kind::Text) {
      for (QueryNode& child : node.children) group.children.push_back(std::move(child));
      return;
    }
    group.children.push_back(std::move(node));
  }

  static QueryNode Simplify(QueryNode&& group) {
    if (group.children.size() == 1) return std::move(group.children[0]);
    return std::move(group);
  }

  QueryNode ParseOr() {
    QueryNode any;
    any.kind = QueryNode::Kind::Any;
    // An OR with nothing on one side is the word itself, held beside the
    // alternatives (never around them: a run of such words nests nothing).
    QueryNode words;
    words.kind = QueryNode::Kind::All;
    Add(any, ParseAnd());
    while (Peek() == Token::Kind::Or) {
      const Token& op = tokens_[position_++];
      Token::Kind next = Peek();
      bool joins = !any.children.empty() && next != Token::Kind::End && next != Token::Kind::Close &&
                   next != Token::Kind::Or;
      if (!joins) {
        literal_->push_back(op.text + L" (nothing to join)");
        Add(words, Word(op.text, true));
        continue;
      }
      Add(any, ParseAnd());
    }
    QueryNode all;
    all.kind = QueryNode::Kind::All;
    if (!any.children.empty()) Add(all, Simplify(std::move(any)));
    for (QueryNode& word : words.children) Add(all, std::move(word));
    if (all.children.empty()) return QueryNode{};
    return Simplify(std::move(all));
  }

  QueryNode ParseAnd() {
    QueryNode all;
    all.kind = QueryNode::Kind::All;
    while (Peek() != Token::Kind::End && Peek() != Token::Kind::Close && Peek() != Token::Kind::Or) {
      Add(all, ParseUnary());
    }
    if (all.children.empty()) return QueryNode{};
    return Simplify(std::move(all));
  }

  // Exclusions: "--a" is "a"; a run of minus signs is read without recursion.
  QueryNode ParseUnary() {
    bool negated = false;
    while (Peek() == Token::Kind::Minus) {
      ++position_;
      negated = !negated;
    }
    if (Peek() == Token::Kind::End || Peek() == Token::Kind::Close || Peek() == Token::Kind::Or) return QueryNode{};
    QueryNode inner = ParsePrimary();
    if (!negated || (inner.kind == QueryNode::Kind::All && inner.children.empty())) return inner;
    if (inner.kind == QueryNode::Kind::Not) return std::move(inner.children[0]);
    QueryNode negation;
    negation.kind = QueryNode::Kind::Not;
    negation.children.push_back(std::move(inner));
    return negation;
  }

  QueryNode ParsePrimary() {
    const Token& token = tokens_[position_++];
    switch (token.kind) {
      case Token::Kind::Open: {
        QueryNode group = ParseOr();
        if (Peek() == Token::Kind::Close) ++position_;
        return group;
      }
      case Token::Kind::Phrase: {
        QueryNode node = Text(token.text, TextField::NameOrContent);
        node.phrase = true;
        return node;
      }
      case Token::Kind::Word:
        return token.operatorName.empty() ? Word(token.text, false) : Operator(token.operatorName, token.text, true);
      default:
        return QueryNode{};
    }
  }

  static QueryNode Text(const std::wstring& text, TextField field) {
    if (!HasWordCharacter(text)) return QueryNode{};
    QueryNode node;
    node.kind = QueryNode::Kind::Text;
    node.text = text;
    node.field = field;
    return node;
  }

  // A plain word: an operator with its value, a prefix (repo*), or the word.
  QueryNode Word(const std::wstring& word, bool literal) {
    if (!literal) {
      std::size_t colon = word.find(L':');
      if (colon != std::wstring::npos && colon > 0) {
        std::wstring name = word.substr(0, colon);
        if (IsKnownOperator(name)) return Operator(name, word.substr(colon + 1), false);
      }
    }
    std::wstring text = word;
    bool prefix = false;
    while (!text.empty() && text.back() == L'*') {
      text.pop_back();
      prefix = true;
    }
    QueryNode node = Text(text, TextField::NameOrContent);
    node.prefix = prefix && node.kind == QueryNode::Kind::Text;
    node.bareWord = !prefix && !literal;
    return node;
  }

  static bool IsKnownOperator(const std::wstring& name) {
    for (const wchar_t* op : {L"name", L"path", L"folder", L"modified", L"created", L"size", L"ext", L"filetype",
                              L"kind"}) {
      if (IsOperator(name, op)) return true;
    }
    return false;
  }

  // An operator and its value; what it cannot read becomes the words written.
  QueryNode Operator(const std::wstring& name, const std::wstring& value, bool quoted) {
    std::wstring written = name + L":" + (quoted ? L"\"" + value + L"\"" : value);
    auto literally = [&](const wchar_t* reason) {
      literal_->push_back(written + L" (" + reason + L")");
      QueryNode node = Text(quoted ? name + L" " + value : written, TextField::NameOrContent);
      return node;
    };
    if (value.empty()) return literally(L"no value");
    QueryNode node;
    if (IsOperator(name, L"name")) {
      bool wildcards = value.find_first_of(L"*?") != std::wstring::npos;
      bool trailingStarOnly = value.find(L'?') == std::wstring::npos && value.find(L'*') == value.size() - 1;
      if (quoted || !wildcards || trailingStarOnly) {
        node = Text(trailingStarOnly && !quoted ? value.substr(0, value.size() - 1) : value, TextField::Name);
        if (node.kind != QueryNode::Kind::Text) return literally(L"no letters or digits");
        node.phrase = quoted;
        node.prefix = trailingStarOnly && !quoted;
        return node;
      }
      node.kind = QueryNode::Kind::NamePattern;
      node.text = value;
      return node;
    }
    if (IsOperator(name, L"path") || IsOperator(name, L"folder")) {
      if (IsFullPath(value)) {
        node.kind = QueryNode::Kind::Under;
        node.text = value;
        while (node.text.size() > 3 && node.text.back() == L'\\') node.text.pop_back();
        return node;
      }
      node = Text(value, TextField::Folder);
      if (node.kind != QueryNode::Kind::Text) return literally(L"no letters or digits");
      node.prefix = true;
      return node;
    }
    if (IsOperator(name, L"size")) {
      ValueRange range;
      if (!ParseSizeRange(value, &range)) return literally(L"not a size");
      node.kind = QueryNode::Kind::Size;
      node.low = range.low;
      node.high = range.high;
      return node;
    }
    bool modified = IsOperator(name, L"modified");
    if (modified || IsOperator(name, L"created")) {
      ValueRange range;
      if (!ParseDateRange(value, now_, &range)) return literally(L"not a date");
      node.kind = modified ? QueryNode::Kind::Modified : QueryNode::Kind::Created;
      node.low = range.low;
      node.high = range.high;
      return node;
    }
    if (IsOperator(name, L"kind")) {
      node.kind = QueryNode::Kind::Extension;
      if (!KindExtensions(value, &node.extensions)) return literally(L"unknown kind");
      return node;
    }
    // ext: and filetype:
    std::wstring extension = value;
    while (!extension.empty() && extension.front() == L'.') extension.erase(0, 1);
    if (extension.empty() || extension.find_first_of(L"\\/:*?<>|\"") != std::wstring::npos) {
      return literally(L"not an extension");
    }
    node.kind = QueryNode::Kind::Extension;
    node.extensions.push_back(FoldPathCase(extension));
    return node;
  }

  std::vector<Token> tokens_;
  std::size_t position_ = 0;
  SYSTEMTIME now_;
  std::vector<std::wstring>* literal_;
};

// The last plain word the results must hold also matches as a prefix, so a
// search finds files while its last word is still being typed.
QueryNode* LastPositiveWord(QueryNode& node) {
  if (node.kind == QueryNode::Kind::Text) return node.bareWord ? &node : nullptr;
  for (auto child = node.children.rbegin(); child != node.children.rend(); ++child) {
    switch (child->kind) {
      case QueryNode::Kind::All:
      case QueryNode::Kind::Any:
      case QueryNode::Kind::Text:
        return LastPositiveWord(*child);
      default:
        // Exclusions and file filters after the last word leave it the last.
        break;
    }
  }
  return nullptr;
}

}  // namespace

std::wstring ParsedQuery::Warning() const {
  if (literal.empty()) return {};
  std::wstring warning = L"Read literally: ";
  for (std::size_t i = 0; i < literal.size(); ++i) warning += (i ? L", " : L"") + literal[i];
  return warning;
}

ParsedQuery ParseQuery(const std::wstring& text) {
  ParsedQuery query;
  SYSTEMTIME now;
  GetLocalTime(&now);
  Lexer lexer(text, &query.literal);
  Parser parser(lexer.Tokens(), now, &query.literal);
  query.root = parser.Parse();
  // File types side by side allow any of them (filetype:doc filetype:docx).
  auto& clauses = query.root.children;
  QueryNode* types = nullptr;
  for (auto clause = clauses.begin(); clause != clauses.end();) {
    if (clause->kind != QueryNode::Kind::Extension) {
      ++clause;
    } else if (!types) {
      types = &*clause++;
    } else {
      types->extensions.insert(types->extensions.end(), clause->extensions.begin(), clause->extensions.end());
      clause = clauses.erase(clause);
    }
  }
  if (QueryNode* last = LastPositiveWord(query.root)) {
    if (IsWordCharacter(last->text.back())) last->prefix = true;
  }
  return query;
}

}  // namespace qv::service
