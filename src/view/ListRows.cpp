#include "view/ListRows.h"

#include <algorithm>
#include <new>

#include "runtime/ModuleObjects.h"
#include "common/Text.h"
#include "pidl/CPidlManager.h"

namespace qv {
namespace {

bool IsResult(LPCITEMIDLIST item) { return CPidlManager::IsResultItem(item); }

// The user's collation of a text as bytes: comparing two keys orders the texts
// as comparing the texts themselves would, at the cost of one conversion each.
std::string SortKey(const std::wstring& text) {
  int size = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) return {};
  std::string key(static_cast<std::size_t>(size), '\0');
  LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, text.c_str(), static_cast<int>(text.size()),
               reinterpret_cast<LPWSTR>(key.data()), size);
  if (!key.empty() && key.back() == '\0') key.pop_back();
  return key;
}

// A number as bytes that order as the number does.
std::string NumberKey(std::uint64_t value) {
  std::string key(8, '\0');
  for (int i = 7; i >= 0; --i, value >>= 8) key[static_cast<std::size_t>(i)] = static_cast<char>(value & 0xFF);
  return key;
}

}  // namespace

void ListRows::FreeItem::operator()(ITEMIDLIST* item) const {
  if (CPidlManager* manager = ThePidlManager()) manager->Free(item);
}

void ListRows::Clear() {
  rows_.clear();
  results_ = 0;
  keyColumn_ = -1;
}

void ListRows::Append(LPITEMIDLIST item) {
  std::unique_ptr<ITEMIDLIST, FreeItem> owned(item);
  if (!owned) throw std::bad_alloc();
  Row row;
  if (IsResult(item)) row.rank = ++results_;
  row.item = std::move(owned);
  // The keys of the rows already there stay; the next sort makes this one's.
  rows_.push_back(std::move(row));
}

void ListRows::Remove(int index) {
  if (index < 0 || index >= Count()) return;
  rows_.erase(rows_.begin() + index);
}

void ListRows::Replace(int index, LPITEMIDLIST item) {
  std::unique_ptr<ITEMIDLIST, FreeItem> owned(item);
  if (!owned) throw std::bad_alloc();
  if (index < 0 || index >= Count()) return;
  Row& row = rows_[static_cast<std::size_t>(index)];
  Row replaced;
  replaced.rank = row.rank;
  replaced.item = std::move(owned);
  row = std::move(replaced);
}

LPCITEMIDLIST ListRows::Item(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return rows_[static_cast<std::size_t>(index)].item.get();
}

std::uint32_t ListRows::Rank(int index) const {
  return index < 0 || index >= Count() ? 0 : rows_[static_cast<std::size_t>(index)].rank;
}

int ListRows::Find(LPCITEMIDLIST item) const {
  if (!item) return -1;
  for (int index = 0; index < Count(); ++index) {
    if (CPidlManager::IsSameItem(rows_[static_cast<std::size_t>(index)].item.get(), item)) return index;
  }
  return -1;
}

int ListRows::FindByPrefix(const std::wstring& prefix, int start) const {
  if (prefix.empty() || rows_.empty()) return -1;
  int count = Count();
  start = start < 0 || start >= count ? 0 : start;
  for (int step = 0; step < count; ++step) {
    int index = (start + step) % count;
    std::wstring name = ToWide(CPidlManager::ItemName(rows_[static_cast<std::size_t>(index)].item.get()));
    if (name.size() < prefix.size()) continue;
    if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name.c_str(), static_cast<int>(prefix.size()),
                       prefix.c_str(), static_cast<int>(prefix.size())) == CSTR_EQUAL)
      return index;
  }
  return -1;
}

const FileFacts& ListRows::Facts(Row& row) {
  if (!row.factsRead) {
    row.facts = ReadFileFacts(CPidlManager::ResultPath(row.item.get()));
    row.factsRead = true;
  }
  return row.facts;
}

void ListRows::MakeKeys(ListColumn column) {
  // Rows arriving while a list fills get their keys alone; a new column all.
  const bool sameColumn = keyColumn_ == static_cast<int>(column);
  for (Row& row : rows_) {
    if (sameColumn && row.keyed) continue;
    row.keyed = true;
    LPCITEMIDLIST item = row.item.get();
    bool result = row.rank != 0;
    switch (column) {
      case ListColumn::Name:
        row.key = SortKey(ToWide(CPidlManager::ItemName(item)));
        break;
      case ListColumn::Details:
        row.key = SortKey(ToWide(DetailText(item)));
        break;
      case ListColumn::Modified:
        row.key = result ? NumberKey(Facts(row).modified) : std::string();
        break;
      case ListColumn::Type:
        row.key = result ? SortKey(types_.NameFor(CPidlManager::ResultPath(item))) : std::string();
        break;
      case ListColumn::Size:
        row.key = result ? NumberKey(Facts(row).size) : std::string();
        break;
      case ListColumn::Rank:
        row.key = NumberKey(row.rank);
        break;
    }
  }
  keyColumn_ = static_cast<int>(column);
}

void ListRows::Sort(ListColumn column, bool ascending) {
  MakeKeys(column);
  std::stable_sort(rows_.begin(), rows_.end(), [ascending](const Row& first, const Row& second) {
    bool firstIsResult = first.rank != 0;
    if (firstIsResult != (second.rank != 0)) return !firstIsResult;
    return ascending ? first.key < second.key : second.key < first.key;
  });
}

std::wstring ListRows::Text(int index, ListColumn column) {
  if (index < 0 || index >= Count()) return {};
  Row& row = rows_[static_cast<std::size_t>(index)];
  LPCITEMIDLIST item = row.item.get();
  bool result = row.rank != 0;
  switch (column) {
    case ListColumn::Name:
      return ToWide(CPidlManager::ItemName(item));
    case ListColumn::Details:
      return ToWide(DetailText(item));
    case ListColumn::Modified:
      return result && Facts(row).found ? FormatModified(row.facts.modified) : std::wstring();
    case ListColumn::Type: {
      std::string path = result ? CPidlManager::ResultPath(item) : std::string();
      return path.empty() ? std::wstring() : types_.NameFor(path);
    }
    case ListColumn::Size:
      return result && Facts(row).found ? FormatSize(row.facts.size) : std::wstring();
    case ListColumn::Rank:
      return result ? std::to_wstring(row.rank) : std::wstring();
  }
  return {};
}

int ListRows::Image(int index) const {
  return index < 0 || index >= Count() ? -1 : rows_[static_cast<std::size_t>(index)].image;
}

void ListRows::SetImage(int index, int image) {
  if (index >= 0 && index < Count()) rows_[static_cast<std::size_t>(index)].image = image;
}

std::string ListRows::DetailText(LPCITEMIDLIST item) {
  FolderSettings settings;
  if (CPidlManager::ReadFolderSettings(item, settings)) return settings.query;
  return CPidlManager::ResultPath(item);
}

}  // namespace qv
