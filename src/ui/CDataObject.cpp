#include "ui/CDataObject.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstring>

#include "common/ModulePaths.h"
#include "runtime/ModuleUse.h"
#include "common/Text.h"
#include "pidl/CPidlManager.h"
#include "ui/CEnumFormatEtc.h"
#include "ui/DataBlocks.h"

namespace qv {
namespace {

// The full path of a result's file as its item records it; empty for anything
// else (a search folder has no file).
// The exact path of the file a result item names; empty for anything else.
std::wstring ResultFilePath(LPCITEMIDLIST item) { return ToWide(CPidlManager::ResultPath(CPidlManager::GetLastItem(item))); }

}  // namespace

CDataObject::CDataObject(LPCITEMIDLIST folderList, const LPCITEMIDLIST* items, UINT count)
    : folder_(RequirePidlManager(), folderList) {
  if (!folderList || (count && !items)) throw ComError(E_INVALIDARG);
  CPidlManager& manager = RequirePidlManager();
  items_.reserve(count);
  for (UINT i = 0; i < count; ++i) {
    if (!items[i]) throw ComError(E_INVALIDARG);
    items_.emplace_back(manager, items[i]);
  }
  // In the order receivers should prefer them. Search folders are no files: a
  // file list is offered only with results among the items.
  formats_ = {GlobalMemoryFormat(PrivateClipboardFormat()), GlobalMemoryFormat(IdListArrayClipboardFormat())};
  bool anyResult = std::any_of(items_.begin(), items_.end(),
                               [](const CItemIdList& item) { return CPidlManager::GetResultRecord(item.Get()); });
  if (anyResult) formats_.push_back(GlobalMemoryFormat(CF_HDROP));
  formats_.push_back(GlobalMemoryFormat(DragLoopClipboardFormat()));
}

CDataObject::~CDataObject() = default;

const InterfaceEntry* CDataObject::InterfaceTable() {
  static const InterfaceEntry table[] = {QV_INTERFACE(CDataObject, IDataObject), {}};
  return table;
}

bool CDataObject::Offers(CLIPFORMAT format) const {
  return std::any_of(formats_.begin(), formats_.end(), [&](const FORMATETC& f) { return f.cfFormat == format; });
}

std::vector<std::wstring> CDataObject::ExistingFilePaths() const {
  std::vector<std::wstring> paths;
  for (const CItemIdList& item : items_) {
    std::wstring path = ResultFilePath(item.Get());
    // A receiver resolves a relative name against its own directory, and one
    // that is gone names nothing: only full paths of files that exist now.
    if (path.empty() || PathIsRelativeW(path.c_str())) continue;
    if (GetFileAttributesW(ExtendedLengthPath(path).c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    paths.push_back(std::move(path));
  }
  return paths;
}

GlobalMemory CDataObject::BuildBlock(CLIPFORMAT format) const {
  if (format == DragLoopClipboardFormat()) return BuildDragLoopBlock();
  if (format == CF_HDROP) {
    std::vector<std::wstring> paths = ExistingFilePaths();
    if (paths.empty()) throw ComError(DV_E_FORMATETC);
    return BuildFileListBlock(paths);
  }

  std::vector<LPCITEMIDLIST> lists;
  lists.reserve(items_.size());
  for (const CItemIdList& item : items_) lists.push_back(item.Get());
  if (format == PrivateClipboardFormat()) return BuildFolderDropBlock(folder_.Get(), lists.data(), lists.size());
  return BuildIdListArrayBlock(folder_.Get(), lists.data(), lists.size());
}

STDMETHODIMP CDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
  if (!format || !medium) return E_INVALIDARG;
  *medium = STGMEDIUM{};
  medium->tymed = TYMED_NULL;
  if (!Offers(format->cfFormat)) return E_INVALIDARG;
  // Every block is global memory; a caller that cannot take that gets nothing
  // rather than a medium it would misread.
  if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
  return ComBoundary([&]() -> HRESULT {
    GlobalMemory block = BuildBlock(format->cfFormat);
    if (!block) return E_OUTOFMEMORY;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = block.Release();
    medium->pUnkForRelease = nullptr;
    return S_OK;
  });
}

STDMETHODIMP CDataObject::GetDataHere(FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }

STDMETHODIMP CDataObject::QueryGetData(FORMATETC* format) {
  if (!format) return E_INVALIDARG;
  if (!(format->dwAspect & DVASPECT_CONTENT)) return DV_E_DVASPECT;
  if (!Offers(format->cfFormat)) return DV_E_TYMED;
  bool sharesMedium = std::any_of(formats_.begin(), formats_.end(),
                                  [&](const FORMATETC& f) { return (f.tymed & format->tymed) != 0; });
  return sharesMedium ? S_OK : DV_E_TYMED;
}

STDMETHODIMP CDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* canonical) {
  if (!canonical) return E_INVALIDARG;
  canonical->ptd = nullptr;
  return DATA_S_SAMEFORMATETC;
}

STDMETHODIMP CDataObject::SetData(FORMATETC*, STGMEDIUM*, BOOL) { return E_NOTIMPL; }

STDMETHODIMP CDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** enumerator) {
  if (!enumerator) return E_POINTER;
  *enumerator = nullptr;
  if (direction != DATADIR_GET) return E_NOTIMPL;
  HRESULT hr = CreateComObject<CEnumFormatEtc>(IID_IEnumFORMATETC, reinterpret_cast<void**>(enumerator), formats_);
  return SUCCEEDED(hr) ? hr : E_NOTIMPL;
}

STDMETHODIMP CDataObject::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD* connection) {
  if (connection) *connection = 0;
  return E_NOTIMPL;
}

STDMETHODIMP CDataObject::DUnadvise(DWORD) { return E_NOTIMPL; }

STDMETHODIMP CDataObject::EnumDAdvise(IEnumSTATDATA** enumerator) {
  if (enumerator) *enumerator = nullptr;
  return E_NOTIMPL;
}

}  // namespace qv
