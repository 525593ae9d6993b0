#pragma once
// The component's item identifier: one item of an ID list that names a search
// folder (kind 0) or a search result (kind 1). The layout is stored by the shell
// in its own places (shortcuts, pinned folders, saved view state), so what was
// written once must always read back:
//
//   base record, 323 bytes (cb included): the original layout. Its text fields
//     are ANSI copies, cut to their sizes, kept for readers of that layout.
//     An item of exactly 323 bytes is an item of that layout and is read as such.
//   extension (items written now), right after the base record and covered by cb:
//     ItemExtensionHeader (signature "QVX1", its own size, version, the byte
//     lengths of the two texts), then the UTF-8 name and the UTF-8 text: a
//     folder's search string, or a result's full file path of any length.
//     The extension's texts are what identify the item; the base copies never do.
//
// Anything else (another size, a bad signature, lengths that do not add up,
// text that is not UTF-8) is not one of the component's items.

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

// The kind-1 reading. rankLow and rankHigh hold the result's place in its
// folder's results (1 for the first; 0 in items that do not know it), low 16
// bits and high 8 bits. fileIdList is a process-local handle into the module's
// table of parsed shell ID lists (CFileIdListTable), never an address: an item
// that comes back from another process or a restart is checked against filePath.
struct ResultRecord {
  std::int32_t kind;
  char name[kNameSize];
  std::uint16_t rankLow;
  char filePath[kPathSize];
  std::uint32_t fileIdList;
  std::uint8_t rankHigh;
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

struct ItemExtensionHeader {
  std::uint32_t signature;   // kExtensionSignature
  std::uint16_t size;        // header plus both texts
  std::uint16_t version;     // kExtensionVersion
  std::uint16_t nameBytes;   // UTF-8 name, no terminator
  std::uint16_t textBytes;   // UTF-8 search string or file path, no terminator
};

#pragma pack(pop)

constexpr std::uint32_t kExtensionSignature = 0x31585651;  // "QVX1" as stored
constexpr std::uint16_t kExtensionVersion = 1;
static_assert(sizeof(ItemExtensionHeader) == 12);
// The largest item the shell's 16-bit size can describe.
constexpr std::size_t kMaxItemSize = 0xFFFF;

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
static_assert(offsetof(ResultRecord, rankLow) + 2 == 56);
static_assert(offsetof(ResultRecord, rankHigh) + 2 == 322);
// The highest rank an item holds; later results share it.
constexpr std::uint32_t kMaxItemRank = 0xFFFFFF;

// Defaults of a folder element's attributes when they are absent.
constexpr std::int32_t kDefaultMaxResults = 100;
constexpr std::int32_t kDefaultStyle = 32768;

}  // namespace qv
