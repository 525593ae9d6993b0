#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include "folders/UserPaths.h"
#include "support/TempDirectory.h"

// The component is apartment-threaded; tests run on one OLE-initialised thread as
// a shell host would.
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (FAILED(OleInitialize(nullptr))) return 2;
  // Whatever reaches for the user's data directory without naming one (a loaded
  // DLL, a program started by a test) works in a directory of this run, never
  // in the profile of the prefix.
  qv::test::TempDirectory userData;
  SetEnvironmentVariableA("QUORVANE_DATA_DIR", userData.Path().c_str());
  int result = RUN_ALL_TESTS();
  OleUninitialize();
  return result;
}
