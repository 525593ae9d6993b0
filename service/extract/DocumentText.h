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

// True for the extensions (lower case, without the dot) read by this file.
bool IsDocumentExtension(const std::wstring& extension);

ReadTextResult ReadDocumentText(HANDLE file, const std::wstring& path, const std::wstring& extension,
                                std::size_t limit, std::string* text);

}  // namespace qv::service
