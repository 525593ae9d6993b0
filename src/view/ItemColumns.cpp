#include "view/ItemColumns.h"

#include <commctrl.h>

#include <cstdint>

#include "common/Text.h"
#include "pidl/CPidlManager.h"
#include "resources/resource.h"

namespace qv {
namespace {

// The user's collation of a text as bytes: comparing two keys orders the texts
// as comparing the texts themselves would, at the cost of one conversion each.
std::string CollationKey(const std::wstring& text) {
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

bool IsResult(LPCITEMIDLIST item) { return CPidlManager::KindOf(item) == ItemKind::Result; }

}  // namespace

const FileFacts& FactsOnDemand::operator()() {
  if (!read_) facts_ = ReadFileFacts(CPidlManager::ResultPath(item_));
  read_ = true;
  return facts_;
}

ColumnHeading HeadingOf(ListColumn column) {
  switch (column) {
    case ListColumn::Name:
      return {IDS_NAME_COLUMN, LVCFMT_LEFT, 30};
    case ListColumn::Details:
      return {IDS_DETAILS_COLUMN, LVCFMT_LEFT, 40};
    case ListColumn::Modified:
      return {IDS_MODIFIED_COLUMN, LVCFMT_LEFT, 18};
    case ListColumn::Type:
      return {IDS_TYPE_COLUMN, LVCFMT_LEFT, 20};
    case ListColumn::Size:
      return {IDS_SIZE_COLUMN, LVCFMT_RIGHT, 10};
    case ListColumn::Rank:
      return {IDS_RANK_COLUMN, LVCFMT_RIGHT, 6};
  }
  return {IDS_NAME_COLUMN, LVCFMT_LEFT, 30};
}

FieldsOfItem::FieldsOfItem(LPCITEMIDLIST item) : name_(CPidlManager::ItemName(item)), detail_(DetailText(item)) {
  fields_.result = IsResult(item);
  fields_.name = name_;
  fields_.detail = detail_;
  fields_.rank = fields_.result ? CPidlManager::ResultRank(item) : 0;
}

std::wstring ColumnText(const ItemFields& item, ListColumn column, const FactsSource& facts, FileTypeNames& types) {
  const bool result = item.result;
  switch (column) {
    case ListColumn::Name:
      return FromUtf8(item.name.data(), item.name.size());
    case ListColumn::Details:
      return FromUtf8(item.detail.data(), item.detail.size());
    case ListColumn::Modified:
      return result && facts().found ? FormatModified(facts().modified) : std::wstring();
    case ListColumn::Type:
      // A result's detail is its exact path.
      return !result || item.detail.empty() ? std::wstring() : types.NameFor(std::string(item.detail));
    case ListColumn::Size:
      return result && facts().found ? FormatSize(facts().size) : std::wstring();
    case ListColumn::Rank: {
      std::uint32_t rank = result ? item.rank : 0;
      return rank ? std::to_wstring(rank) : std::wstring();
    }
  }
  return {};
}

std::wstring ColumnText(LPCITEMIDLIST item, ListColumn column, const FactsSource& facts, FileTypeNames& types) {
  return ColumnText(FieldsOfItem(item).Get(), column, facts, types);
}

std::string ColumnSortKey(const ItemFields& item, ListColumn column, const FactsSource& facts, FileTypeNames& types) {
  const bool result = item.result;
  switch (column) {
    case ListColumn::Name:
      return CollationKey(FromUtf8(item.name.data(), item.name.size()));
    case ListColumn::Details:
      return CollationKey(FromUtf8(item.detail.data(), item.detail.size()));
    case ListColumn::Modified:
      return result ? NumberKey(facts().modified) : std::string();
    case ListColumn::Type:
      return result ? CollationKey(types.NameFor(std::string(item.detail))) : std::string();
    case ListColumn::Size:
      return result ? NumberKey(facts().size) : std::string();
    case ListColumn::Rank:
      return NumberKey(result ? item.rank : 0);
  }
  return {};
}

std::string ColumnSortKey(LPCITEMIDLIST item, ListColumn column, const FactsSource& facts, FileTypeNames& types) {
  return ColumnSortKey(FieldsOfItem(item).Get(), column, facts, types);
}

std::string TieKey(const ItemFields& item) {
  std::string key = CollationKey(FromUtf8(item.name.data(), item.name.size()));
  if (item.result) {
    // Collation keys hold no zero byte: a name that is a prefix of another sorts first.
    key += '\0';
    key += CollationKey(FromUtf8(item.detail.data(), item.detail.size()));
  }
  return key;
}

std::string TieKey(LPCITEMIDLIST item) { return TieKey(FieldsOfItem(item).Get()); }

int CompareColumnKeys(bool firstIsResult, const std::string& firstKey, bool secondIsResult,
                      const std::string& secondKey, const std::function<int()>& compareTieKeys, bool ascending) {
  if (firstIsResult != secondIsResult) return firstIsResult ? 1 : -1;
  int order = firstKey.compare(secondKey);
  if (order == 0 && compareTieKeys) order = compareTieKeys();
  order = order < 0 ? -1 : (order > 0 ? 1 : 0);
  return ascending ? order : -order;
}

int CompareByColumn(LPCITEMIDLIST first, LPCITEMIDLIST second, ListColumn column) {
  FileTypeNames types;
  FactsOnDemand firstFacts(first);
  FactsOnDemand secondFacts(second);
  return CompareColumnKeys(IsResult(first), ColumnSortKey(first, column, std::ref(firstFacts), types),
                           IsResult(second), ColumnSortKey(second, column, std::ref(secondFacts), types),
                           [&] { return TieKey(first).compare(TieKey(second)); });
}

std::string DetailText(LPCITEMIDLIST item) {
  FolderSettings settings;
  if (CPidlManager::ReadFolderSettings(item, settings)) return settings.query;
  return CPidlManager::ResultPath(item);
}

}  // namespace qv
