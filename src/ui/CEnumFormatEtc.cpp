#include "ui/CEnumFormatEtc.h"

#include <algorithm>
#include <utility>

namespace qv {

CEnumFormatEtc::CEnumFormatEtc(std::vector<FORMATETC> formats, ULONG position)
    : formats_(std::move(formats)), position_(std::min<ULONG>(position, static_cast<ULONG>(formats_.size()))) {}

const InterfaceEntry* CEnumFormatEtc::InterfaceTable() {
  static const InterfaceEntry table[] = {QV_INTERFACE(CEnumFormatEtc, IEnumFORMATETC), {}};
  return table;
}

STDMETHODIMP CEnumFormatEtc::Next(ULONG count, FORMATETC* formats, ULONG* fetched) {
  if (fetched) *fetched = 0;
  if (!formats) return E_INVALIDARG;
  ULONG copied = std::min<ULONG>(count, static_cast<ULONG>(formats_.size()) - position_);
  // None of the offered formats has a target device, so a plain copy is a full one.
  std::copy_n(formats_.begin() + position_, copied, formats);
  position_ += copied;
  if (fetched) *fetched = copied;
  return copied == count ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumFormatEtc::Skip(ULONG count) {
  if (count > formats_.size() - position_) return S_FALSE;
  position_ += count;
  return S_OK;
}

STDMETHODIMP CEnumFormatEtc::Reset() {
  position_ = 0;
  return S_OK;
}

STDMETHODIMP CEnumFormatEtc::Clone(IEnumFORMATETC** clone) {
  if (!clone) return E_POINTER;
  *clone = nullptr;
  return CreateComObject<CEnumFormatEtc>(IID_IEnumFORMATETC, reinterpret_cast<void**>(clone), formats_, position_);
}

}  // namespace qv
