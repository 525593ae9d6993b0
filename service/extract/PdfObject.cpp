#include "service/extract/PdfObject.h"

#include <cmath>

namespace qv::service::pdf {
namespace {

// Arrays and dictionaries nested deeper than this are not a document's.
constexpr int kMaxNesting = 64;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseNumber(std::string_view token, double* value) {
  std::size_t i = 0;
  bool negative = false;
  while (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-' ? !negative : negative;
  double whole = 0;
  bool digits = false;
  for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i, digits = true) whole = whole * 10 + (token[i] - '0');
  if (i < token.size() && token[i] == '.') {
    double scale = 0.1;
    for (++i; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i, scale /= 10, digits = true) {
      whole += (token[i] - '0') * scale;
    }
  }
  if (!digits || i != token.size()) return false;
  *value = negative ? -whole : whole;
  return true;
}

bool IsInteger(const Object& o) {
  return o.type == Object::Type::Number && o.number >= 0 && o.number < 4294967296.0 && o.number == std::floor(o.number);
}

}  // namespace

bool IsWhitespace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0'; }

bool IsDelimiter(char c) {
  return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' || c == '}' || c == '/' ||
         c == '%';
}

const Object& NullObject() {
  static const Object null;
  return null;
}

const Object& Object::Get(std::string_view key) const {
  if (type == Type::Dictionary && dictionary) {
    for (const auto& [name, value] : *dictionary) {
      if (name == key) return value;
    }
  }
  return NullObject();
}

int Object::Int(int fallback) const {
  if (type != Type::Number || !(std::fabs(number) < 2147483647.0)) return fallback;
  return static_cast<int>(number);
}

void Lexer::SkipWhitespace() {
  while (position_ < bytes_.size()) {
    char c = bytes_[position_];
    if (c == '%') {
      while (position_ < bytes_.size() && bytes_[position_] != '\n' && bytes_[position_] != '\r') ++position_;
    } else if (IsWhitespace(c)) {
      ++position_;
    } else {
      return;
    }
  }
}

void Lexer::ReadLiteralString(std::string* out) {
  int depth = 1;
  while (position_ < bytes_.size()) {
    char c = bytes_[position_++];
    if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (--depth == 0) return;
    } else if (c == '\r') {
      if (position_ < bytes_.size() && bytes_[position_] == '\n') ++position_;
      c = '\n';
    } else if (c == '\\' && position_ < bytes_.size()) {
      c = bytes_[position_++];
      switch (c) {
        case 'n': c = '\n'; break;
        case 'r': c = '\r'; break;
        case 't': c = '\t'; break;
        case 'b': c = '\b'; break;
        case 'f': c = '\f'; break;
        case '\r':
          if (position_ < bytes_.size() && bytes_[position_] == '\n') ++position_;
          continue;
        case '\n':
          continue;
        default:
          if (c >= '0' && c <= '7') {
            int value = c - '0';
            for (int n = 1; n < 3 && position_ < bytes_.size() && bytes_[position_] >= '0' && bytes_[position_] <= '7'; ++n) {
              value = value * 8 + (bytes_[position_++] - '0');
            }
            c = static_cast<char>(value & 0xFF);
          }
          break;
      }
    }
    out->push_back(c);
  }
}

void Lexer::ReadHexString(std::string* out) {
  int high = -1;
  while (position_ < bytes_.size()) {
    char c = bytes_[position_++];
    if (c == '>') break;
    int value = HexValue(c);
    if (value < 0) continue;
    if (high < 0) {
      high = value;
    } else {
      out->push_back(static_cast<char>(high * 16 + value));
      high = -1;
    }
  }
  if (high >= 0) out->push_back(static_cast<char>(high * 16));
}

void Lexer::ReadName(std::string* out) {
  while (position_ < bytes_.size()) {
    char c = bytes_[position_];
    if (IsWhitespace(c) || IsDelimiter(c)) return;
    ++position_;
    if (c == '#' && position_ + 1 < bytes_.size() && HexValue(bytes_[position_]) >= 0 &&
        HexValue(bytes_[position_ + 1]) >= 0) {
      c = static_cast<char>(HexValue(bytes_[position_]) * 16 + HexValue(bytes_[position_ + 1]));
      position_ += 2;
    }
    out->push_back(c);
  }
}

bool Lexer::Next(Object* token) {
  *token = Object();
  SkipWhitespace();
  if (position_ >= bytes_.size()) return false;
  char c = bytes_[position_];
  switch (c) {
    case '(':
      ++position_;
      token->type = Object::Type::String;
      ReadLiteralString(&token->text);
      return true;
    case '<':
      if (position_ + 1 < bytes_.size() && bytes_[position_ + 1] == '<') {
        position_ += 2;
        token->type = Object::Type::Keyword;
        token->text = "<<";
        return true;
      }
      ++position_;
      token->type = Object::Type::String;
      ReadHexString(&token->text);
      return true;
    case '>':
      position_ += position_ + 1 < bytes_.size() && bytes_[position_ + 1] == '>' ? 2 : 1;
      token->type = Object::Type::Keyword;
      token->text = ">>";
      return true;
    case '[':
    case ']':
    case '{':
    case '}':
    case ')':
      ++position_;
      token->type = Object::Type::Keyword;
      token->text.assign(1, c);
      return true;
    case '/':
      ++position_;
      token->type = Object::Type::Name;
      ReadName(&token->text);
      return true;
    default:
      break;
  }
  std::size_t start = position_;
  while (position_ < bytes_.size() && !IsWhitespace(bytes_[position_]) && !IsDelimiter(bytes_[position_])) ++position_;
  std::string_view word = bytes_.substr(start, position_ - start);
  if (ParseNumber(word, &token->number)) {
    token->type = Object::Type::Number;
  } else if (word == "true" || word == "false") {
    token->type = Object::Type::Boolean;
    token->number = word == "true" ? 1 : 0;
  } else if (word == "null") {
    token->type = Object::Type::Null;
  } else {
    token->type = Object::Type::Keyword;
    token->text.assign(word);
  }
  return true;
}

bool Parser::NextToken(Object* token) {
  if (!pending_.empty()) {
    *token = std::move(pending_.front());
    pending_.erase(pending_.begin());
    return true;
  }
  return lexer_.Next(token);
}

bool Parser::ParseObject(Object* out) {
  Object token;
  if (!NextToken(&token)) return false;
  return ParseValue(token, out, 0);
}

bool Parser::ParseValue(Object& token, Object* out, int depth) {
  if (!budget_.TakeObjects(1)) return false;
  if (token.type == Object::Type::Keyword) {
    if (token.text == "[") {
      if (depth >= kMaxNesting) return false;
      auto array = std::make_shared<Array>();
      Object item;
      while (NextToken(&item)) {
        if (item.type == Object::Type::Keyword && item.text == "]") break;
        Object value;
        if (!ParseValue(item, &value, depth + 1)) return false;
        array->push_back(std::move(value));
      }
      *out = Object();
      out->type = Object::Type::Array;
      out->array = std::move(array);
      return true;
    }
    if (token.text == "<<") {
      if (depth >= kMaxNesting) return false;
      auto dictionary = std::make_shared<Dictionary>();
      Object key;
      while (NextToken(&key)) {
        if (key.type == Object::Type::Keyword && key.text == ">>") break;
        if (key.type != Object::Type::Name) {
          // A stray token inside a dictionary: a damaged file ends it here.
          if (key.type == Object::Type::Keyword && (key.text == "endobj" || key.text == "stream")) {
            pending_.insert(pending_.begin(), std::move(key));
            break;
          }
          if (!budget_.TakeObjects(1)) return false;
          continue;
        }
        Object item;
        if (!NextToken(&item)) break;
        if (item.type == Object::Type::Keyword && item.text == ">>") {
          dictionary->emplace_back(std::move(key.text), Object());
          break;
        }
        Object value;
        if (!ParseValue(item, &value, depth + 1)) return false;
        dictionary->emplace_back(std::move(key.text), std::move(value));
      }
      *out = Object();
      out->type = Object::Type::Dictionary;
      out->dictionary = std::move(dictionary);
      return true;
    }
    *out = std::move(token);
    return true;
  }
  if (IsInteger(token)) {
    Object generation;
    if (NextToken(&generation)) {
      Object keyword;
      if (IsInteger(generation) && NextToken(&keyword)) {
        if (keyword.type == Object::Type::Keyword && keyword.text == "R") {
          *out = Object();
          out->type = Object::Type::Reference;
          out->objectNumber = static_cast<std::uint32_t>(token.number);
          out->generation = static_cast<std::uint32_t>(generation.number);
          return true;
        }
        pending_.push_back(std::move(generation));
        pending_.push_back(std::move(keyword));
      } else {
        pending_.push_back(std::move(generation));
      }
    }
  }
  *out = std::move(token);
  return true;
}

bool Parser::ParseIndirect(std::uint32_t* number, std::uint32_t* generation, Object* out) {
  pending_.clear();
  Object first, second, keyword;
  if (!lexer_.Next(&first) || !IsInteger(first) || !lexer_.Next(&second) || !IsInteger(second) ||
      !lexer_.Next(&keyword) || keyword.type != Object::Type::Keyword || keyword.text != "obj") {
    return false;
  }
  *number = static_cast<std::uint32_t>(first.number);
  *generation = static_cast<std::uint32_t>(second.number);
  if (!ParseObject(out)) return false;
  if (out->type == Object::Type::Dictionary && pending_.empty()) {
    std::size_t after = lexer_.Position();
    Object next;
    if (lexer_.Next(&next) && next.type == Object::Type::Keyword && next.text == "stream") {
      std::size_t start = lexer_.Position();
      std::string_view bytes = lexer_.Bytes();
      if (start < bytes.size() && bytes[start] == '\r') ++start;
      if (start < bytes.size() && bytes[start] == '\n') ++start;
      out->streamStart = start;
    } else {
      lexer_.Seek(after);
    }
  }
  return true;
}

}  // namespace qv::service::pdf
