#pragma once
// The text work behind the file-type commands: a result's file-type extension and
// the search strings that narrow a folder to that type or hide it.

#include <optional>
#include <string>

#include "pidl/ItemIdentifier.h"

namespace qv {

// The text after the last "." of a file path, at most 5 characters. None when the
// path has no extension of its own (no ".", an empty or longer text, or a "." that
// lies in a directory name).
std::optional<std::string> FileTypeExtension(const char* filePath);

// "%s filetype:%s" and "%s -filetype:%s" of a search string and an extension, or
// none when the result would not fit a folder's search string field (the command
// is refused then rather than cut).
std::optional<std::string> ShowOnlyQuery(const std::string& query, const std::string& extension);
std::optional<std::string> HideQuery(const std::string& query, const std::string& extension);

// The name of the folder that takes one type's results: "%s files".
std::string FileTypeFolderName(const std::string& extension);

}  // namespace qv
