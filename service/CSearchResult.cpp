#include "service/CSearchResult.h"

#include "common/Holders.h"

namespace qv::service {
namespace {

bool IsNamed(BSTR name, const wchar_t* property) {
  return name && CompareStringOrdinal(name, -1, property, -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

const InterfaceEntry* CSearchResult::InterfaceTable() {
  static const InterfaceEntry table[] = {QV_INTERFACE(CSearchResult, IDesktopSearchResult),
                                         QV_INTERFACE_VIA(CSearchResult, IDispatch, IDesktopSearchResult),
                                         {}};
  return table;
}

HRESULT CSearchResult::GetProperty(BSTR name, VARIANT* value) {
  if (!value) return E_POINTER;
  VariantInit(value);
  return ServiceBoundary([&]() -> HRESULT {
    const std::wstring* text = nullptr;
    if (IsNamed(name, L"uri")) {
      text = &hit_.path;
    } else if (IsNamed(name, L"title")) {
      text = &hit_.name;
    } else {
      return DISP_E_UNKNOWNNAME;
    }
    Bstr copy(text->c_str());
    V_VT(value) = VT_BSTR;
    V_BSTR(value) = copy.Detach();
    return S_OK;
  });
}

}  // namespace qv::service
