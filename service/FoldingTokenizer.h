#pragma once
// The tokenizer of the index's word tables ("quorvane_fold"): SQLite's unicode61
// with its diacritics removed, and then the letters that carry no mark to
// remove but that users type without their stroke or ligature folded too
// (ø→o, æ→ae, œ→oe, ß→ss, ł→l, đ→d, ð→d, þ→th, ı→i, and their capitals). The
// same tokenizer reads the files' words and the query's, so "tromso" finds
// "Tromsø" and "grusse" finds "Grüße".

#include <string>

struct sqlite3;
struct fts5_tokenizer_v2;
struct Fts5Tokenizer;

namespace qv::service {

constexpr char kFoldingTokenizer[] = "quorvane_fold";

// Registers the tokenizer on a connection; every connection that reads or
// writes the index's word tables needs it. False when FTS5 is not there.
bool RegisterFoldingTokenizer(sqlite3* db);

// The folding of one token (UTF-8, as unicode61 made it) after its marks are gone.
std::string FoldToken(const char* token, int length);

// Folds whole texts (a file name, a name pattern) as the word tables read
// them: each word as the tokenizer makes it (lower case, marks removed, the
// letters above folded), and what lies between words as it stands. On a
// connection where the tokenizer is registered; throws SqliteError otherwise.
class TextFolder {
 public:
  explicit TextFolder(sqlite3* db);
  ~TextFolder();
  TextFolder(const TextFolder&) = delete;
  TextFolder& operator=(const TextFolder&) = delete;

  std::string Fold(const std::string& utf8) const;

 private:
  fts5_tokenizer_v2* tokenizer_ = nullptr;
  Fts5Tokenizer* instance_ = nullptr;
};

}  // namespace qv::service
