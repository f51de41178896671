// The repair report (D6) built from arbitrary failure lists.
//
// Input: the target byte, then failures, each: reason byte, exit code (4 bytes), file
// name as UTF-16LE units up to a 0 unit.
//
// Checked: nothing crashes; the text names the target and its folder, never claims
// success, names every failed file with its step (copy or registration) and its reason
// in words (a registration exit code in the text), lists a repeated failure once, and
// gives the advice each kind of failure calls for.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "fuzz_support.h"
#include "repair/component_table.h"
#include "repair/repair_report.h"
#include "text/codepage.h"

namespace {

using repair::FailureReason;

constexpr int kReasons = static_cast<int>(FailureReason::kNotFinished) + 1;

std::size_t Count(const std::u16string& text, const std::u16string& part) {
  if (part.empty()) return 0;
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::u16string::npos; at = text.find(part, at + 1)) ++n;
  return n;
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
  while (!input.Empty()) {
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
  for (std::size_t i = 0; i < failures.size(); ++i) {
    const repair::RowFailure& f = failures[i];
    const std::u16string step = repair::IsRegistrationFailure(f.reason) ? u"注册失败" : u"复制失败";
    const std::u16string line = u"\r\n" + f.file + u"：" + step + u"，";
    FUZZ_CHECK(text.find(line) != std::u16string::npos, "a failed file is not named with its step: " + shown());
    if (f.reason == FailureReason::kExitCode) {
      const std::u16string code = text::FromUtf8(std::to_string(f.exitCode));
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(f.exitCode));
      FUZZ_CHECK(text.find(f.exitCode < 0x10000 ? code : text::FromUtf8(hex)) != std::u16string::npos,
                 "an exit code is missing: " + shown());
    }
    // A file name of plain letters cannot occur inside the report's own words, so unless
    // it is part of another name it counts its listings: one per distinct failure. (The
    // first few failures: the count is a search through the whole text.)
    bool plain = i < 16 && !f.file.empty();
    for (char16_t c : f.file) plain = plain && ((c >= u'a' && c <= u'z') || c == u'.');
    bool alone = plain;
    for (const auto& g : failures) alone = alone && (g.file == f.file || g.file.find(f.file) == std::u16string::npos);
    if (alone)
      FUZZ_CHECK(Count(text, u"\r\n" + f.file + u"：") == distinctPerFile[f.file],
                 "a failure is listed more or less than once: " + shown());
  }
  if (Has(failures, FailureReason::kNoRights))
    FUZZ_CHECK(text.find(u"以管理员身份运行") != std::u16string::npos, "no advice to run as administrator: " + shown());
  if (Has(failures, FailureReason::kInUse))
    FUZZ_CHECK(text.find(u"请关闭所有正在运行的") != std::u16string::npos, "no advice to close the programs: " + shown());
  return 0;
}
