#pragma once
// The stand-in service's COM objects: the query component, its result sets and
// results, the registrar and its query registration.

#include <windows.h>

#include "common/ComBase.h"
#include "common/DesktopSearchInterfaces.h"
#include "searchstub/StubState.h"

namespace qv::stub {

// IDispatch that answers nothing: the component calls the service through its
// vtables only. Every stand-in object counts itself among the service's live objects.
template <class Derived, class Interface, class... More>
class StubObject : public ComObject<Derived, NotCounted, Interface, More...> {
 public:
  StubObject() { ++State().liveObjects; }
  ~StubObject() override { --State().liveObjects; }

  static const InterfaceEntry* InterfaceTable() {
    static const InterfaceEntry table[] = {
        {&__uuidof(Interface), InterfaceOffset<Derived, Interface>()},
        {&IID_IDispatch, InterfaceOffset<Derived, IDispatch, Interface>()},
        {&__uuidof(More), InterfaceOffset<Derived, More>()}...,
        {}};
    return table;
  }

  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
};

class CStubResult final : public StubObject<CStubResult, IDesktopSearchResult> {
 public:
  explicit CStubResult(ScriptedResult result) : result_(std::move(result)) {}
  STDMETHODIMP GetProperty(BSTR name, VARIANT* value) override;

 private:
  ScriptedResult result_;
};

class CStubResultSet final : public StubObject<CStubResultSet, IDesktopSearchResultSet, IQuorvaneQueryNotes> {
 public:
  CStubResultSet();
  STDMETHODIMP GetLiteralWarning(BSTR* warning) override;
  STDMETHODIMP Next(IDesktopSearchResult** result) override;
  STDMETHODIMP get_ReadyState(LONG* state) override;
  STDMETHODIMP UnusedSlot9() override { return E_NOTIMPL; }
  STDMETHODIMP get_AvailableCount(LONG* count) override;

 private:
  std::shared_ptr<const ScriptedResults> results_;
  std::size_t next_ = 0;
  std::size_t readyStateReads_ = 0;
  std::size_t countReads_ = 0;
  std::wstring warning_;
};

// It answers IQuorvaneIndexStatus only once a test scripted the index's state,
// as the bundled service does; otherwise it is a service without it.
class CStubQueryApi final : public StubObject<CStubQueryApi, IDesktopSearchQueryApi, IQuorvaneIndexStatus> {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP GetIndexStatus(LONG* state, LONG* files, LONG* folders) override;
  STDMETHODIMP Query(LONG cookie, BSTR searchString, VARIANT category, VARIANT ranking,
                     IDesktopSearchResultSet** results) override;
};

class CStubQueryRegistration final : public StubObject<CStubQueryRegistration, IDesktopSearchQueryRegistration> {
 public:
  STDMETHODIMP RegisterQueryClient(BSTR componentGuid, LONG readAllowed, LONG* cookie) override;
};

class CStubRegistrar final : public StubObject<CStubRegistrar, IDesktopSearchRegistrar> {
 public:
  STDMETHODIMP StartComponentRegistration(BSTR componentGuid, VARIANT description) override;
  STDMETHODIMP GetRegistrationInterface(BSTR registrationType, IUnknown** registration) override;
  STDMETHODIMP FinishComponentRegistration() override;
  STDMETHODIMP UnregisterComponent(BSTR componentGuid) override;
};

}  // namespace qv::stub
