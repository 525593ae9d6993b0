#include "RemoteList.h"

#include <commctrl.h>

#include <cstring>

#include "common/Holders.h"

namespace qv::probe {
namespace {

constexpr SIZE_T kTextCapacity = 1024;

// Memory in the list's process: one LVITEMW, then its text buffer.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND list, SIZE_T size) : size_(size) {
    DWORD processId = 0;
    GetWindowThreadProcessId(list, &processId);
    process_.Reset(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (process_) address_ = VirtualAllocEx(process_.Get(), nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  }
  ~RemoteBuffer() {
    if (address_) VirtualFreeEx(process_.Get(), address_, 0, MEM_RELEASE);
  }
  explicit operator bool() const { return address_ != nullptr; }
  BYTE* At(SIZE_T offset) const { return static_cast<BYTE*>(address_) + offset; }
  bool Write(SIZE_T offset, const void* data, SIZE_T size) const {
    return offset + size <= size_ && WriteProcessMemory(process_.Get(), At(offset), data, size, nullptr);
  }
  bool Read(SIZE_T offset, void* data, SIZE_T size) const {
    return offset + size <= size_ && ReadProcessMemory(process_.Get(), At(offset), data, size, nullptr);
  }

 private:
  UniqueHandle process_;
  void* address_ = nullptr;
  SIZE_T size_;
};

std::wstring ItemText(HWND list, const RemoteBuffer& buffer, int row, int column) {
  LVITEMW item = {};
  item.iSubItem = column;
  item.cchTextMax = kTextCapacity;
  item.pszText = reinterpret_cast<LPWSTR>(buffer.At(sizeof item));
  wchar_t empty = 0;
  if (!buffer.Write(0, &item, sizeof item) || !buffer.Write(sizeof item, &empty, sizeof empty)) return {};
  SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(buffer.At(0)));
  std::wstring text(kTextCapacity, L'\0');
  if (!buffer.Read(sizeof item, text.data(), kTextCapacity * sizeof(wchar_t))) return {};
  text.resize(wcsnlen(text.c_str(), kTextCapacity));
  return text;
}

bool ItemCentre(HWND list, const RemoteBuffer& buffer, int row, POINT* centre) {
  RECT label = {LVIR_LABEL, 0, 0, 0};
  if (!buffer.Write(0, &label, sizeof label)) return false;
  if (!SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(buffer.At(0)))) return false;
  if (!buffer.Read(0, &label, sizeof label)) return false;
  *centre = {(label.left + label.right) / 2, (label.top + label.bottom) / 2};
  return ClientToScreen(list, centre);
}

void AppendTreeNodes(HWND tree, const RemoteBuffer& buffer, HTREEITEM first, int depth,
                     std::vector<TreeNode>& nodes) {
  for (HTREEITEM node = first; node;
       node = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(node)))) {
    TreeNode shown;
    shown.depth = depth;
    TVITEMW item = {};
    item.mask = TVIF_TEXT | TVIF_STATE | TVIF_HANDLE;
    item.hItem = node;
    item.stateMask = TVIS_SELECTED | TVIS_EXPANDED;
    item.cchTextMax = kTextCapacity;
    item.pszText = reinterpret_cast<LPWSTR>(buffer.At(sizeof item));
    wchar_t empty = 0;
    if (buffer.Write(0, &item, sizeof item) && buffer.Write(sizeof item, &empty, sizeof empty) &&
        SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(buffer.At(0))) && buffer.Read(0, &item, sizeof item)) {
      std::wstring text(kTextCapacity, L'\0');
      if (buffer.Read(sizeof item, text.data(), kTextCapacity * sizeof(wchar_t))) {
        text.resize(wcsnlen(text.c_str(), kTextCapacity));
        shown.name = text;
      }
      shown.selected = (item.state & TVIS_SELECTED) != 0;
      shown.expanded = (item.state & TVIS_EXPANDED) != 0;
    }
    // TVM_GETITEMRECT takes the node in the rectangle it fills.
    RECT box = {};
    std::memcpy(&box, &node, sizeof node);
    if (buffer.Write(0, &box, sizeof box) && SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(buffer.At(0))) &&
        buffer.Read(0, &box, sizeof box)) {
      shown.centre = {(box.left + box.right) / 2, (box.top + box.bottom) / 2};
      ClientToScreen(tree, &shown.centre);
    }
    nodes.push_back(shown);
    if (shown.expanded) {
      auto child = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(node)));
      AppendTreeNodes(tree, buffer, child, depth + 1, nodes);
    }
  }
}

}  // namespace

std::vector<TreeNode> ReadTreeNodes(HWND tree) {
  std::vector<TreeNode> nodes;
  RemoteBuffer buffer(tree, sizeof(TVITEMW) + (kTextCapacity + 1) * sizeof(wchar_t));
  if (!buffer) return nodes;
  auto root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  AppendTreeNodes(tree, buffer, root, 0, nodes);
  return nodes;
}

std::vector<ListRow> ReadListRows(HWND list) {
  std::vector<ListRow> rows;
  RemoteBuffer buffer(list, sizeof(LVITEMW) + (kTextCapacity + 1) * sizeof(wchar_t));
  if (!buffer) return rows;
  int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int index = 0; index < count; ++index) {
    ListRow row;
    row.index = index;
    row.selected = SendMessageW(list, LVM_GETITEMSTATE, index, LVIS_SELECTED) != 0;
    ItemCentre(list, buffer, index, &row.centre);
    row.name = ItemText(list, buffer, index, 0);
    row.detail = ItemText(list, buffer, index, 1);
    rows.push_back(row);
  }
  return rows;
}

}  // namespace qv::probe
