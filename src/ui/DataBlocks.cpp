#include "ui/DataBlocks.h"

#include <shlobj.h>

#include <cstring>
#include <limits>

#include "common/Text.h"
#include "pidl/CPidlManager.h"

namespace qv {
namespace {

// Offsets inside the blocks are 32-bit, so no block may be larger.
constexpr std::uint64_t kLargestBlock = std::numeric_limits<std::uint32_t>::max();

GlobalMemory AllocateBlock(std::uint64_t size) {
  if (size == 0 || size > kLargestBlock) return GlobalMemory();
  return GlobalMemory(GlobalAlloc(kBlockAllocationFlags, static_cast<SIZE_T>(size)));
}

void WriteWord(BYTE* block, std::uint64_t offset, std::uint32_t value) {
  std::memcpy(block + offset, &value, sizeof value);
}

std::uint32_t ReadWord(const BYTE* block, std::size_t offset) {
  std::uint32_t value;
  std::memcpy(&value, block + offset, sizeof value);
  return value;
}

// The layout both list formats share: `leading` 32-bit words (the first `count`
// of them given), one offset for the folder list and one per item list, the
// lists one after another, and a closing zero byte.
GlobalMemory BuildOffsetListBlock(const std::vector<std::uint32_t>& leading, LPCITEMIDLIST folder,
                                  const LPCITEMIDLIST* items, std::size_t count) {
  if (!folder || (count && !items)) return GlobalMemory();
  std::vector<LPCITEMIDLIST> lists(1, folder);
  lists.insert(lists.end(), items, items + count);

  std::uint64_t headerSize = 4 * (std::uint64_t{leading.size()} + lists.size());
  std::uint64_t size = headerSize + 1;
  for (LPCITEMIDLIST list : lists) {
    if (!list) return GlobalMemory();
    size += CPidlManager::GetSize(list);
    if (size > kLargestBlock) return GlobalMemory();
  }
  GlobalMemory block = AllocateBlock(size);
  GlobalLockGuard lock(block.Get());
  auto* bytes = static_cast<BYTE*>(lock.Get());
  if (!bytes) return GlobalMemory();

  std::uint64_t word = 0;
  for (std::uint32_t value : leading) WriteWord(bytes, 4 * word++, value);
  std::uint64_t position = headerSize;
  for (LPCITEMIDLIST list : lists) {
    WriteWord(bytes, 4 * word++, static_cast<std::uint32_t>(position));
    std::size_t listSize = CPidlManager::GetSize(list);
    // The items and the terminator; the spare zero byte is already in place.
    std::memcpy(bytes + position, list, listSize - 1);
    position += listSize;
  }
  return block;
}

// Reads the offsets that follow `leading` words, the word at countIndex giving
// the number of item lists.
bool ReadOffsetListBlock(const void* block, std::size_t size, std::size_t leading, std::size_t countIndex,
                         DroppedLists& lists) {
  lists = DroppedLists();
  const auto* bytes = static_cast<const BYTE*>(block);
  if (!bytes || size < 4 * (leading + 1)) return false;
  std::uint64_t count = ReadWord(bytes, 4 * countIndex);
  std::uint64_t headerSize = 4 * (leading + 1 + count);
  if (headerSize > size) return false;

  DroppedLists read;
  read.items.reserve(static_cast<std::size_t>(count));
  for (std::uint64_t i = 0; i <= count; ++i) {
    std::size_t offset = ReadWord(bytes, static_cast<std::size_t>(4 * (leading + i)));
    if (offset < headerSize || offset >= size || !CheckedListSize(bytes + offset, size - offset)) return false;
    auto list = reinterpret_cast<LPCITEMIDLIST>(bytes + offset);
    if (i == 0) {
      read.folder = list;
    } else {
      read.items.push_back(list);
    }
  }
  lists = std::move(read);
  return true;
}

}  // namespace

CLIPFORMAT PrivateClipboardFormat() { return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(ToWide(kPrivateFormatName).c_str())); }

CLIPFORMAT IdListArrayClipboardFormat() { return static_cast<CLIPFORMAT>(RegisterClipboardFormat(CFSTR_SHELLIDLIST)); }

CLIPFORMAT DragLoopClipboardFormat() { return static_cast<CLIPFORMAT>(RegisterClipboardFormat(CFSTR_INDRAGLOOP)); }

FORMATETC GlobalMemoryFormat(CLIPFORMAT format) { return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

GlobalMemory BuildFolderDropBlock(LPCITEMIDLIST folder, const LPCITEMIDLIST* items, std::size_t count) {
  if (count > kLargestBlock) return GlobalMemory();
  // This component's blocks never ask the target to move by themselves; the
  // drop effect decides.
  const std::uint32_t moveFlag = 0;
  return BuildOffsetListBlock({moveFlag, static_cast<std::uint32_t>(count)}, folder, items, count);
}

GlobalMemory BuildIdListArrayBlock(LPCITEMIDLIST folder, const LPCITEMIDLIST* items, std::size_t count) {
  if (count > kLargestBlock) return GlobalMemory();
  return BuildOffsetListBlock({static_cast<std::uint32_t>(count)}, folder, items, count);
}

GlobalMemory BuildFileListBlock(const std::vector<std::wstring>& paths) {
  std::uint64_t size = sizeof(DROPFILES) + sizeof(wchar_t);
  for (const std::wstring& path : paths) {
    size += (std::uint64_t{path.size()} + 1) * sizeof(wchar_t);
    if (size > kLargestBlock) return GlobalMemory();
  }
  GlobalMemory block = AllocateBlock(size);
  GlobalLockGuard lock(block.Get());
  auto* bytes = static_cast<BYTE*>(lock.Get());
  if (!bytes) return GlobalMemory();

  auto* header = reinterpret_cast<DROPFILES*>(bytes);
  header->pFiles = sizeof(DROPFILES);
  header->pt = POINT{0, 0};
  header->fNC = FALSE;
  header->fWide = TRUE;
  BYTE* position = bytes + sizeof(DROPFILES);
  for (const std::wstring& path : paths) {
    std::memcpy(position, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    position += (path.size() + 1) * sizeof(wchar_t);
  }
  // The zero-filled block already holds the terminator of the list.
  return block;
}

GlobalMemory BuildDragLoopBlock() {
  GlobalMemory block = AllocateBlock(sizeof(std::uint32_t));
  GlobalLockGuard lock(block.Get());
  if (!lock.Get()) return GlobalMemory();
  WriteWord(static_cast<BYTE*>(lock.Get()), 0, 1);
  return block;
}

bool ReadFolderDropBlock(const void* block, std::size_t size, DroppedLists& lists) {
  // Move flag and count come first; the count is the second word.
  return ReadOffsetListBlock(block, size, 2, 1, lists);
}

bool ReadIdListArrayBlock(const void* block, std::size_t size, DroppedLists& lists) {
  return ReadOffsetListBlock(block, size, 1, 0, lists);
}

std::size_t CheckedListSize(const BYTE* data, std::size_t available) {
  if (!data) return 0;
  std::size_t position = 0;
  while (available - position >= sizeof(USHORT)) {
    USHORT cb;
    std::memcpy(&cb, data + position, sizeof cb);
    if (cb == 0) return position + sizeof cb;
    if (cb < sizeof cb || cb > available - position) return 0;
    position += cb;
  }
  return 0;
}

}  // namespace qv
