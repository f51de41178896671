#pragma once
// What the profile functions treat as blank, for the portable store and everything
// that reasons about what it reads back.
//
// In a file, spaces, tabs and vertical tabs are ignored around section names, key
// names and values, inside the brackets and before '['. In the caller's section and
// key names only spaces are trimmed.
//
// The control's own scans (ini_scan.h) follow the control's rules, not these.

#include <string_view>

namespace profilectl {

// A blank in a profile file: space, tab or vertical tab.
template <class Unit>
constexpr bool IsBlank(Unit unit) {
  return unit == Unit(' ') || unit == Unit('\t') || unit == Unit('\v');
}

// A section or key name as the caller passed it, without its leading and trailing
// spaces.
constexpr std::string_view TrimSpaces(std::string_view name) {
  const std::size_t first = name.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return name.substr(first, name.find_last_not_of(' ') - first + 1);
}

}  // namespace profilectl
