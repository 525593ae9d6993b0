#include "NamespacePath.h"

#include <cstring>
#include <vector>

#include "common/ClassIds.h"

namespace qv::browse {

std::wstring JunctionParsingName() {
  wchar_t classId[40] = {};
  StringFromGUID2(kShellFolderClassId, classId, 40);
  return std::wstring(L"::") + classId;
}

ShellIdList OpenJunction(ComPtr<IShellFolder>& folder, HRESULT* result) {
  folder.Reset();
  ShellIdList junction;
  *result = SHParseDisplayName(JunctionParsingName().c_str(), nullptr, junction.Put(), 0, nullptr);
  if (FAILED(*result)) return {};
  // The desktop may parse the name of any class; binding shows whether it is ours.
  ComPtr<IShellFolder> desktop;
  *result = SHGetDesktopFolder(desktop.Put());
  if (FAILED(*result)) return {};
  *result = desktop->BindToObject(junction.Get(), nullptr, IID_IShellFolder, folder.PutVoid());
  if (FAILED(*result)) return {};
  return junction;
}

ShellIdList ResolveSearchFolder(ShellIdList junction, ComPtr<IShellFolder> junctionFolder, const std::wstring& path,
                                HRESULT* result) {
  ShellIdList folder = std::move(junction);
  ComPtr<IShellFolder> current = std::move(junctionFolder);
  // One level at a time: each folder parses only the names of its own children.
  std::size_t start = 0;
  while (start < path.size()) {
    std::size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    std::wstring name = path.substr(start, end - start);
    start = end + 1;
    if (name.empty()) continue;

    ShellIdList child;
    *result = current->ParseDisplayName(nullptr, nullptr, name.data(), nullptr, child.Put(), nullptr);
    if (FAILED(*result)) return {};
    ComPtr<IShellFolder> next;
    *result = current->BindToObject(child.Get(), nullptr, IID_IShellFolder, next.PutVoid());
    if (FAILED(*result)) return {};
    ShellIdList combined(ILCombine(folder.Get(), child.Get()));
    if (!combined) {
      *result = E_OUTOFMEMORY;
      return {};
    }
    folder = std::move(combined);
    current = std::move(next);
  }
  *result = S_OK;
  return folder;
}

namespace {

std::wstring NormalDisplayName(LPCITEMIDLIST absolute) {
  TaskMemory<wchar_t> name;
  if (FAILED(SHGetNameFromIDList(absolute, SIGDN_NORMALDISPLAY, name.Put())) || !name) return {};
  return name.Get();
}

}  // namespace

std::wstring FolderDisplayPath(LPCITEMIDLIST junction, LPCITEMIDLIST folder) {
  if (!folder) return {};
  UINT junctionSize = junction ? ILGetSize(junction) - sizeof(USHORT) : 0;
  if (!junction || ILGetSize(folder) < junctionSize + sizeof(USHORT) ||
      std::memcmp(junction, folder, junctionSize) != 0) {
    return NormalDisplayName(folder);
  }
  // Each level names itself; the prefix up to it is its absolute list.
  std::wstring path;
  std::vector<BYTE> prefix;
  for (LPCITEMIDLIST level = folder; level->mkid.cb; level = ILGetNext(level)) {
    prefix.insert(prefix.end(), reinterpret_cast<const BYTE*>(level),
                  reinterpret_cast<const BYTE*>(level) + level->mkid.cb);
    if (prefix.size() < junctionSize) continue;
    std::vector<BYTE> terminated(prefix);
    terminated.resize(terminated.size() + sizeof(USHORT), 0);
    std::wstring name = NormalDisplayName(reinterpret_cast<LPCITEMIDLIST>(terminated.data()));
    if (!path.empty()) path += L'\\';
    path += name;
  }
  return path;
}

}  // namespace qv::browse
