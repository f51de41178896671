// FileCopyEx of a 256 MiB file against cp of the same file, in one run: prints the
// median time and throughput of each and the ratio of FileCopyEx's throughput to cp's.
//
//   copy_bench [folder] [MiB] [rounds]
//
// The folder (default: the system's temporary folder) should lie on the disk to judge.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "repair/file_copy.h"
#include "text/codepage.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void WriteRandomFile(const fs::path& path, std::size_t bytes) {
  std::mt19937_64 random(42);
  std::vector<std::uint64_t> block(1 << 17);
  std::ofstream out(path, std::ios::binary);
  for (std::size_t done = 0; done < bytes; done += block.size() * 8) {
    for (auto& word : block) word = random();
    out.write(reinterpret_cast<const char*>(block.data()),
              static_cast<std::streamsize>(std::min(bytes - done, block.size() * 8)));
  }
}

bool RunCp(const fs::path& from, const fs::path& to) {
  const std::string a = from.string(), b = to.string();
  char* argv[] = {const_cast<char*>("cp"), const_cast<char*>(a.c_str()), const_cast<char*>(b.c_str()), nullptr};
  pid_t pid;
  if (posix_spawnp(&pid, "cp", nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path base = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
  const std::size_t mib = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 256;
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
  const fs::path folder = base / ("copy_bench." + std::to_string(getpid()));
  fs::create_directories(folder);
  const fs::path source = folder / "source.ocx";
  const fs::path byCp = folder / "cp.ocx";
  const fs::path byCopy = folder / "copy.ocx";
  WriteRandomFile(source, mib << 20);
  const fileio::Path sourceName = text::FromUtf8(source.string());
  const fileio::Path copyName = text::FromUtf8(byCopy.string());

  std::vector<double> cpTimes, copyTimes;
  bool ok = true;
  // One untimed round of each warms the page cache alike; then they alternate.
  for (int round = -1; round < rounds && ok; ++round) {
    fs::remove(byCp);
    auto start = Clock::now();
    ok = RunCp(source, byCp);
    const double cpTime = Seconds(Clock::now() - start);

    fs::remove(byCopy);
    start = Clock::now();
    ok = ok && repair::FileCopyEx(sourceName, copyName).has_value();
    const double copyTime = Seconds(Clock::now() - start);
    if (round >= 0) {
      cpTimes.push_back(cpTime);
      copyTimes.push_back(copyTime);
    }
  }
  fs::remove_all(folder);
  if (!ok) {
    std::fprintf(stderr, "copy_bench: a copy failed\n");
    return 1;
  }

  const double cpMedian = Median(cpTimes), copyMedian = Median(copyTimes);
  const double megabytes = static_cast<double>(mib << 20) / 1e6;
  std::printf("file: %zu MiB, %d rounds, median\n", mib, rounds);
  std::printf("cp          %8.3f s  %8.1f MB/s\n", cpMedian, megabytes / cpMedian);
  std::printf("FileCopyEx  %8.3f s  %8.1f MB/s\n", copyMedian, megabytes / copyMedian);
  std::printf("throughput ratio FileCopyEx/cp: %.2f (goal: at least 0.80)\n", cpMedian / copyMedian);
  return 0;
}
