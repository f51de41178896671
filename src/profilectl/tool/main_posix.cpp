#include <cstdio>
#include <string_view>

#include "profilectl/tool/tesvar_cli.h"
#include "text/codepage.h"

int main(int argc, char** argv) {
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(text::FromUtf8(argv[i]));
  profilectl::ToolOutput output;
  output.flush = [](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); };
  const int status = profilectl::RunTesvarTool(args, output);
  std::fwrite(output.out.data(), 1, output.out.size(), stdout);
  std::fwrite(output.err.data(), 1, output.err.size(), stderr);
  return status;
}
