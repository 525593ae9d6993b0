#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

// The component is apartment-threaded; tests run on one OLE-initialised thread as
// a shell host would.
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (FAILED(OleInitialize(nullptr))) return 2;
  int result = RUN_ALL_TESTS();
  OleUninitialize();
  return result;
}
