#pragma once
// The fixed component tables of the repair run: which files are copied from the ocx
// folder beside the tool into a Windows system folder, and which of them are then
// registered. Every text is a literal used exactly as written (letter case, "\" and
// "/" included); nothing is derived from anything else.

#include <optional>
#include <span>
#include <string_view>

namespace repair {

// The system folder a run writes to.
enum class RepairTarget {
  System32,  // Option1(0) "32位系统" selected
  SysWOW64,  // any other case
};

// One step of a run.
struct ComponentEntry {
  // Appended directly to the application folder to name the file to copy.
  std::u16string_view Source;
  // The full path the file is copied to.
  std::u16string_view Destination;
  // The complete command line started after the copy, or none.
  std::optional<std::u16string_view> RegisterCommand;
};

// The target's rows in execution order.
std::span<const ComponentEntry> ComponentTable(RepairTarget target);

// "32位系统" or "64位系统", as the option buttons name the targets.
std::u16string_view TargetLabel(RepairTarget target);

// "C:\WINDOWS\System32" or "C:\WINDOWS\SysWOW64".
std::u16string_view TargetFolder(RepairTarget target);

// The message of a run that went well: "32位系统修复成功!" or "64位系统修复成功!".
std::u16string_view SuccessMessage(RepairTarget target);

}  // namespace repair
