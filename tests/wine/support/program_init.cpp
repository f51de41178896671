// GoogleTest's start, apart from the rest of program.cpp so that the stand-in programs
// that use the rest link without GoogleTest.
#include <gtest/gtest.h>

#include <cstdio>

#include "wine/support/program.h"

namespace wine_test {

std::optional<std::filesystem::path> InitWithFileUnderTest(int* argc, char** argv, const char* what) {
  testing::InitGoogleTest(argc, argv);
  if (*argc < 2) {
    std::fprintf(stderr, "usage: %s %s [gtest options]\n", argv[0], what);
    return std::nullopt;
  }
  return WindowsPath(argv[1]);
}

}  // namespace wine_test
