#pragma once
// The service's query language, read into a tree of conditions on files:
//   budget report        every word must match the file's name or text; the
//                        last word also matches as a prefix, as does a word
//                        ending in "*" (repo*)
//   "annual report"      the words in this order
//   a OR b, a | b        either; parentheses group; -term or -(group) excludes
//   name:word            in the file name only; name:"a phrase", name:*.tmp,
//                        name:report-202? (wildcards * and ?)
//   path:part            under a folder whose path holds these words;
//   folder:"C:\Dir"      path:/folder: with a full path: only files under it
//   modified:, created:  a date (2026-03-31), a range (2026-01-01..2026-03-31),
//                        a comparison (>=2026-01-01) or today, yesterday,
//                        thisweek, lastweek, thismonth, lastmonth, thisyear,
//                        lastyear
//   size:                >10MB, <1kb, 1MB..5MB, 300, or empty, small, large, huge
//   filetype:, ext:      the file's extension; kind:document (and the other
//                        kinds of KindTable.h) a family of extensions
// Matching ignores case and diacritics. Anything malformed (an unbalanced quote
// or parenthesis, a value an operator cannot read, OR with nothing to join) is
// read as the literal words it holds and named in Warning().

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace qv::service {

// Which of the file's texts a word is looked for in.
enum class TextField { NameOrContent, Name, Folder };

struct QueryNode {
  enum class Kind {
    All,          // every child holds (an empty All holds for every file)
    Any,          // at least one child holds
    Not,          // the one child does not hold
    Text,         // words in `text`, looked for in `field`
    Extension,    // the extension is one of `extensions`
    Size,         // low <= size <= high, in bytes
    Modified,     // low <= modification time < high, FILETIME units (UTC)
    Created,      // low <= creation time < high
    NamePattern,  // the file name matches the wildcard pattern in `text`
    Under,        // the file lies under the folder `text` (a full path)
  };

  Kind kind = Kind::All;
  std::vector<QueryNode> children;
  std::wstring text;
  TextField field = TextField::NameOrContent;
  bool phrase = false;    // written in quotes
  bool prefix = false;    // the last word matches as a prefix
  bool bareWord = false;  // written as a plain word (may become the implicit prefix)
  std::vector<std::wstring> extensions;
  std::int64_t low = std::numeric_limits<std::int64_t>::min();
  std::int64_t high = std::numeric_limits<std::int64_t>::max();
};

struct ParsedQuery {
  QueryNode root;  // an All node
  // What was read literally, each with the reason ("size:>>1 (not a size)").
  std::vector<std::wstring> literal;

  bool IsEmpty() const { return root.children.empty(); }
  // One line naming what was read literally; empty when everything was understood.
  std::wstring Warning() const;
};

ParsedQuery ParseQuery(const std::wstring& text);

}  // namespace qv::service
