#include "searchstub/StubObjects.h"

#include <cwchar>

namespace qv::stub {
namespace {

HRESULT SetText(VARIANT* value, const std::wstring& text) {
  V_VT(value) = VT_BSTR;
  V_BSTR(value) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return V_BSTR(value) ? S_OK : E_OUTOFMEMORY;
}

void LogDescription(StubRegistrarLog& log, const VARIANT& description) {
  log.descriptionType = V_VT(&description);
  log.descriptionLowerBound = 0;
  log.descriptionCount = 0;
  if (V_VT(&description) != (VT_ARRAY | VT_VARIANT) || !V_ARRAY(&description)) return;
  SAFEARRAY* array = V_ARRAY(&description);
  LONG lower = 0, upper = -1;
  if (SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
      FAILED(SafeArrayGetUBound(array, 1, &upper))) {
    return;
  }
  log.descriptionLowerBound = lower;
  log.descriptionCount = upper - lower + 1;
  for (LONG i = lower; i <= upper && i - lower < 8; ++i) {
    VARIANT element;
    VariantInit(&element);
    if (SUCCEEDED(SafeArrayGetElement(array, &i, &element))) {
      log.descriptionElementTypes[i - lower] = V_VT(&element);
      if (V_VT(&element) == VT_BSTR) CopyText(log.description[i - lower], V_BSTR(&element));
    }
    VariantClear(&element);
  }
}

}  // namespace

STDMETHODIMP CStubResult::GetProperty(BSTR name, VARIANT* value) {
  if (!value) return E_POINTER;
  VariantInit(value);
  HRESULT scripted = S_OK;
  if (name && std::wcscmp(name, L"uri") == 0) {
    if (IsScripted(kStubUri, scripted)) return scripted;
    return SetText(value, result_.uri);
  }
  if (name && std::wcscmp(name, L"title") == 0) {
    if (IsScripted(kStubTitle, scripted)) return scripted;
    if (!result_.title) return DISP_E_MEMBERNOTFOUND;
    return SetText(value, *result_.title);
  }
  return DISP_E_MEMBERNOTFOUND;
}

// A set holds the results scripted when it was made; its ready states and
// available counts follow the script as it stands when they are read, so a test
// can let a set it has handed out complete later.
CStubResultSet::CStubResultSet() : results_(State().results), warning_(State().literalWarning) {}

STDMETHODIMP CStubResultSet::GetLiteralWarning(BSTR* warning) {
  if (!warning) return E_POINTER;
  *warning = SysAllocString(warning_.c_str());
  return *warning ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CStubResultSet::Next(IDesktopSearchResult** result) {
  if (!result) return E_POINTER;
  *result = nullptr;
  HRESULT scripted = S_OK;
  if (IsScripted(kStubNext, scripted)) return scripted;
  if (next_ >= results_->size()) return S_OK;
  *result = new CStubResult((*results_)[next_++]);
  return S_OK;
}

STDMETHODIMP CStubResultSet::get_ReadyState(LONG* state) {
  if (!state) return E_POINTER;
  HRESULT scripted = S_OK;
  if (IsScripted(kStubReadyState, scripted)) return scripted;
  *state = ScriptValue(State().readyStates, readyStateReads_++, 2);
  return S_OK;
}

STDMETHODIMP CStubResultSet::get_AvailableCount(LONG* count) {
  if (!count) return E_POINTER;
  HRESULT scripted = S_OK;
  if (IsScripted(kStubAvailableCount, scripted)) return scripted;
  *count = ScriptValue(State().availableCounts, countReads_++, static_cast<LONG>(results_->size()));
  return S_OK;
}

STDMETHODIMP CStubQueryApi::QueryInterface(REFIID riid, void** ppv) {
  if (ppv && riid == __uuidof(IQuorvaneIndexStatus) && !State().indexStatus) {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  return StubObject::QueryInterface(riid, ppv);
}

STDMETHODIMP CStubQueryApi::GetIndexStatus(LONG* state, LONG* files, LONG* folders) {
  ++State().indexStatusCalls;
  const StubIndexStatus& status = *State().indexStatus;
  if (state) *state = status.state;
  if (files) *files = status.files;
  if (folders) *folders = status.folders;
  return S_OK;
}

STDMETHODIMP CStubQueryApi::Query(LONG cookie, BSTR searchString, VARIANT category, VARIANT ranking,
                                  IDesktopSearchResultSet** results) {
  if (!results) return E_POINTER;
  *results = nullptr;
  StubQuery query = {};
  query.cookie = cookie;
  CopyText(query.searchString, searchString);
  query.categoryType = V_VT(&category);
  if (V_VT(&category) == VT_BSTR) CopyText(query.category, V_BSTR(&category));
  if (V_VT(&category) == VT_ERROR) query.categoryError = V_ERROR(&category);
  query.rankingType = V_VT(&ranking);
  if (V_VT(&ranking) == VT_UI1) query.ranking = V_UI1(&ranking);
  if (V_VT(&ranking) == VT_I4) query.ranking = V_I4(&ranking);
  State().queries.push_back(query);

  HRESULT scripted = S_OK;
  if (IsScripted(kStubQuery, scripted)) return scripted;
  *results = new CStubResultSet();
  return S_OK;
}

STDMETHODIMP CStubQueryRegistration::RegisterQueryClient(BSTR componentGuid, LONG readAllowed, LONG* cookie) {
  if (!cookie) return E_POINTER;
  StubRegistrarLog& log = State().registrar;
  CopyText(log.clientGuid, componentGuid);
  log.clientReadAllowed = readAllowed;
  HRESULT scripted = S_OK;
  if (IsScripted(kStubRegisterQueryClient, scripted)) return scripted;
  *cookie = State().nextCookie++;
  State().issuedCookies.push_back(*cookie);
  return S_OK;
}

STDMETHODIMP CStubRegistrar::StartComponentRegistration(BSTR componentGuid, VARIANT description) {
  StubRegistrarLog& log = State().registrar;
  CopyText(log.registeredGuid, componentGuid);
  LogDescription(log, description);
  HRESULT scripted = S_OK;
  if (IsScripted(kStubStartRegistration, scripted)) return scripted;
  return S_OK;
}

STDMETHODIMP CStubRegistrar::GetRegistrationInterface(BSTR registrationType, IUnknown** registration) {
  if (!registration) return E_POINTER;
  *registration = nullptr;
  CopyText(State().registrar.registrationType, registrationType);
  HRESULT scripted = S_OK;
  if (IsScripted(kStubGetRegistrationInterface, scripted)) return scripted;
  if (!registrationType || std::wcscmp(registrationType, kQueryRegistrationType) != 0) return E_INVALIDARG;
  // Handed out as the query registration interface itself, as the service does.
  IDesktopSearchQueryRegistration* object = new CStubQueryRegistration();
  *registration = object;
  return S_OK;
}

STDMETHODIMP CStubRegistrar::FinishComponentRegistration() {
  HRESULT scripted = S_OK;
  if (IsScripted(kStubFinishRegistration, scripted)) return scripted;
  return S_OK;
}

STDMETHODIMP CStubRegistrar::UnregisterComponent(BSTR componentGuid) {
  CopyText(State().registrar.unregisteredGuid, componentGuid);
  HRESULT scripted = S_OK;
  if (IsScripted(kStubUnregister, scripted)) return scripted;
  return S_OK;
}

}  // namespace qv::stub
