#pragma once
// The enumerator of a search folder's children: its sub-folders in document
// order, then the results of its search. The whole list is built (and the search
// run) when the enumerator is created; afterwards it only hands out copies.

#include <windows.h>
#include <shlobj.h>
#include <msxml2.h>

#include <cstddef>
#include <vector>

#include "common/ComBase.h"
#include "runtime/LiveObjects.h"

namespace qv {

class CPidlManager;

class CEnumIDList final : public ComObject<CEnumIDList, LiveCount<LiveClass::EnumIDList>, IEnumIDList> {
 public:
  // Builds the children of the folder named by the absolute list, as the flags
  // ask (SHCONTF_FOLDERS, SHCONTF_NONFOLDERS; the namespace root never lists
  // results). A folder missing from the document gives an empty enumerator.
  // E_OUTOFMEMORY, and no enumerator, when an item cannot be made or the module
  // objects are not there.
  static HRESULT Create(LPCITEMIDLIST folderAbsoluteList, SHCONTF flags, ComPtr<CEnumIDList>& out);

  static const InterfaceEntry* InterfaceTable();

  // Copies of the next items; the caller owns them.
  STDMETHODIMP Next(ULONG count, PITEMID_CHILD* items, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumIDList** copy) override;

  ULONG FolderCount() const { return folderCount_; }
  ULONG ResultCount() const { return resultCount_; }

 private:
  friend class ComObject<CEnumIDList, LiveCount<LiveClass::EnumIDList>, IEnumIDList>;
  explicit CEnumIDList(CPidlManager& manager) : manager_(manager) {}
  ~CEnumIDList() override;

  void AddSubfolders(IXMLDOMNode* element);
  void AddResults(IXMLDOMNode* element);
  // Keeps the item; frees it and throws std::bad_alloc when it cannot.
  void Append(LPITEMIDLIST item);

  CPidlManager& manager_;
  std::vector<LPITEMIDLIST> items_;
  std::size_t current_ = 0;
  ULONG folderCount_ = 0;
  ULONG resultCount_ = 0;
};

}  // namespace qv
