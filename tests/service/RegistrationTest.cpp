#include "ServiceTestSupport.h"

#include "common/Holders.h"

namespace qv::service::test {
namespace {

using Registration = ServiceTest;

TEST_F(Registration, IssuesACookieThatQueriesAccept) {
  LONG cookie = RegisterClient();
  ASSERT_GT(cookie, 0);
  EXPECT_EQ(S_OK, RunQuery(cookie, L"anything").hr);
}

TEST_F(Registration, QueriesWithACookieNeverIssuedAreToldTheRegistrationIsLost) {
  EXPECT_EQ(kRegistrationLost, RunQuery(0, L"anything").hr);
  LONG cookie = RegisterClient();
  EXPECT_EQ(kRegistrationLost, RunQuery(cookie + 1, L"anything").hr);
}

TEST_F(Registration, UnregisteringRevokesTheCookieAndRegisteringAgainIssuesANewOne) {
  LONG first = RegisterClient();
  ASSERT_GT(first, 0);
  EXPECT_EQ(S_OK, RunQuery(first, L"anything").hr);  // found valid once: not trusted after a change
  EXPECT_EQ(S_OK, UnregisterClient());
  EXPECT_EQ(kRegistrationLost, RunQuery(first, L"anything").hr);
  // The component's recovery: unregister (already gone: still a success), register, retry.
  EXPECT_TRUE(SUCCEEDED(UnregisterClient()));
  LONG second = RegisterClient();
  ASSERT_GT(second, 0);
  EXPECT_NE(first, second);
  EXPECT_EQ(S_OK, RunQuery(second, L"anything").hr);
}

TEST_F(Registration, RegistrationsOutliveTheServiceObjectsAndTheLoadedModule) {
  LONG cookie = RegisterClient();
  ASSERT_GT(cookie, 0);
  CoFreeUnusedLibraries();
  EXPECT_EQ(S_OK, RunQuery(cookie, L"anything").hr);
  // Registering again keeps the earlier cookie, which another process may hold.
  LONG another = RegisterClient();
  EXPECT_EQ(S_OK, RunQuery(cookie, L"anything").hr);
  EXPECT_EQ(S_OK, RunQuery(another, L"anything").hr);
}

TEST_F(Registration, AFactoryLockKeepsTheServiceLoaded) {
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(S_OK, CoGetClassObject(kQueryApiClassId, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                   factory.PutVoid()));
  HMODULE module = GetModuleHandleW(L"quorvane-search.dll");
  ASSERT_NE(nullptr, module);
  auto canUnloadNow = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  ASSERT_NE(nullptr, canUnloadNow);
  EXPECT_EQ(S_OK, factory->LockServer(TRUE));
  factory.Reset();
  EXPECT_EQ(S_FALSE, canUnloadNow()) << "the lock keeps the module with no object alive";

  ASSERT_EQ(S_OK, CoGetClassObject(kQueryApiClassId, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                   factory.PutVoid()));
  EXPECT_EQ(S_OK, factory->LockServer(FALSE));
  factory.Reset();
  EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_F(Registration, ACookieIsValidOnlyOnceTheRegistrationIsFinished) {
  ComPtr<IDesktopSearchRegistrar> registrar;
  ASSERT_EQ(S_OK, CreateServiceObject(kRegistrarProgId, &registrar));
  Bstr guid(kClientGuid);
  Variant description;
  *description.Get() = MakeDescription();
  ASSERT_EQ(S_OK, registrar->StartComponentRegistration(guid.Get(), *description.Get()));
  ComPtr<IUnknown> registration;
  Bstr type(kQueryRegistrationType);
  ASSERT_EQ(S_OK, registrar->GetRegistrationInterface(type.Get(), registration.Put()));
  auto query = registration.As<IDesktopSearchQueryRegistration>();
  ASSERT_TRUE(query);
  LONG cookie = 0;
  ASSERT_EQ(S_OK, query->RegisterQueryClient(guid.Get(), 1, &cookie));
  EXPECT_EQ(kRegistrationLost, RunQuery(cookie, L"anything").hr);
  ASSERT_EQ(S_OK, registrar->FinishComponentRegistration());
  EXPECT_EQ(S_OK, RunQuery(cookie, L"anything").hr);
  // Nothing left to finish.
  EXPECT_EQ(E_UNEXPECTED, registrar->FinishComponentRegistration());
}

TEST_F(Registration, RefusesMalformedRegistrationCalls) {
  ComPtr<IDesktopSearchRegistrar> registrar;
  ASSERT_EQ(S_OK, CreateServiceObject(kRegistrarProgId, &registrar));
  Bstr guid(kClientGuid);
  Bstr notAGuid(L"quorvane");
  Variant description;
  *description.Get() = MakeDescription();
  Variant notAnArray;
  V_VT(notAnArray.Get()) = VT_I4;
  V_I4(notAnArray.Get()) = 7;
  Bstr queryType(kQueryRegistrationType);
  Bstr otherType(L"GoogleDesktop.IndexingRegistration");
  ComPtr<IUnknown> registration;

  EXPECT_EQ(E_INVALIDARG, registrar->StartComponentRegistration(notAGuid.Get(), *description.Get()));
  EXPECT_EQ(E_INVALIDARG, registrar->StartComponentRegistration(guid.Get(), *notAnArray.Get()));
  EXPECT_EQ(E_UNEXPECTED, registrar->GetRegistrationInterface(queryType.Get(), registration.Put()));
  EXPECT_EQ(E_UNEXPECTED, registrar->FinishComponentRegistration());
  EXPECT_EQ(E_INVALIDARG, registrar->UnregisterComponent(notAGuid.Get()));

  ASSERT_EQ(S_OK, registrar->StartComponentRegistration(guid.Get(), *description.Get()));
  EXPECT_EQ(E_INVALIDARG, registrar->GetRegistrationInterface(otherType.Get(), registration.Put()));
  EXPECT_FALSE(registration);
  ASSERT_EQ(S_OK, registrar->GetRegistrationInterface(queryType.Get(), registration.Put()));
  auto query = registration.As<IDesktopSearchQueryRegistration>();
  Bstr otherGuid(L"{00000000-0000-0000-0000-000000000001}");
  LONG cookie = -1;
  EXPECT_EQ(E_UNEXPECTED, query->RegisterQueryClient(otherGuid.Get(), 1, &cookie));
  EXPECT_EQ(0, cookie);
  EXPECT_EQ(E_POINTER, query->RegisterQueryClient(guid.Get(), 1, nullptr));
}

TEST_F(Registration, AQueryRegistrationCreatedOnItsOwnServesOnlyRegisteredComponents) {
  ComPtr<IDesktopSearchQueryRegistration> query;
  ASSERT_EQ(S_OK, CreateServiceObject(kQueryRegistrationType, &query));
  Bstr guid(kClientGuid);
  LONG cookie = 0;
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_NOT_FOUND), query->RegisterQueryClient(guid.Get(), 1, &cookie));
  ASSERT_GT(RegisterClient(), 0);
  ASSERT_EQ(S_OK, query->RegisterQueryClient(guid.Get(), 1, &cookie));
  EXPECT_EQ(S_OK, RunQuery(cookie, L"anything").hr);
}

TEST_F(Registration, ServiceObjectsAnswerIDispatchWithoutTypeInformation) {
  ComPtr<IDesktopSearchRegistrar> registrar;
  ASSERT_EQ(S_OK, CreateServiceObject(kRegistrarProgId, &registrar));
  auto dispatch = registrar.As<IDispatch>();
  ASSERT_TRUE(dispatch);
  UINT count = 9;
  EXPECT_EQ(S_OK, dispatch->GetTypeInfoCount(&count));
  EXPECT_EQ(0u, count);
  ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
  EXPECT_EQ(E_NOTIMPL, dispatch->GetTypeInfo(0, 0, &info));
  EXPECT_EQ(nullptr, info);
  EXPECT_EQ(E_NOTIMPL, dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr));
}

}  // namespace
}  // namespace qv::service::test
