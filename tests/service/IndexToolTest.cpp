#include "ServiceTestSupport.h"

#include <cstdlib>

#include "common/Holders.h"
#include "common/Text.h"
#include "service/IndexDatabase.h"
#include "service/Indexer.h"

namespace qv::service::test {
namespace {

struct ToolRun {
  DWORD exitCode = 0xFFFFFFFF;
  std::string output;
};

// Runs quorvane-index.exe with the test's data folder (inherited from the
// environment) and captures what it prints.
ToolRun RunTool(const std::string& arguments) {
  ToolRun run;
  const char* tool = std::getenv("QUORVANE_INDEX_TOOL");
  if (!tool) {
    ADD_FAILURE() << "QUORVANE_INDEX_TOOL is not set";
    return run;
  }
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
  UniqueHandle reader(readEnd);
  UniqueHandle writer(writeEnd);
  SetHandleInformation(reader.Get(), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {sizeof startup};
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writer.Get();
  startup.hStdError = writer.Get();
  startup.hStdInput = nullptr;
  std::string commandLine(1, '"');
  commandLine += qv::test::HostPathToWindows(tool);
  commandLine += "\" ";
  commandLine += arguments;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &process)) {
    ADD_FAILURE() << "cannot start " << commandLine;
    return run;
  }
  UniqueHandle processHandle(process.hProcess);
  UniqueHandle threadHandle(process.hThread);
  writer.Reset();
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(reader.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) run.output.append(buffer, read);
  WaitForSingleObject(processHandle.Get(), 60000);
  GetExitCodeProcess(processHandle.Get(), &run.exitCode);
  return run;
}

using IndexTool = ServiceTest;

TEST_F(IndexTool, AddsIndexesListsAndReportsStatus) {
  AddFile("docs\\plum.txt", "damson");
  std::string root = ToUtf8(TreePath("docs"));

  ToolRun added = RunTool("add \"" + root + "\"");
  EXPECT_EQ(0u, added.exitCode) << added.output;
  ToolRun listed = RunTool("list");
  EXPECT_NE(std::string::npos, listed.output.find(root)) << listed.output;

  ToolRun indexed = RunTool("index");
  EXPECT_EQ(0u, indexed.exitCode) << indexed.output;
  EXPECT_NE(std::string::npos, indexed.output.find("1 files seen, 1 indexed")) << indexed.output;

  LONG cookie = RegisterClient();
  EXPECT_EQ(Names({L"plum.txt"}), Titles(RunQuery(cookie, L"damson").results));

  ToolRun status = RunTool("status");
  EXPECT_EQ(0u, status.exitCode);
  EXPECT_NE(std::string::npos, status.output.find("Files in the index: 1")) << status.output;
  EXPECT_NE(std::string::npos, status.output.find("Registered clients: 1")) << status.output;
}

TEST_F(IndexTool, RefusesWhatItCannotDo) {
  EXPECT_EQ(1u, RunTool("").exitCode);
  EXPECT_EQ(1u, RunTool("frobnicate").exitCode);
  ToolRun missing = RunTool("add \"" + ToUtf8(TreePath("no such folder")) + "\"");
  EXPECT_EQ(2u, missing.exitCode);
  EXPECT_NE(std::string::npos, missing.output.find("Not a folder")) << missing.output;
  EXPECT_EQ(2u, RunTool("remove \"" + ToUtf8(TreePath()) + "\"").exitCode);
}

TEST_F(IndexTool, TellsWhenItRebuildsADamagedIndex) {
  AddFile("quince.txt", "quince");
  IndexTree();
  MarkIndexDamaged();
  ToolRun run = RunTool("index");
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_NE(std::string::npos, run.output.find("rebuilt")) << run.output;
  LONG cookie = RegisterClient();
  EXPECT_EQ(Names({L"quince.txt"}), Titles(RunQuery(cookie, L"quince").results));
}

TEST_F(IndexTool, QueryPrintsMatchingPathsAndNamesWhatItReadLiterally) {
  AddFile("docs\\plum jam.txt", "damson");
  AddFile("docs\\odd.txt", "size 1");
  IndexTree();
  ToolRun run = RunTool("query \"plum OR size:>>1\"");
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_EQ("Warning: Read literally: size:>>1 (not a size)\r\n" + ToUtf8(TreePath("docs\\plum jam.txt")) + "\r\n" +
                ToUtf8(TreePath("docs\\odd.txt")) + "\r\n",
            run.output);
  ToolRun recent = RunTool("query damson --recent");
  EXPECT_EQ(ToUtf8(TreePath("docs\\plum jam.txt")) + "\r\n", recent.output);
}

TEST_F(IndexTool, RebuildsAndSaysSoAnIndexOfAnEarlierVersion) {
  AddFile("quince.txt", "quince");
  IndexTree();
  OpenIndexForSearch()->Execute("PRAGMA user_version = 2");
  // Until then it counts as never built, so the next query starts a pass.
  EXPECT_EQ(nullptr, OpenIndexForSearch());
  EXPECT_EQ(0, LastIndexPassTime());
  ToolRun run = RunTool("index");
  EXPECT_NE(std::string::npos, run.output.find("earlier version; it has been rebuilt")) << run.output;
  LONG cookie = RegisterClient();
  EXPECT_EQ(Names({L"quince.txt"}), Titles(RunQuery(cookie, L"quince").results));
}

}  // namespace
}  // namespace qv::service::test
