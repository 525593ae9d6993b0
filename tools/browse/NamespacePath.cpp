#include "NamespacePath.h"

#include "module/ClassIds.h"
#include "module/ComBase.h"

namespace qv::browse {

std::wstring JunctionParsingName() {
  wchar_t classId[40] = {};
  StringFromGUID2(kShellFolderClassId, classId, 40);
  return std::wstring(L"::") + classId;
}

ShellIdList ResolveSearchFolder(const std::wstring& path, HRESULT* result) {
  ShellIdList folder;
  *result = SHParseDisplayName(JunctionParsingName().c_str(), nullptr, folder.Put(), 0, nullptr);
  if (FAILED(*result)) return {};

  // One level at a time: each folder parses only the names of its own children.
  std::size_t start = 0;
  while (start < path.size()) {
    std::size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    std::wstring name = path.substr(start, end - start);
    start = end + 1;
    if (name.empty()) continue;

    ComPtr<IShellFolder> parent;
    *result = SHBindToObject(nullptr, folder.Get(), nullptr, IID_IShellFolder, parent.PutVoid());
    if (FAILED(*result)) return {};
    ShellIdList child;
    *result = parent->ParseDisplayName(nullptr, nullptr, name.data(), nullptr, child.Put(), nullptr);
    if (FAILED(*result)) return {};
    ShellIdList combined(ILCombine(folder.Get(), child.Get()));
    if (!combined) {
      *result = E_OUTOFMEMORY;
      return {};
    }
    folder = std::move(combined);
  }
  *result = S_OK;
  return folder;
}

}  // namespace qv::browse
