// P4: the time from process start to visible window of Mendora.exe against a minimal
// Win32 window program, both under Wine in one run. Not a test: run it by hand.
//
//   startup_bench.exe [RUNS]      (default 15 runs of each, interleaved)
//
// Each run starts the program with CreateProcessW, polls every millisecond until the
// process has a visible top-level window, then ends the process. Mendora.exe is the one
// in app\ beside this program (with its skin library and skin file, as it ships).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "wine/support/process.h"
#include "wine/support/program.h"
#include "wine/support/ui.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Milliseconds from CreateProcessW to the first visible window; negative on failure.
double TimeToWindow(const fs::path& exe) {
  const auto begin = Clock::now();
  wine_test::StartedProgram started;
  if (wine_test::StartInItsFolder(exe, started) != ERROR_SUCCESS) return -1;
  const auto hasWindow = [&](HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid == started.id && GetWindowTextLengthW(window) > 0;
  };
  double elapsed = -1;
  while (Clock::now() - begin < std::chrono::seconds(30)) {
    if (wine_test::FindVisibleWindow(hasWindow)) {
      elapsed = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
      break;
    }
    if (WaitForSingleObject(started.process.get(), 1) == WAIT_OBJECT_0) break;
  }
  TerminateProcess(started.process.get(), 0);
  WaitForSingleObject(started.process.get(), 10000);
  return elapsed;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 15;
  const fs::path folder = wine_test::ProgramFolder();
  const fs::path mendora = folder / "app" / "Mendora.exe";
  const fs::path minimal = folder / "minimal_window.exe";

  // One run of each first, unmeasured: Wine loads its libraries into the cache.
  TimeToWindow(minimal);
  TimeToWindow(mendora);
  std::vector<double> reference, measured;
  for (int i = 0; i < runs; ++i) {
    const double a = TimeToWindow(minimal);
    const double b = TimeToWindow(mendora);
    if (a < 0 || b < 0) {
      std::fprintf(stderr, "run %d: a program showed no window\n", i);
      return 1;
    }
    reference.push_back(a);
    measured.push_back(b);
  }
  const double ref = Median(reference), men = Median(measured);
  std::printf("start to visible window, median of %d runs under Wine:\n", runs);
  std::printf("  minimal Win32 window  %8.1f ms  (min %.1f, max %.1f)\n", ref,
              *std::min_element(reference.begin(), reference.end()), *std::max_element(reference.begin(), reference.end()));
  std::printf("  Mendora.exe           %8.1f ms  (min %.1f, max %.1f)\n", men,
              *std::min_element(measured.begin(), measured.end()), *std::max_element(measured.begin(), measured.end()));
  std::printf("  ratio Mendora/minimal %8.2f  (goal: at most 1.30)\n", men / ref);
  return 0;
}
