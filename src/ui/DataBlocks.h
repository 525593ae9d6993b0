#pragma once
// The global memory blocks in which dragged and copied items travel, built for
// the data object and read back by the drop target. Blocks that come back may
// have been made by another process or damaged on the way, so every offset,
// count and item size in them is checked against the block before use.

#include <windows.h>
#include <shtypes.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/Holders.h"

namespace qv {

// The component's own clipboard format, read back by its drop target.
constexpr char kPrivateFormatName[] = "quorvaneDataFormat";

// The registered numbers of the component's format and of the shell's two.
CLIPFORMAT PrivateClipboardFormat();
CLIPFORMAT IdListArrayClipboardFormat();
CLIPFORMAT DragLoopClipboardFormat();

// A request for format in global memory, as every block here travels.
FORMATETC GlobalMemoryFormat(CLIPFORMAT format);

// The component's own block: move flag, item count, offset of the folder list,
// one offset per item list, then the lists.
constexpr std::size_t kFolderDropHeaderSize = 12;
// The shell's CIDA block: item count, then the folder's offset and the items'.
constexpr std::size_t kIdListArrayHeaderSize = 4;

// Allocation flags of every block handed out; the receiver frees it.
constexpr UINT kBlockAllocationFlags = GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE;

// Each builder answers an empty holder when the block cannot be allocated or its
// size would not fit the block's 32-bit offsets.
GlobalMemory BuildFolderDropBlock(LPCITEMIDLIST folder, const LPCITEMIDLIST* items, std::size_t count);
GlobalMemory BuildIdListArrayBlock(LPCITEMIDLIST folder, const LPCITEMIDLIST* items, std::size_t count);
// A wide DROPFILES list of the paths, whole, each terminated, then one more.
GlobalMemory BuildFileListBlock(const std::vector<std::wstring>& paths);
// The 4-byte block holding 1 that marks a drag inside the shell.
GlobalMemory BuildDragLoopBlock();

// The lists of a block that was read back; they point into the block.
struct DroppedLists {
  LPCITEMIDLIST folder = nullptr;
  std::vector<LPCITEMIDLIST> items;
};

// Reads a block of the component's own format or of the shell's CIDA format.
// False, with nothing read, for a block whose count or offsets leave it or whose
// lists run past its end.
bool ReadFolderDropBlock(const void* block, std::size_t size, DroppedLists& lists);
bool ReadIdListArrayBlock(const void* block, std::size_t size, DroppedLists& lists);

// The bytes of the ID list at the start of data (its items and terminator), or 0
// when the list does not end within `available` bytes or holds an impossible item.
std::size_t CheckedListSize(const BYTE* data, std::size_t available);

}  // namespace qv
