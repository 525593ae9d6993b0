#include <gtest/gtest.h>

#include <shlobj.h>

#include "common/ComBase.h"
#include "common/Holders.h"
#include "runtime/LiveObjects.h"

namespace qv {
namespace {

class CSamplePersist final : public ComObject<CSamplePersist, LiveCount<LiveClass::QueryInfo>, IPersistFolder, IEnumIDList> {
 public:
  static const InterfaceEntry* InterfaceTable() {
    static const InterfaceEntry table[] = {
        QV_INTERFACE(CSamplePersist, IPersistFolder),
        QV_INTERFACE_VIA(CSamplePersist, IPersist, IPersistFolder),
        QV_INTERFACE(CSamplePersist, IEnumIDList),
        {}};
    return table;
  }
  STDMETHODIMP GetClassID(CLSID* id) override { return E_NOTIMPL; }
  STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE) override { return S_OK; }
  STDMETHODIMP Next(ULONG, PITEMID_CHILD*, ULONG*) override { return S_FALSE; }
  STDMETHODIMP Skip(ULONG) override { return S_OK; }
  STDMETHODIMP Reset() override { return S_OK; }
  STDMETHODIMP Clone(IEnumIDList**) override { throw ComError(E_ACCESSDENIED); }
};

TEST(ComObject, AnswersEveryTabledInterfaceWithOneIdentity) {
  ComPtr<IPersistFolder> folder;
  ASSERT_EQ(S_OK, CreateComObject<CSamplePersist>(IID_IPersistFolder, folder.PutVoid()));
  auto unknown = folder.As<IUnknown>();
  auto persist = folder.As<IPersist>();
  auto enumerator = folder.As<IEnumIDList>();
  ASSERT_TRUE(unknown && persist && enumerator);
  EXPECT_EQ(unknown.Get(), enumerator.As<IUnknown>().Get());
  EXPECT_EQ(static_cast<void*>(persist.Get()), static_cast<void*>(folder.Get()));

  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, folder->QueryInterface(IID_IShellFolder, &none));
  EXPECT_EQ(nullptr, none);
  EXPECT_EQ(E_POINTER, folder->QueryInterface(IID_IUnknown, nullptr));
}

TEST(ComObject, CountsLiveObjectsUntilTheLastRelease) {
  LONG before = LiveObjectTotal();
  {
    ComPtr<IEnumIDList> first;
    ASSERT_EQ(S_OK, CreateComObject<CSamplePersist>(IID_IEnumIDList, first.PutVoid()));
    ComPtr<IEnumIDList> second = first;
    EXPECT_EQ(before + 1, LiveObjectTotal());
    EXPECT_EQ(1, LiveObjectCount(LiveClass::QueryInfo));
  }
  EXPECT_EQ(before, LiveObjectTotal());
  EXPECT_EQ(0, LiveObjectCount(LiveClass::QueryInfo));
}

TEST(ComObject, PidlManagerIndexIsNamedButNeverCounted) {
  LONG before = LiveObjectTotal();
  CountObject(LiveClass::PidlManager);
  EXPECT_EQ(before, LiveObjectTotal());
  UncountObject(LiveClass::PidlManager);
  EXPECT_STREQ("CPidlManager", ClassName(LiveClass::PidlManager));
  EXPECT_STREQ("CDropSource", ClassName(LiveClass::DropSource));
}

TEST(ComBoundary, TurnsExceptionsIntoResults) {
  EXPECT_EQ(E_ACCESSDENIED, ComBoundary([]() -> HRESULT { throw ComError(E_ACCESSDENIED); }));
  EXPECT_EQ(E_OUTOFMEMORY, ComBoundary([]() -> HRESULT { throw std::bad_alloc(); }));
  EXPECT_EQ(E_UNEXPECTED, ComBoundary([]() -> HRESULT { throw 42; }));
  // A ComError that carries a success code still reports failure.
  EXPECT_EQ(E_FAIL, ComBoundary([]() -> HRESULT { throw ComError(S_FALSE); }));
}

TEST(Holders, VariantAndBstrReleaseWhatTheyHold) {
  Bstr text(L"quorvane");
  EXPECT_EQ(8u, text.Length());
  Variant value;
  V_VT(value.Put()) = VT_BSTR;
  V_BSTR(value.Get()) = text.Detach();
  EXPECT_EQ(VT_BSTR, value.Type());
  EXPECT_EQ(0u, text.Length());
}

}  // namespace
}  // namespace qv
