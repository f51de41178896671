#pragma once
// The `tesvar` command: the control's methods for scripts.
//
//   tesvar [--buffer N] [--check] FILE COMMAND [ARGS...]
//
// Arguments and output are UTF-8 text. Exit status: 0 success or True, 1 False,
// 2 an error of the control ("error N: description" on standard error), 64 a usage
// mistake.

#include <string>
#include <vector>

namespace profilectl {

struct ToolOutput {
  std::string out;  // standard output, UTF-8
  std::string err;  // standard error, UTF-8
};

int RunTesvarTool(const std::vector<std::u16string>& args, ToolOutput& output);

}  // namespace profilectl
