#pragma once
// The repair behind Command1(0), without the window: ConfirmRepair asks, RunRepair
// copies and registers every row of the target's table, waits for the registrations
// and reports. One synchronous run on the user-interface thread. The window chooses
// the target (Option1) and keeps Command1(0) disabled around RunRepair.

#include <chrono>
#include <string_view>

#include "repair/component_table.h"
#include "repair/repair_platform.h"

namespace repair {

inline constexpr std::u16string_view kConfirmText = u"选择此项有可能造成其他问题\r\n\r\n建议逐一修复,是否要继续操作？";
inline constexpr std::u16string_view kConfirmTitle = u"Kestrova系列软件";
inline constexpr std::u16string_view kReportTitle = u"提示";

// How long, in all, the run waits for the registrations it started after the last row.
inline constexpr std::chrono::seconds kRegistrationWait{60};

// The confirmation; true when the answer is Yes.
bool ConfirmRepair(Prompter& prompter);

// The run after a confirmation.
void RunRepair(RepairTarget target, Prompter& prompter, RepairPlatform& platform);

}  // namespace repair
