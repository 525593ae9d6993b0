#include "support/TestItemList.h"

#include <cstring>

#include "pidl/RecordText.h"

namespace qv::test {

void TestItemList::Append(const void* item, std::size_t size) {
  bytes_.insert(bytes_.end() - 2, static_cast<const BYTE*>(item), static_cast<const BYTE*>(item) + size);
}

TestItemList& TestItemList::Root() {
  std::vector<BYTE> item(20, 0);
  item[0] = 20;
  item[2] = 0x1F;  // registered item in the desktop folder
  for (int i = 4; i < 20; ++i) item[i] = static_cast<BYTE>(0xA0 + i);
  Append(item.data(), item.size());
  return *this;
}

TestItemList& TestItemList::Folder(const std::string& name) { return Folder(MakeFolderRecord(name)); }

TestItemList& TestItemList::Folder(const SearchFolderRecord& record) {
  ItemIdentifier item = {};
  item.cb = kItemSize;
  item.record.folder = record;
  item.record.folder.kind = kFolderKind;
  Append(&item, sizeof item);
  return *this;
}

TestItemList& TestItemList::Result(const std::string& name, const std::string& path, std::uint32_t fileIdList) {
  ItemIdentifier item = {};
  item.cb = kItemSize;
  item.record.result.kind = kResultKind;
  SetFieldText(item.record.result.name, name);
  SetFieldText(item.record.result.filePath, path);
  item.record.result.fileIdList = fileIdList;
  Append(&item, sizeof item);
  return *this;
}

TestItemList& TestItemList::Raw(const std::vector<BYTE>& item) {
  Append(item.data(), item.size());
  return *this;
}

SearchFolderRecord MakeFolderRecord(const std::string& name, const std::string& query, const std::string& category,
                                    int maxResults) {
  SearchFolderRecord record = {};
  SetFieldText(record.name, name);
  SetFieldText(record.query, query);
  SetFieldText(record.category, category);
  record.maxResults = maxResults;
  record.style = kDefaultStyle;
  return record;
}

}  // namespace qv::test
