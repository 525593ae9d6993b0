#pragma once
// The tokenizer of the index's word tables ("quorvane_fold"): SQLite's unicode61
// with its diacritics removed, and then the letters that carry no mark to
// remove but that users type without their stroke or ligature folded too
// (ø→o, æ→ae, œ→oe, ß→ss, ł→l, đ→d, ð→d, þ→th, ı→i, and their capitals). The
// same tokenizer reads the files' words and the query's, so "tromso" finds
// "Tromsø" and "grusse" finds "Grüße".

#include <string>

struct sqlite3;

namespace qv::service {

constexpr char kFoldingTokenizer[] = "quorvane_fold";

// Registers the tokenizer on a connection; every connection that reads or
// writes the index's word tables needs it. False when FTS5 is not there.
bool RegisterFoldingTokenizer(sqlite3* db);

// The folding of one token (UTF-8, as unicode61 made it) after its marks are gone.
std::string FoldToken(const char* token, int length);

}  // namespace qv::service
