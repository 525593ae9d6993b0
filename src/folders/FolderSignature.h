#pragma once
// What a folder's view shows from the document, in one comparable text: the
// folder's own settings and, for each sub-folder, its settings and whether it has
// sub-folders of its own. A view compares it after the document changed to tell
// whether the change concerns it at all, and asks the search service again only
// when it does.

#include <windows.h>
#include <shtypes.h>

#include <string>

namespace qv {

class CFolderStore;

// Empty when the list names no folder of the current document.
std::wstring FolderContentSignature(const CFolderStore& store, LPCITEMIDLIST absoluteList);

}  // namespace qv
