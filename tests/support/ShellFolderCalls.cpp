#include "support/ShellFolderCalls.h"

#include <algorithm>
#include <cstdio>

#include "common/Text.h"

namespace qv::test {

std::vector<ShellList> EnumerateItems(IShellFolder* folder, SHCONTF flags) {
  std::vector<ShellList> items;
  ComPtr<IEnumIDList> enumerator;
  ThrowIfFailed(folder->EnumObjects(nullptr, flags, enumerator.Put()));
  LPITEMIDLIST item = nullptr;
  while (enumerator && enumerator->Next(1, &item, nullptr) == S_OK) items.emplace_back(item);
  return items;
}

std::vector<std::string> NamesOf(IShellFolder* folder, const std::vector<ShellList>& items) {
  std::vector<std::string> names;
  for (const ShellList& item : items) names.push_back(DisplayName(folder, item.Get(), SHGDN_INFOLDER));
  return names;
}

std::vector<std::string> SortedNames(IShellFolder* folder, SHCONTF flags) {
  std::vector<ShellList> items = EnumerateItems(folder, flags);
  std::vector<LPCITEMIDLIST> order;
  for (const ShellList& item : items) order.push_back(item.Get());
  std::stable_sort(order.begin(), order.end(), [folder](LPCITEMIDLIST a, LPCITEMIDLIST b) {
    return CompareOrder(folder, a, b) < 0;
  });
  std::vector<std::string> names;
  for (LPCITEMIDLIST item : order) names.push_back(DisplayName(folder, item, SHGDN_INFOLDER));
  return names;
}

std::string DisplayName(IShellFolder* folder, LPCITEMIDLIST item, SHGDNF flags) {
  STRRET name = {};
  HRESULT hr = folder->GetDisplayNameOf(item, flags, &name);
  if (FAILED(hr)) {
    char text[32];
    std::snprintf(text, sizeof text, "error 0x%08lX", static_cast<unsigned long>(hr));
    return text;
  }
  if (name.uType != STRRET_WSTR) return "not STRRET_WSTR";
  TaskMemory<wchar_t> wide(name.pOleStr);
  return ToUtf8(wide.Get());
}

int CompareOrder(IShellFolder* folder, LPCITEMIDLIST first, LPCITEMIDLIST second, LPARAM lParam) {
  HRESULT hr = folder->CompareIDs(lParam, first, second);
  if (FAILED(hr)) throw ComError(hr, IID_IShellFolder);
  return static_cast<short>(HRESULT_CODE(hr));
}

ComPtr<IShellFolder> BindTo(IShellFolder* folder, LPCITEMIDLIST item) {
  ComPtr<IShellFolder> child;
  ThrowIfFailed(folder->BindToObject(item, nullptr, IID_IShellFolder, child.PutVoid()), IID_IShellFolder);
  return child;
}

ComPtr<IShellFolder> BindToChild(IShellFolder* folder, const std::wstring& name) {
  std::wstring text = name;
  LPITEMIDLIST item = nullptr;
  ThrowIfFailed(folder->ParseDisplayName(nullptr, nullptr, text.data(), nullptr, &item, nullptr), IID_IShellFolder);
  ShellList held(item);
  return BindTo(folder, held.Get());
}

}  // namespace qv::test
