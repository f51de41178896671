#pragma once
// The `tesvar` command: the control's methods for scripts.
//
//   tesvar [--buffer N] [--check] FILE COMMAND [ARGS...]
//
// Arguments and output are UTF-8 text. Exit status: 0 success or True, 1 False,
// 2 an error of the control ("error N: description" on standard error), 64 a usage
// mistake.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace profilectl {

struct ToolOutput {
  std::string out;  // standard output, UTF-8
  std::string err;  // standard error, UTF-8

  // When set, a list's output is handed here in whole lines, and `out` emptied, each
  // time `out` reaches kFlushAt bytes, so that a list of any length takes bounded
  // memory; what is left in `out` at the end is the caller's to write.
  std::function<void(std::string_view)> flush;
  static constexpr std::size_t kFlushAt = 64 * 1024;
};

// A command line taken apart.
struct ToolCommandLine {
  std::int16_t buffer = 1024;  // 数据缓冲 of load
  bool bufferGiven = false;    // the lists are whole unless given a buffer
  std::int16_t check = 0;      // 错误处理 of load and save
  std::u16string file;
  std::u16string command;
  std::vector<std::u16string> operands;  // as many as the command takes
};

// The command line, or what is wrong with it (a usage mistake, exit status 64).
std::expected<ToolCommandLine, std::string> ParseToolArguments(const std::vector<std::u16string>& args);

int RunTesvarTool(const std::vector<std::u16string>& args, ToolOutput& output);

}  // namespace profilectl
