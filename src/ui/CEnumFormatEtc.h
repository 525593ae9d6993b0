#pragma once
// Lists the clipboard formats a data object offers.

#include <windows.h>
#include <objidl.h>

#include <vector>

#include "common/ComBase.h"
#include "runtime/LiveObjects.h"

namespace qv {

class CEnumFormatEtc final : public ComObject<CEnumFormatEtc, LiveCount<LiveClass::EnumFormatEtc>, IEnumFORMATETC> {
 public:
  // Keeps its own copy of the formats.
  explicit CEnumFormatEtc(std::vector<FORMATETC> formats, ULONG position = 0);

  static const InterfaceEntry* InterfaceTable();

  STDMETHODIMP Next(ULONG count, FORMATETC* formats, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumFORMATETC** clone) override;

 private:
  std::vector<FORMATETC> formats_;
  ULONG position_;
};

}  // namespace qv
