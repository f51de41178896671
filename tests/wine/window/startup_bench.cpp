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

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Search {
  DWORD pid;
  bool found = false;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM lParam) {
  auto& search = *reinterpret_cast<Search*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == search.pid && IsWindowVisible(window) && GetWindowTextLengthW(window) > 0) {
    search.found = true;
    return FALSE;
  }
  return TRUE;
}

// Milliseconds from CreateProcessW to the first visible window; negative on failure.
double TimeToWindow(const fs::path& exe) {
  std::wstring commandLine = L"\"" + exe.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  const auto begin = Clock::now();
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      exe.parent_path().c_str(), &startup, &started))
    return -1;
  Search search{started.dwProcessId};
  double elapsed = -1;
  while (Clock::now() - begin < std::chrono::seconds(30)) {
    EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      elapsed = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
      break;
    }
    if (WaitForSingleObject(started.hProcess, 1) == WAIT_OBJECT_0) break;
  }
  TerminateProcess(started.hProcess, 0);
  WaitForSingleObject(started.hProcess, 10000);
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return elapsed;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 15;
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  const fs::path folder = fs::path(std::wstring(self, n)).parent_path();
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
