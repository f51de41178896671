// The tests of the loaded control run in one single-threaded apartment, as a control's
// host does:  tesvar_ocx_test Tesvar.ocx [gtest options]
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>

#include <cstdio>

#include "ocx_under_test.h"

// The tests run in one single-threaded apartment, as a control's host does.
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s Tesvar.ocx [gtest options]\n", argv[0]);
    return 64;
  }
  ocx_test::SetOcxPath(argv[1]);
  if (FAILED(OleInitialize(nullptr))) return 1;
  const int result = RUN_ALL_TESTS();
  OleUninitialize();
  return result;
}
