#pragma once
// Path text as the file system reads it: full folder paths, case-insensitive
// containment, extensions, and the form the file APIs need for long paths.

#include <string>

namespace qv::service {

// The full path of a folder without a trailing backslash ("C:\" keeps its own).
std::wstring NormalizeFolderPath(const std::wstring& folder);

// The text every path inside the folder starts with (the folder and a backslash).
std::wstring SubtreePrefix(const std::wstring& folder);

// Case-insensitive test whether a path lies inside (or is) the folder.
bool IsInsideFolder(const std::wstring& path, const std::wstring& folder);

// Lower-cases a path the way the file system compares names.
std::wstring FoldPathCase(const std::wstring& path);

// The extension of a file name in lower case, without the dot ("" when none).
std::wstring ExtensionOf(const std::wstring& fileName);

// The path as the wide file APIs take it: long paths get the "\\?\" prefix.
std::wstring ForFileApi(const std::wstring& path);

}  // namespace qv::service
