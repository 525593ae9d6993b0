#pragma once
// The words of a document, as a function of its bytes: Office Open XML
// (.docx, .xlsx, .pptx), OpenDocument (.odt, .ods, .odp), RTF, e-mail (.eml)
// and PDF. A document's title, where it has one, comes first in its text so its
// words are found too. The document's budget bounds the work, whatever the
// bytes; what a reader returns is valid UTF-8 within the budget's text limit.

#include <string>

#include "service/extract/ByteSource.h"
#include "service/extract/ReadBudget.h"

namespace qv::service {

enum class DocumentKind { None, WordProcessing, Spreadsheet, Presentation, OpenDocument, Rtf, Email, Pdf };

// The kind read for an extension (lower case, without the dot).
DocumentKind DocumentKindOf(const std::wstring& extension);

struct DocumentContent {
  std::string text;      // UTF-8, the title first
  bool damaged = false;     // not a document of its kind, damaged, encrypted, or cut off (see budget.cutOff)
  bool unreadable = false;  // the bytes could not be read (a lock): try again later
  bool encrypted = false;   // damaged because it needs a password
  bool cutOff = false;      // damaged only because the budget ran out
};

// False when the first bytes are plainly not a document of this kind.
bool LooksLikeDocument(DocumentKind kind, const ByteSource& source);

DocumentContent ReadDocument(DocumentKind kind, const ByteSource& source, ReadBudget& budget);

}  // namespace qv::service
