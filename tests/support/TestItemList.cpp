#include "support/TestItemList.h"

#include <cstring>

#include "common/Text.h"

namespace qv::test {
namespace {

template <std::size_t N>
void SetAnsi(char (&field)[N], const std::string& utf8) {
  std::string ansi = Utf8ToAnsi(utf8);
  std::memset(field, 0, N);
  std::memcpy(field, ansi.data(), ansi.size() < N ? ansi.size() : N - 1);
}

ItemIdentifier FolderBase(const FolderSettings& settings) {
  ItemIdentifier item = {};
  item.cb = kItemSize;
  item.record.folder.kind = kFolderKind;
  SetAnsi(item.record.folder.name, settings.name);
  SetAnsi(item.record.folder.query, settings.query);
  SetAnsi(item.record.folder.category, settings.category);
  item.record.folder.rankByRecency = settings.rankByRecency;
  item.record.folder.maxResults = settings.maxResults;
  item.record.folder.style = settings.style;
  return item;
}

ItemIdentifier ResultBase(const std::string& name, const std::string& path, std::uint32_t fileIdList) {
  ItemIdentifier item = {};
  item.cb = kItemSize;
  item.record.result.kind = kResultKind;
  SetAnsi(item.record.result.name, name);
  SetAnsi(item.record.result.filePath, path);
  item.record.result.fileIdList = fileIdList;
  return item;
}

}  // namespace

void TestItemList::Append(const void* item, std::size_t size) {
  bytes_.insert(bytes_.end() - 2, static_cast<const BYTE*>(item), static_cast<const BYTE*>(item) + size);
}

void TestItemList::AppendExtended(const ItemIdentifier& base, const std::string& name, const std::string& text) {
  std::vector<BYTE> item(sizeof base);
  std::memcpy(item.data(), &base, sizeof base);
  ItemExtensionHeader header{kExtensionSignature,
                             static_cast<std::uint16_t>(sizeof(ItemExtensionHeader) + name.size() + text.size()),
                             kExtensionVersion, static_cast<std::uint16_t>(name.size()),
                             static_cast<std::uint16_t>(text.size())};
  const BYTE* headerBytes = reinterpret_cast<const BYTE*>(&header);
  item.insert(item.end(), headerBytes, headerBytes + sizeof header);
  item.insert(item.end(), name.begin(), name.end());
  item.insert(item.end(), text.begin(), text.end());
  auto cb = static_cast<USHORT>(item.size());
  std::memcpy(item.data(), &cb, sizeof cb);
  Append(item.data(), item.size());
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

TestItemList& TestItemList::Folder(const FolderSettings& settings) {
  AppendExtended(FolderBase(settings), settings.name, settings.query);
  return *this;
}

TestItemList& TestItemList::Result(const std::string& name, const std::string& path, std::uint32_t fileIdList) {
  AppendExtended(ResultBase(name, path, fileIdList), name, path);
  return *this;
}

TestItemList& TestItemList::LegacyFolder(const FolderSettings& settings) {
  ItemIdentifier item = FolderBase(settings);
  Append(&item, sizeof item);
  return *this;
}

TestItemList& TestItemList::LegacyResult(const std::string& name, const std::string& path, std::uint32_t fileIdList) {
  ItemIdentifier item = ResultBase(name, path, fileIdList);
  Append(&item, sizeof item);
  return *this;
}

TestItemList& TestItemList::Raw(const std::vector<BYTE>& item) {
  Append(item.data(), item.size());
  return *this;
}

FolderSettings MakeFolderRecord(const std::string& name, const std::string& query, const std::string& category,
                                int maxResults) {
  FolderSettings settings;
  settings.name = name;
  settings.query = query;
  settings.category = category;
  settings.maxResults = maxResults;
  return settings;
}

}  // namespace qv::test
