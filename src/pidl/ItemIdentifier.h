#pragma once
// The component's 323-byte item identifier: one item of an ID list that names a
// search folder (kind 0) or a search result (kind 1). The layout is stored by the
// shell in its own places, so it never changes.

#include <windows.h>
#include <shtypes.h>

#include <cstddef>
#include <cstdint>

namespace qv {

constexpr std::int32_t kFolderKind = 0;
constexpr std::int32_t kResultKind = 1;

constexpr std::size_t kNameSize = 50;
constexpr std::size_t kQuerySize = 200;
constexpr std::size_t kCategorySize = 20;
constexpr std::size_t kPathSize = 260;

constexpr USHORT kItemSize = 323;
// A one-item list the component allocates: the item, the 2-byte terminator and a
// spare zero byte.
constexpr std::size_t kListOverhead = 3;

#pragma pack(push, 1)

// The kind-0 reading of the 321 bytes after an item's size field.
struct SearchFolderRecord {
  std::int32_t kind;
  char name[kNameSize];
  std::uint16_t reserved;
  char query[kQuerySize];
  char category[kCategorySize];
  std::int32_t rankByRecency;
  std::int32_t maxResults;
  std::int32_t style;
  std::uint8_t rest[33];
};

// The kind-1 reading. fileIdList is a process-local handle into the module's
// table of parsed shell ID lists (CFileIdListTable), never an address: an item
// that comes back from another process or a restart is checked against filePath.
struct ResultRecord {
  std::int32_t kind;
  char name[kNameSize];
  std::uint16_t reserved;
  char filePath[kPathSize];
  std::uint32_t fileIdList;
  std::uint8_t rest[1];
};

union ItemRecord {
  struct {
    std::int32_t kind;
    char name[kNameSize];
  } common;
  SearchFolderRecord folder;
  ResultRecord result;
};

struct ItemIdentifier {
  USHORT cb;
  ItemRecord record;
};

#pragma pack(pop)

static_assert(sizeof(SearchFolderRecord) == 321);
static_assert(sizeof(ResultRecord) == 321);
static_assert(sizeof(ItemRecord) == 321);
static_assert(sizeof(ItemIdentifier) == kItemSize);
static_assert(offsetof(ItemIdentifier, record) == 2);
static_assert(offsetof(SearchFolderRecord, kind) + 2 == 2);
static_assert(offsetof(SearchFolderRecord, name) + 2 == 6);
static_assert(offsetof(SearchFolderRecord, reserved) + 2 == 56);
static_assert(offsetof(SearchFolderRecord, query) + 2 == 58);
static_assert(offsetof(SearchFolderRecord, category) + 2 == 258);
static_assert(offsetof(SearchFolderRecord, rankByRecency) + 2 == 278);
static_assert(offsetof(SearchFolderRecord, maxResults) + 2 == 282);
static_assert(offsetof(SearchFolderRecord, style) + 2 == 286);
static_assert(offsetof(SearchFolderRecord, rest) + 2 == 290);
static_assert(offsetof(ResultRecord, filePath) + 2 == 58);
static_assert(offsetof(ResultRecord, fileIdList) + 2 == 318);
static_assert(offsetof(ResultRecord, rest) + 2 == 322);

// Defaults of a folder element's attributes when they are absent.
constexpr std::int32_t kDefaultMaxResults = 100;
constexpr std::int32_t kDefaultStyle = 32768;

}  // namespace qv
