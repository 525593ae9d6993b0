#include "service/FoldingTokenizer.h"

#include <sqlite3.h>

#include <new>

#include "service/SqliteDatabase.h"

namespace qv::service {
namespace {

// Letters whose base letter is not reached by removing a combining mark.
const char* FoldedLetter(char32_t c) {
  switch (c) {
    case 0x00F8: case 0x00D8: return "o";   // ø Ø
    case 0x00E6: case 0x00C6: return "ae";  // æ Æ
    case 0x0153: case 0x0152: return "oe";  // œ Œ
    case 0x00DF: case 0x1E9E: return "ss";  // ß ẞ
    case 0x0142: case 0x0141: return "l";   // ł Ł
    case 0x0111: case 0x0110: return "d";   // đ Đ
    case 0x00F0: case 0x00D0: return "d";   // ð Ð
    case 0x00FE: case 0x00DE: return "th";  // þ Þ
    case 0x0131: case 0x0130: return "i";   // ı İ
    default: return nullptr;
  }
}

// The code point starting at text[i] and its length in bytes; a byte that
// starts no valid sequence stands for itself.
char32_t DecodeAt(const unsigned char* text, int length, int i, int* size) {
  unsigned char lead = text[i];
  int count = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (count == 1 || i + count > length) {
    *size = 1;
    return lead;
  }
  char32_t c = lead & (0x7F >> count);
  for (int k = 1; k < count; ++k) c = (c << 6) | (text[i + k] & 0x3F);
  *size = count;
  return c;
}

struct FoldingTokenizer {
  fts5_tokenizer_v2* inner = nullptr;
  Fts5Tokenizer* innerInstance = nullptr;
};

struct TokenContext {
  void* context;
  int (*token)(void*, int, const char*, int, int, int);
};

int FoldAndPass(void* context, int flags, const char* token, int length, int start, int end) {
  auto* pass = static_cast<TokenContext*>(context);
  bool ascii = true;
  for (int i = 0; i < length && ascii; ++i) ascii = static_cast<unsigned char>(token[i]) < 0x80;
  if (ascii) return pass->token(pass->context, flags, token, length, start, end);
  try {
    std::string folded = FoldToken(token, length);
    return pass->token(pass->context, flags, folded.data(), static_cast<int>(folded.size()), start, end);
  } catch (const std::bad_alloc&) {
    return SQLITE_NOMEM;
  }
}

int Create(void* userData, const char** arguments, int count, Fts5Tokenizer** out) {
  auto* api = static_cast<fts5_api*>(userData);
  void* innerData = nullptr;
  fts5_tokenizer_v2* inner = nullptr;
  int code = api->xFindTokenizer_v2(api, "unicode61", &innerData, &inner);
  if (code != SQLITE_OK) return code;
  auto* tokenizer = new (std::nothrow) FoldingTokenizer;
  if (!tokenizer) return SQLITE_NOMEM;
  tokenizer->inner = inner;
  // Arguments given in the table's definition go to unicode61; without any,
  // it removes diacritics as the index always has.
  const char* defaults[] = {"remove_diacritics", "2"};
  code = count > 0 ? inner->xCreate(innerData, arguments, count, &tokenizer->innerInstance)
                   : inner->xCreate(innerData, defaults, 2, &tokenizer->innerInstance);
  if (code != SQLITE_OK) {
    delete tokenizer;
    return code;
  }
  *out = reinterpret_cast<Fts5Tokenizer*>(tokenizer);
  return SQLITE_OK;
}

void Delete(Fts5Tokenizer* instance) {
  auto* tokenizer = reinterpret_cast<FoldingTokenizer*>(instance);
  if (!tokenizer) return;
  tokenizer->inner->xDelete(tokenizer->innerInstance);
  delete tokenizer;
}

int Tokenize(Fts5Tokenizer* instance, void* context, int flags, const char* text, int length, const char* locale,
             int localeLength, int (*token)(void*, int, const char*, int, int, int)) {
  auto* tokenizer = reinterpret_cast<FoldingTokenizer*>(instance);
  TokenContext pass{context, token};
  return tokenizer->inner->xTokenize(tokenizer->innerInstance, &pass, flags, text, length, locale, localeLength,
                                     FoldAndPass);
}

fts5_api* FullTextApi(sqlite3* db) {
  fts5_api* api = nullptr;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &statement, nullptr) != SQLITE_OK) return nullptr;
  sqlite3_bind_pointer(statement, 1, &api, "fts5_api_ptr", nullptr);
  sqlite3_step(statement);
  sqlite3_finalize(statement);
  return api && api->iVersion >= 3 ? api : nullptr;
}

}  // namespace

std::string FoldToken(const char* token, int length) {
  const auto* text = reinterpret_cast<const unsigned char*>(token);
  std::string folded;
  folded.reserve(static_cast<std::size_t>(length) + 4);
  for (int i = 0; i < length;) {
    int size = 1;
    char32_t c = DecodeAt(text, length, i, &size);
    if (const char* letter = c >= 0x80 ? FoldedLetter(c) : nullptr) {
      folded += letter;
    } else {
      folded.append(token + i, static_cast<std::size_t>(size));
    }
    i += size;
  }
  return folded;
}

TextFolder::TextFolder(sqlite3* db) {
  fts5_api* api = FullTextApi(db);
  void* data = nullptr;
  int code = api ? api->xFindTokenizer_v2(api, kFoldingTokenizer, &data, &tokenizer_) : SQLITE_ERROR;
  // No arguments: as the tables declare it.
  if (code == SQLITE_OK) code = tokenizer_->xCreate(data, nullptr, 0, &instance_);
  if (code != SQLITE_OK) throw SqliteError(code, "the folding tokenizer is not registered");
}

TextFolder::~TextFolder() {
  if (instance_) tokenizer_->xDelete(instance_);
}

std::string TextFolder::Fold(const std::string& utf8) const {
  bool ascii = true;
  for (char c : utf8) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) {
    // What the tokenizer does to ASCII: lower case.
    std::string folded = utf8;
    for (char& c : folded) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
  }
  struct Rebuild {
    const std::string* text;
    std::string folded;
    std::size_t done = 0;
  } rebuild{&utf8, {}, 0};
  auto take = [](void* context, int, const char* token, int length, int start, int end) {
    auto* r = static_cast<Rebuild*>(context);
    if (start < 0 || end < start || static_cast<std::size_t>(end) > r->text->size() ||
        static_cast<std::size_t>(start) < r->done) {
      return SQLITE_ERROR;
    }
    try {
      r->folded.append(*r->text, r->done, static_cast<std::size_t>(start) - r->done);
      r->folded.append(token, static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
      return SQLITE_NOMEM;
    }
    r->done = static_cast<std::size_t>(end);
    return SQLITE_OK;
  };
  int code = tokenizer_->xTokenize(instance_, &rebuild, FTS5_TOKENIZE_DOCUMENT, utf8.data(),
                                   static_cast<int>(utf8.size()), nullptr, 0, take);
  if (code != SQLITE_OK) throw SqliteError(code, "a text could not be folded");
  rebuild.folded.append(utf8, rebuild.done, std::string::npos);
  return rebuild.folded;
}

bool RegisterFoldingTokenizer(sqlite3* db) {
  fts5_api* api = FullTextApi(db);
  if (!api) return false;
  static fts5_tokenizer_v2 tokenizer = {2, Create, Delete, Tokenize};
  return api->xCreateTokenizer_v2(api, kFoldingTokenizer, api, &tokenizer, nullptr) == SQLITE_OK;
}

}  // namespace qv::service
