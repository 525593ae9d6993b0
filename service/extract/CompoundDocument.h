#pragma once
// The Office 97-2003 documents and Outlook messages, kept in compound files:
// opened read-only with the platform's structured storage
// (StgOpenStorageOnILockBytes over the document's bytes, IStorage, IStream). Word, Excel and PowerPoint files give the text of their
// streams (BinaryOfficeText.h) after the title of their summary information;
// an Outlook message (.msg) its subject, sender, recipients, body and the
// names of its attachments. Every stream is read up to a bound.

#include <cstddef>
#include <string>

#include "service/extract/ByteSource.h"

namespace qv::service {

enum class ReadTextResult;

// True for doc, dot, xls, xlt, ppt, pps, pot and msg.
bool IsCompoundDocumentExtension(const std::wstring& extension);

ReadTextResult ReadCompoundDocument(const ByteSource& source, const std::wstring& extension, std::size_t limit,
                                    std::string* text);

}  // namespace qv::service
