#pragma once
// Builds item identifier lists the way the shell hands them to the component:
// the shell's own item for the namespace root, then folder and result items,
// written byte by byte in the stored layouts (the current one with its
// extension, and the older 323-byte one).

#include <windows.h>
#include <shtypes.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pidl/FolderSettings.h"
#include "pidl/ItemIdentifier.h"

namespace qv::test {

class TestItemList {
 public:
  // The desktop's item for the component's class (a 20-byte registered-item entry).
  TestItemList& Root();
  TestItemList& Folder(const std::string& name);
  TestItemList& Folder(const FolderSettings& settings);
  TestItemList& Result(const std::string& name, const std::string& path, std::uint32_t fileIdList = 0);
  // Items of the older layout: the 323-byte record alone, its text in the
  // process's code page.
  TestItemList& LegacyFolder(const FolderSettings& settings);
  TestItemList& LegacyResult(const std::string& name, const std::string& path, std::uint32_t fileIdList = 0);
  // Any bytes as one item; its cb is the first two.
  TestItemList& Raw(const std::vector<BYTE>& item);

  LPCITEMIDLIST Get() const { return reinterpret_cast<LPCITEMIDLIST>(bytes_.data()); }
  std::size_t Size() const { return bytes_.size(); }

 private:
  void Append(const void* item, std::size_t size);
  void AppendExtended(const ItemIdentifier& base, const std::string& name, const std::string& text);
  std::vector<BYTE> bytes_ = std::vector<BYTE>(2, 0);  // the terminator
};

// A search folder's settings as the document would give them.
FolderSettings MakeFolderRecord(const std::string& name, const std::string& query = {},
                                const std::string& category = {}, int maxResults = kDefaultMaxResults);

}  // namespace qv::test
