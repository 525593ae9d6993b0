#pragma once
// The words of the Office 97-2003 formats, from the streams of their compound
// files (the caller opens those with the platform's structured storage):
// Word (.doc) through the piece table of its table stream, Excel (.xls) BIFF8
// shared strings, labels, numbers and sheet names, PowerPoint (.ppt) text
// atoms of slides and notes. Pure functions of the streams' bytes, linear in
// them and bounded by `limit` bytes of text.

#include <cstddef>
#include <string>
#include <string_view>

namespace qv::service {

struct BinaryOfficeContent {
  std::string text;  // UTF-8
  bool encrypted = false;
  bool damaged = false;
  bool cutOff = false;
};

// `table0` and `table1` are the "0Table" and "1Table" streams; the document's
// header says which one it uses.
BinaryOfficeContent WordBinaryText(std::string_view wordDocument, std::string_view table0, std::string_view table1,
                                   std::size_t limit);
// The "Workbook" stream.
BinaryOfficeContent ExcelBinaryText(std::string_view workbook, std::size_t limit);
// The "PowerPoint Document" stream.
BinaryOfficeContent PowerPointBinaryText(std::string_view document, std::size_t limit);

}  // namespace qv::service
