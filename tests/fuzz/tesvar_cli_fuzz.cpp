// The `tesvar` tool's argument handling on arbitrary argument lists.
//
// Input: flags, the profile's bytes up to a NUL, then the arguments, separated by the
// byte 0x01, each UTF-8 text (a NUL inside one stays: a name with a NUL). The files are
// the target's files in memory, so that a run reaches no real file: p.ini holds the
// profile's bytes (flag 1: it is missing), and a FILE argument "p.ini" names it.
//
// Checked: nothing crashes; the exit status is 0, 1, 2 or 64; a usage mistake (64)
// prints the usage and nothing on standard output; an error (2) is reported as
// "error N: ..."; standard output is UTF-8 text, and a load that succeeds prints one
// line; the commands that only read leave the file as it was; no file but the named
// one appears.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "memory_files.h"
#include "profilectl/tool/tesvar_cli.h"
#include "text/codepage.h"

namespace {

using fuzz_support::Escaped;

std::vector<std::string> SplitArguments(const std::string& rest) {
  std::vector<std::string> args;
  if (rest.empty()) return args;
  std::size_t start = 0;
  for (std::size_t end; (end = rest.find('\x01', start)) != std::string::npos; start = end + 1)
    args.push_back(rest.substr(start, end - start));
  args.push_back(rest.substr(start));
  return args;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz_support::Input input(data, size);
  const std::uint8_t flags = input.Byte();
  const std::string profile = input.Field();
  std::vector<std::string> args = SplitArguments(input.Rest());

  const memory_files::InputFiles files;
  const std::string profilePath = "p.ini";
  if (!(flags & 1)) memory_files::Put(profilePath, profile);

  std::vector<std::u16string> wide;
  for (const std::string& arg : args) wide.push_back(text::FromUtf8(arg));

  profilectl::ToolOutput output;
  const int status = profilectl::RunTesvarTool(wide, output);

  // The arguments, for a message: made only when a check fails.
  const auto shown = [&] {
    std::string all;
    for (const std::string& arg : args) all += " " + Escaped(arg);
    return all;
  };
  FUZZ_CHECK(status == 0 || status == 1 || status == 2 || status == 64, "exit status " + std::to_string(status) + shown());
  if (status == 64) {
    FUZZ_CHECK(output.out.empty() && output.err.starts_with("tesvar: ") &&
                   output.err.find("usage: tesvar") != std::string::npos,
               "a usage mistake without the usage:" + shown());
  }
  if (status == 2) FUZZ_CHECK(output.err.find("error ") != std::string::npos, "an error without its number:" + shown());
  FUZZ_CHECK(text::ToUtf8(text::FromUtf8(output.out)) == output.out, "standard output is not UTF-8:" + shown());

  const auto line = profilectl::ParseToolArguments(wide);
  const std::u16string command = line ? line->command : std::u16string();
  if (status == 0 && command == u"load")
    FUZZ_CHECK(output.out.ends_with('\n') && output.out.find('\n') + 1 == output.out.size(),
               "a load printed other than one line:" + shown());
  if (status != 64 && (command == u"load" || command == u"has-section" || command == u"has-key")) {
    const std::optional<std::string> now = memory_files::Get(profilePath);
    FUZZ_CHECK(now.has_value() == !(flags & 1), "a read created or removed the file:" + shown());
    if (now) FUZZ_CHECK(*now == profile, "a read changed the file:" + shown());
  }
  FUZZ_CHECK(memory_files::Count() <= 2, "files other than the named one appeared:" + shown());
  return 0;
}
