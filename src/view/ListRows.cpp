#include "view/ListRows.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "runtime/ModuleObjects.h"
#include "common/Text.h"
#include "pidl/CPidlManager.h"
#include "view/ItemColumns.h"

namespace qv {
namespace {

bool IsResult(LPCITEMIDLIST item) { return CPidlManager::IsResultItem(item); }

// The most bytes an item holds of either text.
constexpr std::size_t kMostTextBytes = 0xFFFF;

}  // namespace

void ListRows::FreeItem::operator()(ITEMIDLIST* item) const {
  if (CPidlManager* manager = ThePidlManager()) manager->Free(item);
}

void ListRows::Clear() {
  rows_.clear();
  results_ = 0;
  keyColumn_ = -1;
  sortedRows_ = 0;
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

bool ListRows::AppendResult(std::string_view name, std::string_view path) {
  if (name.size() > kMostTextBytes || path.size() > kMostTextBytes) return false;
  Row row;
  row.texts.reset(new char[name.size() + path.size() + 2]);
  std::memcpy(row.texts.get(), name.data(), name.size());
  row.texts[name.size()] = '\0';
  std::memcpy(row.texts.get() + name.size() + 1, path.data(), path.size());
  row.texts[name.size() + 1 + path.size()] = '\0';
  row.nameBytes = static_cast<std::uint32_t>(name.size());
  row.pathBytes = static_cast<std::uint32_t>(path.size());
  row.rank = results_ + 1;
  rows_.push_back(std::move(row));
  ++results_;
  return true;
}

void ListRows::Remove(int index) {
  if (index < 0 || index >= Count()) return;
  rows_.erase(rows_.begin() + index);
  // The rows left keep their order.
  if (static_cast<std::size_t>(index) < sortedRows_) --sortedRows_;
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
  // Its key changes: the next sort orders every row again.
  sortedRows_ = 0;
}

LPCITEMIDLIST ListRows::ItemOf(const Row& row) {
  if (!row.item && row.texts) {
    CPidlManager* manager = ThePidlManager();
    if (!manager) return nullptr;
    std::string name(row.texts.get(), row.nameBytes);
    std::string path(row.texts.get() + row.nameBytes + 1, row.pathBytes);
    row.item.reset(manager->CreateResultItem(name, path, 0));
    if (row.item) CPidlManager::SetResultRank(row.item.get(), row.rank);
  }
  return row.item.get();
}

LPCITEMIDLIST ListRows::Item(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return ItemOf(rows_[static_cast<std::size_t>(index)]);
}

std::string_view ListRows::ResultName(int index) const {
  if (index < 0 || index >= Count()) return {};
  const Row& row = rows_[static_cast<std::size_t>(index)];
  if (row.texts) return {row.texts.get(), row.nameBytes};
  return {};
}

std::string_view ListRows::ResultPath(int index) const {
  if (index < 0 || index >= Count()) return {};
  const Row& row = rows_[static_cast<std::size_t>(index)];
  if (row.texts) return {row.texts.get() + row.nameBytes + 1, row.pathBytes};
  return {};
}

ItemFields ListRows::FieldsOf(const Row& row, std::unique_ptr<FieldsOfItem>& texts) {
  if (row.texts) {
    return ItemFields{true, {row.texts.get(), row.nameBytes}, {row.texts.get() + row.nameBytes + 1, row.pathBytes},
                      row.rank};
  }
  texts = std::make_unique<FieldsOfItem>(row.item.get());
  return texts->Get();
}

std::uint32_t ListRows::Rank(int index) const {
  return index < 0 || index >= Count() ? 0 : rows_[static_cast<std::size_t>(index)].rank;
}

int ListRows::Find(LPCITEMIDLIST item) const {
  if (!item) return -1;
  // A row of texts is a result item of that name and path: it is compared as
  // one without its identifier being made.
  LPCITEMIDLIST last = CPidlManager::GetLastItem(item);
  const bool result = CPidlManager::KindOf(last) == ItemKind::Result;
  const std::string name = result ? CPidlManager::ItemName(last) : std::string();
  const std::string path = result ? CPidlManager::ResultPath(last) : std::string();
  for (int index = 0; index < Count(); ++index) {
    const Row& row = rows_[static_cast<std::size_t>(index)];
    if (row.texts) {
      if (result && ResultName(index) == name && ResultPath(index) == path) return index;
    } else if (CPidlManager::IsSameItem(row.item.get(), item)) {
      return index;
    }
  }
  return -1;
}

int ListRows::FindByPrefix(const std::wstring& prefix, int start) const {
  if (prefix.empty() || rows_.empty()) return -1;
  int count = Count();
  start = start < 0 || start >= count ? 0 : start;
  for (int step = 0; step < count; ++step) {
    int index = (start + step) % count;
    const Row& row = rows_[static_cast<std::size_t>(index)];
    std::wstring name = row.texts ? FromUtf8(row.texts.get(), row.nameBytes)
                                  : ToWide(CPidlManager::ItemName(row.item.get()));
    if (name.size() < prefix.size()) continue;
    if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name.c_str(), static_cast<int>(prefix.size()),
                       prefix.c_str(), static_cast<int>(prefix.size())) == CSTR_EQUAL)
      return index;
  }
  return -1;
}

const FileFacts& ListRows::Facts(Row& row) {
  if (!row.factsRead) {
    row.facts = ReadFileFacts(row.texts ? std::string(row.texts.get() + row.nameBytes + 1, row.pathBytes)
                                        : CPidlManager::ResultPath(row.item.get()));
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
    std::unique_ptr<FieldsOfItem> texts;
    row.key = ColumnSortKey(FieldsOf(row, texts), column, [&]() -> const FileFacts& { return Facts(row); }, types_);
  }
  keyColumn_ = static_cast<int>(column);
}

const std::string& ListRows::TieKeyOf(const Row& row) {
  if (!row.tieKey) {
    std::unique_ptr<FieldsOfItem> texts;
    row.tieKey = std::make_unique<std::string>(TieKey(FieldsOf(row, texts)));
  }
  return *row.tieKey;
}

void ListRows::Sort(ListColumn column, bool ascending, std::vector<int>* placeOf) {
  const bool sameOrder = keyColumn_ == static_cast<int>(column) && sortedAscending_ == ascending;
  MakeKeys(column);
  for (std::size_t index = 0; index < rows_.size(); ++index) rows_[index].place = static_cast<std::uint32_t>(index);
  auto before = [ascending](const Row& first, const Row& second) {
    auto ties = [&] { return TieKeyOf(first).compare(TieKeyOf(second)); };
    return CompareColumnKeys(first.rank != 0, first.key, second.rank != 0, second.key, ties, ascending) < 0;
  };
  // Rows appended to rows already in this order are sorted alone and merged
  // in: the same order a sort of all of them gives (equal rows keep theirs),
  // at the cost of the new rows, not of the whole list each time rows arrive.
  const std::size_t sorted = sameOrder ? std::min(sortedRows_, rows_.size()) : 0;
  const auto middle = rows_.begin() + static_cast<std::ptrdiff_t>(sorted);
  std::stable_sort(middle, rows_.end(), before);
  std::inplace_merge(rows_.begin(), middle, rows_.end(), before);
  sortedRows_ = rows_.size();
  sortedAscending_ = ascending;
  if (!placeOf) return;
  placeOf->assign(rows_.size(), -1);
  for (std::size_t index = 0; index < rows_.size(); ++index) (*placeOf)[rows_[index].place] = static_cast<int>(index);
}

std::wstring ListRows::Text(int index, ListColumn column) {
  if (index < 0 || index >= Count()) return {};
  Row& row = rows_[static_cast<std::size_t>(index)];
  std::unique_ptr<FieldsOfItem> texts;
  return ColumnText(FieldsOf(row, texts), column, [&]() -> const FileFacts& { return Facts(row); }, types_);
}

int ListRows::Image(int index) const {
  return index < 0 || index >= Count() ? -1 : rows_[static_cast<std::size_t>(index)].image;
}

void ListRows::SetImage(int index, int image) {
  if (index >= 0 && index < Count()) rows_[static_cast<std::size_t>(index)].image = image;
}

std::string ListRows::DetailText(LPCITEMIDLIST item) { return qv::DetailText(item); }

}  // namespace qv
