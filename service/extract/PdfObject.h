#pragma once
// The objects of a PDF file (numbers, strings, names, arrays, dictionaries,
// references, streams) and the lexer and parser that read them from bytes.
// Nesting is bounded; every value parsed is taken from the document's budget.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "service/extract/PdfBudget.h"

namespace qv::service::pdf {

struct Object;
using Array = std::vector<Object>;
using Dictionary = std::vector<std::pair<std::string, Object>>;

struct Object {
  enum class Type { Null, Boolean, Number, String, Name, Keyword, Array, Dictionary, Reference };
  Type type = Type::Null;
  double number = 0;             // Number; Boolean as 0 or 1
  std::string text;              // String bytes, Name (without the slash), Keyword
  std::uint32_t objectNumber = 0;  // Reference
  std::uint32_t generation = 0;
  std::shared_ptr<Array> array;
  std::shared_ptr<Dictionary> dictionary;
  // A dictionary followed by `stream`: where its data starts in the bytes the
  // object was read from (npos otherwise).
  std::size_t streamStart = std::string_view::npos;

  bool Is(Type t) const { return type == t; }
  bool IsName(std::string_view name) const { return type == Type::Name && text == name; }
  bool IsStream() const { return streamStart != std::string_view::npos; }
  // The value of a dictionary's key, or a null object.
  const Object& Get(std::string_view key) const;
  int Int(int fallback = 0) const;
};

const Object& NullObject();

class Lexer {
 public:
  Lexer(std::string_view bytes, std::size_t position = 0) : bytes_(bytes), position_(position) {}

  // The next token: `[`, `]`, `<<`, `>>`, `{`, `}` come back as Keyword
  // objects; false at the end of the bytes.
  bool Next(Object* token);
  std::size_t Position() const { return position_; }
  void Seek(std::size_t position) { position_ = position; }
  std::string_view Bytes() const { return bytes_; }
  void SkipWhitespace();

 private:
  void ReadLiteralString(std::string* out);
  void ReadHexString(std::string* out);
  void ReadName(std::string* out);

  std::string_view bytes_;
  std::size_t position_;
};

bool IsWhitespace(char c);
bool IsDelimiter(char c);

class Parser {
 public:
  Parser(std::string_view bytes, Budget& budget, std::size_t position = 0) : lexer_(bytes, position), budget_(budget) {}

  // One complete object (a reference where `n g R` stands). False at the end,
  // on a stray token or when the budget ran out.
  bool ParseObject(Object* out);
  // `n g obj <object> [stream]` at the current position.
  bool ParseIndirect(std::uint32_t* number, std::uint32_t* generation, Object* out);
  Lexer& Tokens() { return lexer_; }
  // Continues at `position`, dropping what was read ahead.
  void Seek(std::size_t position) {
    pending_.clear();
    lexer_.Seek(position);
  }

 private:
  bool ParseValue(Object& token, Object* out, int depth);
  bool NextToken(Object* token);

  Lexer lexer_;
  Budget& budget_;
  // Tokens read ahead while looking for `n g R`.
  std::vector<Object> pending_;
};

}  // namespace qv::service::pdf
