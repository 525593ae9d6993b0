#pragma once
// The words of the documents people keep: Office Open XML (.docx, .xlsx,
// .pptx), OpenDocument (.odt, .ods, .odp), RTF, e-mail (.eml) and PDF. A
// document's title, where it has one, comes first in its text so its words are
// found too.
//
// The readers themselves are functions of the document's bytes (see
// DocumentReader.h), bounded by one budget per document. A damaged, encrypted,
// hostile or over-budget file yields what could be read (maybe nothing) and
// says so. While a document
// is read, its path is noted in the data folder; a reader that brings the
// process down leaves the note behind, and the next pass skips that file.

#include <windows.h>

#include <cstddef>
#include <string>

namespace qv::service {

enum class ReadTextResult;

// While one lives, documents read on its thread share one note, opened once
// and rewritten in place, rather than one made and deleted per document (an
// index pass holds one). The note is removed when it ends.
class DocumentReadingNote {
 public:
  DocumentReadingNote();
  ~DocumentReadingNote();
  DocumentReadingNote(const DocumentReadingNote&) = delete;
  DocumentReadingNote& operator=(const DocumentReadingNote&) = delete;

  // False (and the note forgotten) when the note named `path` as it opened:
  // reading it ended the process. Otherwise the note names it until Done.
  bool Begin(const std::wstring& path);
  void Done();

 private:
  std::wstring note_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
  std::wstring crashed_;  // the path the note held when it was opened
  DocumentReadingNote* outer_ = nullptr;
};

// True for the extensions (lower case, without the dot) read by this file.
bool IsDocumentExtension(const std::wstring& extension);

ReadTextResult ReadDocumentText(HANDLE file, const std::wstring& path, const std::wstring& extension,
                                std::size_t limit, std::string* text);

}  // namespace qv::service
