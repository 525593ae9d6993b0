#pragma once
// Carries items of a search folder out of it, by dragging or through the
// clipboard, in the component's own format, the shell's ID list array, a file
// list of the results' files and the shell's drag-loop marker. Every request
// builds a fresh block.

#include <windows.h>
#include <objidl.h>

#include <string>
#include <vector>

#include "common/ComBase.h"
#include "runtime/LiveObjects.h"
#include "common/Holders.h"
#include "pidl/CItemIdList.h"

namespace qv {

class CDataObject final : public ComObject<CDataObject, LiveCount<LiveClass::DataObject>, IDataObject> {
 public:
  // Keeps a copy of the folder's absolute list and of each item (child lists of
  // the folder), in the given order. Throws std::bad_alloc when a copy fails and
  // ComError for a missing folder or item.
  CDataObject(LPCITEMIDLIST folderList, const LPCITEMIDLIST* items, UINT count);
  ~CDataObject() override;

  static const InterfaceEntry* InterfaceTable();

  STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
  STDMETHODIMP GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
  STDMETHODIMP QueryGetData(FORMATETC* format) override;
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC* format, FORMATETC* canonical) override;
  STDMETHODIMP SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
  STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** enumerator) override;
  STDMETHODIMP DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) override;
  STDMETHODIMP DUnadvise(DWORD connection) override;
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA** enumerator) override;

 private:
  bool Offers(CLIPFORMAT format) const;
  GlobalMemory BuildBlock(CLIPFORMAT format) const;
  // The full paths of the results' files that exist; search folders and
  // vanished files are left out.
  std::vector<std::wstring> ExistingFilePaths() const;

  CItemIdList folder_;
  std::vector<CItemIdList> items_;
  std::vector<FORMATETC> formats_;
};

}  // namespace qv
