#pragma once
// Turning one result of the desktop search service into the text of a result
// identifier.

#include <cstddef>
#include <string>

#include "common/DesktopSearchInterfaces.h"

namespace qv {

// The most UTF-8 bytes of name and path one result item is made for; a result
// whose texts are longer is not shown.
constexpr std::size_t kMaxResultText = 60000;

struct SearchResultText {
  std::string name;  // the title, or the file name when the title says nothing more
  std::string path;  // the "uri" exactly as the service gave it, whole
};

// Reads the result's "uri" (whole, any length, every character) and "title": the
// title cut to 49 characters becomes the name or, when the title is missing,
// empty, a drive path or the path itself, the path's file name. Throws ComError
// when "uri" cannot be read.
SearchResultText ReadSearchResult(IDesktopSearchResult* result);

}  // namespace qv
