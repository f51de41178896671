// Without libFuzzer: runs the target once on every file of the folders (or files) given,
// so that the regular test run replays the corpus. A broken invariant aborts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  std::vector<std::filesystem::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path arg = argv[i];
    if (std::filesystem::is_directory(arg)) {
      for (const auto& entry : std::filesystem::directory_iterator(arg))
        if (entry.is_regular_file()) inputs.push_back(entry.path());
    } else {
      inputs.push_back(arg);
    }
  }
  std::sort(inputs.begin(), inputs.end());
  if (inputs.empty()) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER_OR_FILE...  (no inputs found)\n", argv[0]);
    return 2;
  }
  for (const auto& path : inputs) {
    const auto bytes = testing_support::ReadBytes(path);
    if (!bytes) {
      std::fprintf(stderr, "cannot read %s\n", path.string().c_str());
      return 2;
    }
    std::fprintf(stderr, "replaying %s (%zu bytes)\n", path.filename().string().c_str(), bytes->size());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size());
  }
  std::printf("%zu inputs replayed\n", inputs.size());
  return 0;
}
