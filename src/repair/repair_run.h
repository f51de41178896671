#pragma once
// RunRepair: the click of Command1(0). One synchronous run on the user-interface
// thread: confirm, disable the button, copy and register every row of the chosen
// table, wait for the registrations, report, enable the button.

#include <chrono>
#include <string_view>

#include "repair/repair_platform.h"

namespace repair {

inline constexpr std::u16string_view kConfirmText = u"选择此项有可能造成其他问题\r\n\r\n建议逐一修复,是否要继续操作？";
inline constexpr std::u16string_view kConfirmTitle = u"Kestrova系列软件";
inline constexpr std::u16string_view kReportTitle = u"提示";

// How long, in all, the run waits for the registrations it started after the last row.
inline constexpr std::chrono::seconds kRegistrationWait{60};

void RunRepair(RepairWindow& window, RepairPlatform& platform);

}  // namespace repair
