// The code page 936 conversion as the INI scans and the profile store call it: once per
// value, on short values, plus one long text.
//
//   codepage_bench
//
// Prints the time per call of ToAnsi, ToAnsiExact and FromAnsi for each kind of value
// (best of several runs).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "text/codepage.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 5;

template <typename F>
double NanosecondsPerCall(long calls, F&& f) {
  double best = 1e300;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = Clock::now();
    for (long i = 0; i < calls; ++i) f();
    const std::chrono::duration<double, std::nano> spent = Clock::now() - start;
    best = std::min(best, spent.count() / static_cast<double>(calls));
  }
  return best;
}

volatile std::size_t sink;

void Measure(const char* name, const std::u16string& value, long calls) {
  const std::string bytes = text::ToAnsi(value);
  const double to = NanosecondsPerCall(calls, [&] { sink = text::ToAnsi(value).size(); });
  const double exact = NanosecondsPerCall(calls, [&] { sink = text::ToAnsiExact(value)->size(); });
  const double from = NanosecondsPerCall(calls, [&] { sink = text::FromAnsi(bytes).size(); });
  std::printf("%-28s %6zu units  ToAnsi %9.1f ns  ToAnsiExact %9.1f ns  FromAnsi %9.1f ns\n", name, value.size(), to,
              exact, from);
}

}  // namespace

int main() {
  std::u16string longText;
  while (longText.size() < 4096) longText += u"扇区键值=数据,用户名称与密码;Kestrova软件修复器 V2.0.0。";
  Measure("ASCII value", u"C:\\Program Files\\App\\data.ini", 2'000'000);
  Measure("short Chinese value", u"用户名=张三", 2'000'000);
  Measure("mixed value", u"Kestrova软件修复器 V2.0.0", 2'000'000);
  Measure("long Chinese text", longText, 5'000);
}
