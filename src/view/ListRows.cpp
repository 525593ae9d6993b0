#include "view/ListRows.h"

#include <algorithm>
#include <new>

#include "runtime/ModuleObjects.h"
#include "common/Text.h"
#include "pidl/CPidlManager.h"
#include "view/ItemColumns.h"

namespace qv {
namespace {

bool IsResult(LPCITEMIDLIST item) { return CPidlManager::IsResultItem(item); }

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
  if (IsResult(item)) {
    row.rank = ++results_;
    // The item tells its rank wherever it goes (the shell's columns, its order).
    CPidlManager::SetResultRank(item, row.rank);
  }
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
    row.key = ColumnSortKey(row.item.get(), column, [&]() -> const FileFacts& { return Facts(row); }, types_);
  }
  keyColumn_ = static_cast<int>(column);
}

const std::string& ListRows::TieKeyOf(const Row& row) {
  if (!row.tieKeyed) {
    row.tieKey = TieKey(row.item.get());
    row.tieKeyed = true;
  }
  return row.tieKey;
}

void ListRows::Sort(ListColumn column, bool ascending) {
  MakeKeys(column);
  std::stable_sort(rows_.begin(), rows_.end(), [ascending](const Row& first, const Row& second) {
    auto ties = [&] { return TieKeyOf(first).compare(TieKeyOf(second)); };
    return CompareColumnKeys(first.rank != 0, first.key, second.rank != 0, second.key, ties, ascending) < 0;
  });
}

std::wstring ListRows::Text(int index, ListColumn column) {
  if (index < 0 || index >= Count()) return {};
  Row& row = rows_[static_cast<std::size_t>(index)];
  return ColumnText(row.item.get(), column, [&]() -> const FileFacts& { return Facts(row); }, types_);
}

int ListRows::Image(int index) const {
  return index < 0 || index >= Count() ? -1 : rows_[static_cast<std::size_t>(index)].image;
}

void ListRows::SetImage(int index, int image) {
  if (index >= 0 && index < Count()) rows_[static_cast<std::size_t>(index)].image = image;
}

std::string ListRows::DetailText(LPCITEMIDLIST item) { return qv::DetailText(item); }

}  // namespace qv
