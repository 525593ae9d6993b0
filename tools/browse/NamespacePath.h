#pragma once
// Turns what the user names on the command line into the shell's absolute ID list:
// nothing for the namespace root, or a search folder's path below it such as
// "Work\Reports" (names separated by backslashes, each a sub-folder of the one
// before).

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "common/ComBase.h"
#include "common/Holders.h"

namespace qv::browse {

using ShellIdList = TaskMemory<ITEMIDLIST>;

// "::{class id}", the desktop's parsing name of the namespace junction.
std::wstring JunctionParsingName();

// The junction's absolute list and its folder, or an empty holder with the
// failure in *result when the search folders are not registered.
ShellIdList OpenJunction(ComPtr<IShellFolder>& folder, HRESULT* result);

// The absolute list of the search folder at that path below the junction, or an
// empty holder with the failure in *result (a name on the path does not exist).
ShellIdList ResolveSearchFolder(ShellIdList junction, ComPtr<IShellFolder> junctionFolder, const std::wstring& path,
                                HRESULT* result);

// The folder's path as a user reads it: the display names from the junction
// down, joined by backslashes ("quorvane\Work\Reports"); a folder outside the
// junction by its own display name.
std::wstring FolderDisplayPath(LPCITEMIDLIST junction, LPCITEMIDLIST folder);

}  // namespace qv::browse
