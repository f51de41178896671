#include "repair/repair_run.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "repair/component_table.h"
#include "repair/repair_report.h"
#include "win32/values.h"

namespace repair {
namespace {

using std::chrono::milliseconds;

std::u16string FileNameOf(std::u16string_view path) {
  const auto cut = path.find_last_of(u"\\/");
  return std::u16string(cut == std::u16string_view::npos ? path : path.substr(cut + 1));
}

// A component whose installed copy carries a higher file version than the one in the
// ocx folder is kept (a newer system update), and counts as in place.
bool KeepsNewerVersion(RepairPlatform& platform, const fileio::Path& source, const fileio::Path& destination) {
  const auto installed = platform.ReadFileVersion(destination);
  if (!installed) return false;
  const auto offered = platform.ReadFileVersion(source);
  return offered && *installed > *offered;
}

struct Registration {
  std::size_t row;
  std::u16string file;
  std::unique_ptr<StartedProcess> process;
};

struct NumberedFailure {
  std::size_t row;
  RowFailure failure;
};

}  // namespace

bool ConfirmRepair(Prompter& prompter) {
  return prompter.ShowMessage(kConfirmText, kConfirmTitle, win::kMbYesNoInformation) == win::kIdYes;
}

void RunRepair(RepairTarget target, Prompter& prompter, RepairPlatform& platform) {
  const std::u16string folder = platform.ApplicationFolder();

  std::vector<NumberedFailure> failures;
  std::vector<Registration> registrations;
  bool replacedInUse = false;
  const auto table = ComponentTable(target);

  // What earlier runs renamed aside goes first, once for each destination.
  std::vector<std::u16string_view> cleared;
  for (const ComponentEntry& entry : table) {
    if (std::find(cleared.begin(), cleared.end(), entry.Destination) != cleared.end()) continue;
    cleared.push_back(entry.Destination);
    platform.RemoveAsideFiles(fileio::Path(entry.Destination));
  }

  for (std::size_t row = 0; row < table.size(); ++row) {
    const ComponentEntry& entry = table[row];
    const fileio::Path source = folder + std::u16string(entry.Source);
    const fileio::Path destination(entry.Destination);
    std::u16string file = FileNameOf(entry.Destination);

    bool atRestart = false;
    if (!KeepsNewerVersion(platform, source, destination)) {
      if (auto copied = platform.Copy(source, destination); !copied)
        failures.push_back({row, {file, CopyFailureReason(copied.error())}});
      else if (*copied == CopyOutcome::kReplacedInUse)
        replacedInUse = true;
      else if (*copied == CopyOutcome::kAtRestart)
        atRestart = true;
    }
    if (atRestart) {
      // Registered once the restart has put the new file in place.
      failures.push_back({row, {file, FailureReason::kAtRestart}});
      if (entry.RegisterCommand && !platform.RegisterAtNextLogOn(destination))
        failures.push_back({row, {std::move(file), FailureReason::kNotScheduled}});
    } else if (entry.RegisterCommand) {
      if (auto process = platform.StartProcess(*entry.RegisterCommand, win::kShowMinimized))
        registrations.push_back({row, std::move(file), std::move(process)});
      else
        failures.push_back({row, {std::move(file), FailureReason::kNotStarted}});
    }
  }

  // The registrations ran meanwhile; give them what is left of one shared bound.
  const auto deadline = platform.Now() + kRegistrationWait;
  for (Registration& registration : registrations) {
    const auto now = platform.Now();
    const auto left = now < deadline ? std::chrono::ceil<milliseconds>(deadline - now) : milliseconds(0);
    const auto exitCode = registration.process->WaitForExit(left);
    registration.process.reset();
    if (!exitCode)
      failures.push_back({registration.row, {registration.file, FailureReason::kNotFinished}});
    else if (*exitCode != 0)
      failures.push_back({registration.row, {registration.file, FailureReason::kExitCode, *exitCode}});
  }

  if (failures.empty()) {
    prompter.ShowMessage(SuccessReport(target, replacedInUse), kReportTitle, win::kMbInformation);
  } else {
    // Row order; within a row the copy comes before the registration.
    std::stable_sort(failures.begin(), failures.end(),
                     [](const NumberedFailure& a, const NumberedFailure& b) { return a.row < b.row; });
    std::vector<RowFailure> listed;
    for (auto& numbered : failures) listed.push_back(std::move(numbered.failure));
    // A repair that only waits for the restart has failed nowhere.
    prompter.ShowMessage(FailureReport(target, listed), kReportTitle,
                         OnlyAwaitsRestart(listed) ? win::kMbInformation : win::kMbCritical);
  }
}

}  // namespace repair
