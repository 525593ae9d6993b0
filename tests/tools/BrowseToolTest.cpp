#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "module/Holders.h"
#include "support/ServerModule.h"
#include "support/TempDirectory.h"

namespace qv {
namespace {

struct ToolRun {
  DWORD exitCode = 0xFFFFFFFF;
  std::string errorOutput;
};

// Runs quorvane-browse with the arguments and collects its error output.
ToolRun RunBrowseTool(const std::string& arguments) {
  ToolRun run;
  const char* tool = std::getenv("QUORVANE_BROWSE");
  if (!tool) return run;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  UniqueHandle readEnd, writeEnd;
  if (!CreatePipe(readEnd.Put(), writeEnd.Put(), &inherit, 0)) return run;
  SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);

  std::string command = "\"" + test::HostPathToWindows(tool) + "\" " + arguments;
  STARTUPINFOA startup = {sizeof startup};
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdError = writeEnd.Get();
  startup.hStdOutput = writeEnd.Get();
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    return run;
  }
  UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
  writeEnd.Reset();
  char buffer[512];
  DWORD read = 0;
  while (ReadFile(readEnd.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
    run.errorOutput.append(buffer, read);
  }
  WaitForSingleObject(process.hProcess, 60000);
  GetExitCodeProcess(process.hProcess, &run.exitCode);
  return run;
}

TEST(BrowseTool, SaysSoWhenTheSearchFoldersAreNotRegistered) {
  {
    test::ServerModule server;
    ASSERT_EQ(S_OK, server.UnregisterServer());
  }
  ToolRun run = RunBrowseTool("");
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_NE(std::string::npos, run.errorOutput.find("quorvane is not registered")) << run.errorOutput;
}

TEST(BrowseTool, RefusesAFolderPathThatDoesNotExistAndUnknownOptions) {
  test::ServerModule server;
  test::WriteFileText(server.DocumentPath(), "<root name='root'><folder name='Work'><folder name='Old'/></folder></root>");
  ASSERT_EQ(S_OK, server.RegisterServer());

  ToolRun missing = RunBrowseTool("Home");
  EXPECT_EQ(1u, missing.exitCode);
  EXPECT_NE(std::string::npos, missing.errorOutput.find("No search folder \"Home\"")) << missing.errorOutput;
  ToolRun missingBelow = RunBrowseTool("\"Work\\New\"");
  EXPECT_EQ(1u, missingBelow.exitCode);
  EXPECT_NE(std::string::npos, missingBelow.errorOutput.find("No search folder \"Work\\New\"")) << missingBelow.errorOutput;

  ToolRun unknownOption = RunBrowseTool("--fast Work");
  EXPECT_EQ(2u, unknownOption.exitCode);
  EXPECT_NE(std::string::npos, unknownOption.errorOutput.find("Usage:")) << unknownOption.errorOutput;

  EXPECT_EQ(S_OK, server.UnregisterServer());
  CoFreeUnusedLibrariesEx(0, 0);
}

}  // namespace
}  // namespace qv
