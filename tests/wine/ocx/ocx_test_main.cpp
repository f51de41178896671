// The tests of the loaded control run in one single-threaded apartment, as a control's
// host does:  tesvar_ocx_test Tesvar.ocx [gtest options]
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>

#include "ocx_under_test.h"
#include "wine/support/program.h"

int main(int argc, char** argv) {
  const auto ocx = wine_test::InitWithFileUnderTest(&argc, argv, "Tesvar.ocx");
  if (!ocx) return 64;
  ocx_test::SetOcxPath(*ocx);
  if (FAILED(OleInitialize(nullptr))) return 1;
  const int result = RUN_ALL_TESTS();
  OleUninitialize();
  return result;
}
