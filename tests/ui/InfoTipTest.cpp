#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

#include "common/ComBase.h"
#include "common/Holders.h"
#include "common/Text.h"
#include "support/ServerModule.h"
#include "support/ShellFolderCalls.h"
#include "support/TestItemList.h"

namespace qv {
namespace {

using test::TestItemList;

class InfoTipTest : public test::ServerTest {
 protected:
  void SetUp() override {
    WriteDocument("<root name='root'><folder name='Work'><folder name='Reports'><folder name='Old'/></folder>"
                  "</folder></root>");
  }

  static std::string TipOf(IShellFolder* folder, const TestItemList& item) {
    LPCITEMIDLIST items[] = {item.Get()};
    ComPtr<IQueryInfo> info;
    HRESULT hr = folder->GetUIObjectOf(nullptr, 1, items, IID_IQueryInfo, nullptr, info.PutVoid());
    if (FAILED(hr)) return "no info object";
    LPWSTR tip = nullptr;
    if (info->GetInfoTip(0, &tip) != S_OK || !tip) return "no tip";
    TaskMemory<wchar_t> held(tip);
    return ToUtf8(tip);
  }
  static TestItemList Folder(const std::string& name) {
    TestItemList item;
    item.Folder(name);
    return item;
  }
  static TestItemList Result() {
    TestItemList item;
    item.Result("Budget", "C:\\budget.xls");
    return item;
  }
};

TEST_F(InfoTipTest, ShowsTheChainOfFoldersFromTheRoot) {
  ComPtr<IShellFolder> work = test::BindToChild(Root(), L"Work");
  EXPECT_EQ("Work", TipOf(Root(), Folder("Work")));
  EXPECT_EQ("Work\\Reports", TipOf(work.Get(), Folder("Reports")));
  EXPECT_EQ("Work", TipOf(work.Get(), Result())) << "a result shows the folders that hold it";

  ComPtr<IShellFolder> reports = test::BindToChild(work.Get(), L"Reports");
  EXPECT_EQ("Work\\Reports\\Old", TipOf(reports.Get(), Folder("Old")));
  EXPECT_EQ("Work\\Reports", TipOf(reports.Get(), Result()));
  EXPECT_EQ("Work\\Reports\\Отчёт 日本 😀", TipOf(reports.Get(), Folder("Отчёт 日本 😀")))
      << "the tip is wide text, whole";
}

TEST_F(InfoTipTest, ResultOfTheRootHasAnEmptyTip) {
  EXPECT_EQ("", TipOf(Root(), Result()));
  TestItemList work = Folder("Work");
  LPCITEMIDLIST items[] = {work.Get()};
  ComPtr<IQueryInfo> info;
  ASSERT_EQ(S_OK, Root()->GetUIObjectOf(nullptr, 1, items, IID_IQueryInfo, nullptr, info.PutVoid()));
  DWORD flags = 1;
  EXPECT_EQ(E_NOTIMPL, info->GetInfoFlags(&flags));
}

}  // namespace
}  // namespace qv
