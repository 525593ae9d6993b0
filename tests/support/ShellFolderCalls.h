#pragma once
// The calls a shell host makes on a folder object, in the form tests check them.

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "common/ComBase.h"
#include "common/Holders.h"

namespace qv::test {

// An ID list the shell's allocator holds for the test.
using ShellList = TaskMemory<ITEMIDLIST>;

std::vector<ShellList> EnumerateItems(IShellFolder* folder, SHCONTF flags);
// The names (SHGDN_INFOLDER) of the items, in the order given.
std::vector<std::string> NamesOf(IShellFolder* folder, const std::vector<ShellList>& items);
// The items' names in the order the folder's CompareIDs sorts them.
std::vector<std::string> SortedNames(IShellFolder* folder, SHCONTF flags);

// The display name, or the failure's HRESULT in the text ("error 0x...").
std::string DisplayName(IShellFolder* folder, LPCITEMIDLIST item, SHGDNF flags);
// The signed order that CompareIDs (column and flags in lParam) reports in its
// result's code.
int CompareOrder(IShellFolder* folder, LPCITEMIDLIST first, LPCITEMIDLIST second, LPARAM lParam = 0);

// The child folder bound through BindToObject; throws ComError on failure.
ComPtr<IShellFolder> BindTo(IShellFolder* folder, LPCITEMIDLIST item);
// The child search folder of that name, parsed and bound.
ComPtr<IShellFolder> BindToChild(IShellFolder* folder, const std::wstring& name);

}  // namespace qv::test
