// The repair report (D6) built from arbitrary failure lists.
//
// Input: the target byte, then failures, each: reason byte, exit code (4 bytes), file
// name as UTF-16LE units up to a 0 unit. At most 64 failures are taken: a run fails at
// most twice for each row of its table (copy and registration), and the tables have
// fewer than 32 rows.
//
// Checked: nothing crashes; the text names the target and its folder, never claims
// success, names every failed file with its step (copy or registration) and its reason
// in words (a registration exit code in the text; not checked for a name that holds a
// line break), a file left for the restart as such, lists a repeated failure once, and
// gives the advice each kind of failure calls for.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "fuzz_support.h"
#include "repair/component_table.h"
#include "repair/repair_report.h"
#include "text/codepage.h"

namespace {

using repair::FailureReason;

constexpr int kReasons = static_cast<int>(FailureReason::kAtRestart) + 1;

constexpr std::size_t kMostFailures = 64;

// The report's lines after the first, each the text after a "\r\n", sorted: the lines
// that start with a given text are then one run.
std::vector<std::u16string_view> SortedLines(const std::u16string& text) {
  std::vector<std::u16string_view> lines;
  const std::u16string_view all(text);
  for (std::size_t at = all.find(u"\r\n"); at != std::u16string_view::npos;) {
    const std::size_t next = all.find(u"\r\n", at + 2);
    lines.push_back(all.substr(at + 2, next == std::u16string_view::npos ? std::u16string_view::npos : next - at - 2));
    at = next;
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

// The lines that start with `prefix`.
std::span<const std::u16string_view> LinesStartingWith(const std::vector<std::u16string_view>& sorted,
                                                        std::u16string_view prefix) {
  const auto first = std::lower_bound(sorted.begin(), sorted.end(), prefix);
  auto last = first;
  while (last != sorted.end() && last->starts_with(prefix)) ++last;
  return {first, last};
}

bool Has(const std::vector<repair::RowFailure>& failures, FailureReason reason) {
  for (const auto& f : failures)
    if (f.reason == reason) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz_support::Input input(data, size);
  const auto target = (input.Byte() & 1) ? repair::RepairTarget::System32 : repair::RepairTarget::SysWOW64;
  std::vector<repair::RowFailure> failures;
  while (!input.Empty() && failures.size() < kMostFailures) {
    repair::RowFailure failure;
    failure.reason = static_cast<FailureReason>(input.Byte() % kReasons);
    failure.exitCode = static_cast<std::uint32_t>(input.Word()) | static_cast<std::uint32_t>(input.Word()) << 16;
    while (!input.Empty()) {
      const char16_t unit = input.Word();
      if (unit == 0) break;
      failure.file += unit;
    }
    failures.push_back(failure);
  }

  const std::u16string text = repair::FailureReport(target, failures);
  const auto shown = [&] { return text::ToUtf8(text); };  // made only when a check fails
  FUZZ_CHECK(text.find(repair::TargetLabel(target)) != std::u16string::npos, "the target is not named: " + shown());
  FUZZ_CHECK(text.find(repair::TargetFolder(target)) != std::u16string::npos, "the folder is not named: " + shown());
  FUZZ_CHECK(text.find(repair::SuccessMessage(target)) == std::u16string::npos, "a failure claims success: " + shown());
  std::set<std::tuple<std::u16string, FailureReason, std::uint32_t>> distinct;
  std::map<std::u16string, std::size_t> distinctPerFile;
  for (const auto& f : failures)
    if (distinct.emplace(f.file, f.reason, f.exitCode).second) ++distinctPerFile[f.file];
  const std::vector<std::u16string_view> lines = SortedLines(text);
  for (const repair::RowFailure& f : failures) {
    const std::u16string step = f.reason == FailureReason::kAtRestart ? u"文件正被运行中的程序使用"
                                : repair::IsRegistrationFailure(f.reason) ? u"注册失败"
                                                                           : u"复制失败";
    if (f.file.find(u"\r\n") != std::u16string::npos) {
      // A name with a line break in it spans lines of the index: it is looked for in the
      // whole text.
      FUZZ_CHECK(text.find(u"\r\n" + f.file + u"：" + step + u"，") != std::u16string::npos,
                 "a failed file is not named with its step: " + shown());
      continue;
    }
    const auto named = LinesStartingWith(lines, f.file + u"：" + step + u"，");
    FUZZ_CHECK(!named.empty(), "a failed file is not named with its step: " + shown());
    if (f.reason == FailureReason::kExitCode) {
      char code[16];
      std::snprintf(code, sizeof code, f.exitCode < 0x10000 ? "%u" : "0x%08X", static_cast<unsigned>(f.exitCode));
      const std::u16string code16 = text::FromUtf8(code);
      bool shownCode = false;
      for (std::u16string_view line : named) shownCode = shownCode || line.find(code16) != std::u16string_view::npos;
      FUZZ_CHECK(shownCode, "an exit code is missing: " + shown());
    }
    // A file name of plain letters cannot occur inside the report's own words, so unless
    // it begins another name it counts its listings: one per distinct failure.
    bool plain = !f.file.empty();
    for (char16_t c : f.file) plain = plain && ((c >= u'a' && c <= u'z') || c == u'.');
    bool alone = plain;
    for (const auto& g : failures) alone = alone && (g.file == f.file || !g.file.starts_with(f.file));
    if (alone)
      FUZZ_CHECK(LinesStartingWith(lines, f.file + u"：").size() == distinctPerFile[f.file],
                 "a failure is listed more or less than once: " + shown());
  }
  if (Has(failures, FailureReason::kNoRights))
    FUZZ_CHECK(text.find(u"以管理员身份运行") != std::u16string::npos, "no advice to run as administrator: " + shown());
  if (Has(failures, FailureReason::kAtRestart))
    FUZZ_CHECK(text.find(u"请重新启动Windows以完成修复。") != std::u16string::npos, "no advice to restart: " + shown());
  if (Has(failures, FailureReason::kInUse))
    FUZZ_CHECK(text.find(u"请关闭所有正在运行的") != std::u16string::npos, "no advice to close the programs: " + shown());
  return 0;
}
