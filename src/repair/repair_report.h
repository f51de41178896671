#pragma once
// The message a repair run ends with: the success message only when every copy
// completed and every registration ended with exit code 0 (with a line of its own when
// a component in use was replaced: the running programs keep the old one until they
// are restarted), otherwise one message that names each failed file, the step that
// failed and why, each file left to be replaced at the restart, and what the user can
// do.

#include <cstdint>
#include <span>
#include <string>

#include "repair/component_table.h"
#include "repair/file_copy.h"

namespace repair {

enum class FailureReason {
  // The copy.
  kSourceMissing,     // the file is not in the ocx folder
  kSourceUnreadable,  // it is there but cannot be read
  kNoRights,          // the system folder or the file refused the write
  kReadOnly,          // the file in the system folder is read-only
  kInUse,             // a running program holds the file
  kFolderMissing,     // the destination folder does not exist
  kFolderInTheWay,    // a folder stands where the file should be
  kDiskFull,
  kCopyFailed,        // any other copy failure
  // The registration.
  kNotStarted,        // regsvr32 could not be started
  kExitCode,          // regsvr32 ended with an exit code other than 0
  kNotFinished,       // regsvr32 had not ended when the wait ran out
  kNotScheduled,      // the registration at the next log-on could not be recorded
  // Not a failure: the file is in use and is replaced, and registered, at the restart.
  kAtRestart,
};

bool IsRegistrationFailure(FailureReason reason);

struct RowFailure {
  std::u16string file;  // the file name, as the row's Destination spells it
  FailureReason reason;
  std::uint32_t exitCode = 0;  // with kExitCode

  friend bool operator==(const RowFailure&, const RowFailure&) = default;
};

FailureReason CopyFailureReason(const CopyFailure& failure);

// The text of the success message; `replacedInUse` when a component in use was
// replaced.
std::u16string SuccessReport(RepairTarget target, bool replacedInUse);

// True when every entry is kAtRestart: nothing failed, a restart finishes the repair.
bool OnlyAwaitsRestart(std::span<const RowFailure> failures);

// The text of the failure message. Each distinct failure is listed once, in the order
// given; advice follows. When OnlyAwaitsRestart, the message says that a restart
// finishes the repair.
std::u16string FailureReport(RepairTarget target, std::span<const RowFailure> failures);

}  // namespace repair
