#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "support/ProgramRun.h"
#include "support/ServerModule.h"
#include "support/TempDirectory.h"

namespace qv {
namespace {

// Runs quorvane-browse with the arguments; its errors go to its output.
test::ProgramRun RunBrowseTool(const std::string& arguments) {
  const char* tool = std::getenv("QUORVANE_BROWSE");
  if (!tool) return {};
  return test::RunProgram("\"" + test::HostPathToWindows(tool) + "\" " + arguments);
}

TEST(BrowseTool, SaysSoWhenTheSearchFoldersAreNotRegistered) {
  {
    test::ServerModule server;
    ASSERT_EQ(S_OK, server.UnregisterServer());
  }
  test::ProgramRun run = RunBrowseTool("");
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_NE(std::string::npos, run.output.find("quorvane is not registered")) << run.output;
}

TEST(BrowseTool, RefusesAFolderPathThatDoesNotExistAndUnknownOptions) {
  test::ServerModule server;
  test::WriteFileText(server.DocumentPath(), "<root name='root'><folder name='Work'><folder name='Old'/></folder></root>");
  ASSERT_EQ(S_OK, server.RegisterServer());

  test::ProgramRun missing = RunBrowseTool("Home");
  EXPECT_EQ(1u, missing.exitCode);
  EXPECT_NE(std::string::npos, missing.output.find("No search folder \"Home\"")) << missing.output;
  test::ProgramRun missingBelow = RunBrowseTool("\"Work\\New\"");
  EXPECT_EQ(1u, missingBelow.exitCode);
  EXPECT_NE(std::string::npos, missingBelow.output.find("No search folder \"Work\\New\"")) << missingBelow.output;

  test::ProgramRun unknownOption = RunBrowseTool("--fast Work");
  EXPECT_EQ(2u, unknownOption.exitCode);
  EXPECT_NE(std::string::npos, unknownOption.output.find("Usage:")) << unknownOption.output;

  EXPECT_EQ(S_OK, server.UnregisterServer());
  CoFreeUnusedLibrariesEx(0, 0);
}

}  // namespace
}  // namespace qv
