#pragma once
// Builds item identifier lists the way the shell hands them to the component:
// the shell's own item for the namespace root, then folder and result items.

#include <windows.h>
#include <shtypes.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pidl/ItemIdentifier.h"

namespace qv::test {

class TestItemList {
 public:
  // The desktop's item for the component's class (a 20-byte registered-item entry).
  TestItemList& Root();
  TestItemList& Folder(const std::string& name);
  TestItemList& Folder(const SearchFolderRecord& record);
  TestItemList& Result(const std::string& name, const std::string& path, std::uint32_t fileIdList = 0);
  // Any bytes as one item; its cb is the first two.
  TestItemList& Raw(const std::vector<BYTE>& item);

  LPCITEMIDLIST Get() const { return reinterpret_cast<LPCITEMIDLIST>(bytes_.data()); }
  std::size_t Size() const { return bytes_.size(); }

 private:
  void Append(const void* item, std::size_t size);
  std::vector<BYTE> bytes_ = std::vector<BYTE>(2, 0);  // the terminator
};

// A search folder record as the document would give it.
SearchFolderRecord MakeFolderRecord(const std::string& name, const std::string& query = {},
                                    const std::string& category = {}, int maxResults = kDefaultMaxResults);

}  // namespace qv::test
