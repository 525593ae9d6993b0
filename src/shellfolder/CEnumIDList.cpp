#include "shellfolder/CEnumIDList.h"

#include <new>

#include "folders/CFolderStore.h"
#include "runtime/ModuleObjects.h"
#include "pidl/CPidlManager.h"
#include "common/ModulePaths.h"
#include "common/Text.h"
#include "search/ResultFeed.h"
#include "search/SearchResultItem.h"
#include "search/SearchQuery.h"

namespace qv {
namespace {

// Only element nodes can be search folders: a comment or a processing
// instruction in a hand-edited document has no folder behind it.
// Results read before their files are checked together.
constexpr std::size_t kEnumerationCheckBatch = 1u << 16;

bool IsElement(IXMLDOMNode* node) {
  DOMNodeType type = NODE_INVALID;
  return SUCCEEDED(node->get_nodeType(&type)) && type == NODE_ELEMENT;
}

}  // namespace

HRESULT CEnumIDList::Create(LPCITEMIDLIST folderAbsoluteList, SHCONTF flags, ComPtr<CEnumIDList>& out) {
  out.Reset();
  return ComBoundary([&]() -> HRESULT {
    CPidlManager* manager = ThePidlManager();
    CFolderStore* store = TheFolderStore();
    if (!manager || !store) return E_OUTOFMEMORY;
    auto* created = new (std::nothrow) CEnumIDList(*manager);
    if (!created) return E_OUTOFMEMORY;
    auto enumerator = ComPtr<CEnumIDList>::Attach(created);
    // The namespace root lists its top-level folders only and never searches.
    if (CPidlManager::KindOf(CPidlManager::GetLastItem(folderAbsoluteList)) == ItemKind::Foreign) {
      flags &= ~SHCONTF_NONFOLDERS;
    }
    if (ComPtr<IXMLDOMNode> element = store->FindFolderNode(folderAbsoluteList)) {
      if (flags & SHCONTF_FOLDERS) enumerator->AddSubfolders(element.Get());
      if (flags & SHCONTF_NONFOLDERS) enumerator->AddResults(element.Get());
    }
    out = std::move(enumerator);
    return S_OK;
  });
}

const InterfaceEntry* CEnumIDList::InterfaceTable() {
  static const InterfaceEntry table[] = {QV_INTERFACE(CEnumIDList, IEnumIDList), {}};
  return table;
}

CEnumIDList::~CEnumIDList() {
  for (LPITEMIDLIST item : items_) manager_.Free(item);
}

void CEnumIDList::Append(LPITEMIDLIST item) {
  if (!item) throw std::bad_alloc();
  try {
    items_.push_back(item);
  } catch (...) {
    manager_.Free(item);
    throw;
  }
}

void CEnumIDList::AddSubfolders(IXMLDOMNode* element) {
  folderCount_ = 0;
  ComPtr<IXMLDOMNode> child;
  ThrowIfFailed(element->get_firstChild(child.Put()), IID_IXMLDOMNode);
  while (child) {
    if (IsElement(child.Get())) {
      Append(manager_.CreateFolderItem(CFolderStore::ReadFolderSettings(child.Get())));
      ++folderCount_;
    }
    ComPtr<IXMLDOMNode> next;
    ThrowIfFailed(child->get_nextSibling(next.Put()), IID_IXMLDOMNode);
    child = std::move(next);
  }
}

void CEnumIDList::AddResults(IXMLDOMNode* element) {
  resultCount_ = 0;
  FolderSettings record = CFolderStore::ReadFolderSettings(element);
  const bool fileFolder = ShowsOnlyExistingFiles(ToWide(record.category));
  // Unsigned, so a negative maximum sets no limit, as 0 does.
  const auto limit = static_cast<ULONG>(record.maxResults);
  // A "file" folder shows only files that exist at exactly their path, checked
  // a batch at a time by directory. The shell's own list of a file is made when
  // something needs it, not here: parsing every result would cost milliseconds
  // each.
  ExistingFiles files;
  std::vector<SearchResultText> batch;
  auto appendBatch = [&] {
    if (fileFolder) files.KeepExisting(batch);
    for (const SearchResultText& text : batch) {
      if (resultCount_ == limit && limit != 0) break;
      LPITEMIDLIST item = manager_.CreateResultItem(text.name, text.path, 0);
      if (!item) throw std::bad_alloc();
      // Its place among the results shown, as the view's "Rank" column counts it.
      CPidlManager::SetResultRank(item, resultCount_ + 1);
      Append(item);
      ++resultCount_;
    }
    batch.clear();
  };
  try {
    ComPtr<IDesktopSearchResultSet> results = RunSearchQuery(record, folderCount_ != 0);
    while (results && (limit == 0 || resultCount_ < limit)) {
      ComPtr<IDesktopSearchResult> result;
      ThrowIfFailed(results->Next(result.Put()), __uuidof(IDesktopSearchResultSet));
      if (!result) break;
      SearchResultText text = ReadSearchResult(result.Get());
      // A path no item can hold (tens of thousands of characters) is not shown
      // rather than shown cut.
      if (text.path.size() + text.name.size() > kMaxResultText) continue;
      batch.push_back(std::move(text));
      if (batch.size() >= kEnumerationCheckBatch || (limit != 0 && resultCount_ + batch.size() >= limit)) appendBatch();
    }
  } catch (const ComError&) {
    // The service failed while it was awaited or read: the folder shows what
    // came so far.
  }
  appendBatch();
}

STDMETHODIMP CEnumIDList::Next(ULONG count, PITEMID_CHILD* items, ULONG* fetched) {
  return ComBoundary([&]() -> HRESULT {
    if (fetched) *fetched = 0;
    if (count > 1 && !fetched) return E_INVALIDARG;
    if (count > 0 && !items) return E_POINTER;
    ULONG stored = 0;
    while (stored < count && current_ + stored < items_.size()) {
      LPITEMIDLIST copy = manager_.Copy(items_[current_ + stored]);
      if (!copy) {
        // Nothing is handed out half-way: the caller would not know what to free.
        for (ULONG i = 0; i < stored; ++i) {
          manager_.Free(items[i]);
          items[i] = nullptr;
        }
        return E_OUTOFMEMORY;
      }
      items[stored++] = reinterpret_cast<PITEMID_CHILD>(copy);
    }
    current_ += stored;
    if (fetched) *fetched = stored;
    return stored == count ? S_OK : S_FALSE;
  });
}

STDMETHODIMP CEnumIDList::Skip(ULONG count) {
  for (ULONG i = 0; i < count; ++i) {
    if (current_ >= items_.size()) return S_FALSE;
    ++current_;
  }
  return S_OK;
}

STDMETHODIMP CEnumIDList::Reset() {
  current_ = 0;
  return S_OK;
}

STDMETHODIMP CEnumIDList::Clone(IEnumIDList** copy) {
  if (copy) *copy = nullptr;
  return E_NOTIMPL;
}

}  // namespace qv
