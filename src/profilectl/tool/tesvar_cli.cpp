#include "profilectl/tool/tesvar_cli.h"

#include <charconv>
#include <optional>
#include <map>
#include <type_traits>

#include "profilectl/tesvar_core.h"
#include "text/codepage.h"

namespace profilectl {
namespace {

constexpr int kTrueExit = 0;
constexpr int kFalseExit = 1;
constexpr int kErrorExit = 2;
constexpr int kUsageExit = 64;

constexpr char kUsage[] =
    "usage: tesvar [--buffer N] [--check] FILE COMMAND [ARGS...]\n"
    "  load SECTION KEY          print the value\n"
    "  save SECTION KEY VALUE    exit 0 when written, 1 when not\n"
    "  has-section SECTION       exit 0 when present, 1 when not\n"
    "  has-key SECTION KEY       exit 0 when present, 1 when not\n"
    "  delete-section SECTION\n"
    "  delete-key SECTION KEY\n"
    "  clear-value SECTION KEY\n"
    "  new                       exit 0 when the file exists afterwards\n"
    "  sections                  print the section names, one a line\n"
    "  keys SECTION              print the section's key names, one a line\n"
    "  section SECTION           print the section's key=value lines\n"
    "The lists follow the profile functions (file order, duplicates kept, comments left\n"
    "out) and exit 1 when the file or the section is missing; --buffer N gives them a\n"
    "buffer of N bytes, which cuts a long list as the functions cut it.\n";

// With --check the messages go to standard error instead of a window.
class StderrMessages final : public MessageSink {
 public:
  explicit StderrMessages(std::string& err) : err_(err) {}
  void Show(std::u16string_view text, std::u16string_view title, int) override {
    err_ += text::ToUtf8(title) + ": " + text::ToUtf8(text) + "\n";
  }

 private:
  std::string& err_;
};

using Args = std::vector<std::u16string>;

// The number of arguments of each command.
std::optional<std::size_t> Arity(std::u16string_view command) {
  static const std::map<std::u16string_view, std::size_t> kArity = {
      {u"load", 2},       {u"save", 3},       {u"has-section", 1}, {u"has-key", 2},
      {u"delete-section", 1}, {u"delete-key", 2}, {u"clear-value", 2}, {u"new", 0},
      {u"sections", 0},   {u"keys", 1},       {u"section", 1},
  };
  const auto found = kArity.find(command);
  if (found == kArity.end()) return std::nullopt;
  return found->second;
}

int ExitFor(bool answer) { return answer ? kTrueExit : kFalseExit; }
int Success() { return kTrueExit; }

// The exit status `f` makes of a method's result, or the method's error.
template <class T, class F>
Outcome<int> Then(Outcome<T> result, F f) {
  if (!result) return std::unexpected(result.error());
  if constexpr (std::is_void_v<T>) {
    return f();
  } else {
    return f(*result);
  }
}

// Prints a list one entry a line, handing the output on as it grows.
class ListPrinter final : public TesvarCore::ListSink {
 public:
  explicit ListPrinter(ToolOutput& output) : output_(output) {}
  void Entry(std::string_view utf8) override {
    output_.out.append(utf8).push_back('\n');
    if (output_.flush && output_.out.size() >= ToolOutput::kFlushAt) {
      output_.flush(output_.out);
      output_.out.clear();
    }
  }

 private:
  ToolOutput& output_;
};

Outcome<int> Execute(TesvarCore& control, const ToolCommandLine& options, ToolOutput& output) {
  const std::u16string_view command = options.command;
  const Args& a = options.operands;
  if (command == u"load") {
    return Then(control.Load_Key(a[0], a[1], options.buffer, options.check), [&](const std::u16string& value) {
      output.out += text::ToUtf8(value) + "\n";
      return kTrueExit;
    });
  }
  if (command == u"save") return Then(control.Sav_Key(a[0], a[1], a[2], options.check), ExitFor);
  if (command == u"has-section") return Then(control.Dir扇区(a[0]), ExitFor);
  if (command == u"has-key") return Then(control.Dir键值(a[0], a[1]), ExitFor);
  if (command == u"delete-section") return Then(control.Del扇区(a[0]), Success);
  if (command == u"delete-key") return Then(control.Del键值(a[0], a[1]), Success);
  if (command == u"clear-value") return Then(control.Del数据(a[0], a[1]), Success);
  if (command == u"sections" || command == u"keys" || command == u"section") {
    if (options.bufferGiven && options.buffer <= 0) return Fail(ErrorNumber::kInvalidCall);
    const std::size_t size = options.bufferGiven ? static_cast<std::size_t>(options.buffer) : ProfileStore::kWholeList;
    ListPrinter printer(output);
    if (command == u"sections") return Then(control.SectionNames(size, printer), ExitFor);
    if (command == u"keys") return Then(control.KeyNames(a[0], size, printer), ExitFor);
    return Then(control.SectionLines(a[0], size, printer), ExitFor);
  }
  return Then(control.NewFile(control.FileName()), ExitFor);
}

int Usage(ToolOutput& output, const std::string& problem) {
  output.err += "tesvar: " + problem + "\n" + kUsage;
  return kUsageExit;
}

}  // namespace

std::expected<ToolCommandLine, std::string> ParseToolArguments(const Args& args) {
  ToolCommandLine line;
  std::size_t next = 0;
  for (; next < args.size() && args[next].starts_with(u"--"); ++next) {
    if (args[next] == u"--check") {
      line.check = kAutomationTrue;
    } else if (args[next] == u"--buffer" && next + 1 < args.size()) {
      const std::string n = text::ToUtf8(args[++next]);
      const auto parsed = std::from_chars(n.data(), n.data() + n.size(), line.buffer);
      line.bufferGiven = true;
      if (parsed.ec != std::errc() || parsed.ptr != n.data() + n.size())
        return std::unexpected("--buffer needs a number from -32768 to 32767");
    } else {
      return std::unexpected("unknown option " + text::ToUtf8(args[next]));
    }
  }
  if (args.size() - next < 2) return std::unexpected("FILE and COMMAND are required");

  line.file = args[next];
  line.command = args[next + 1];
  const auto arity = Arity(line.command);
  if (!arity) return std::unexpected("unknown command " + text::ToUtf8(line.command));
  line.operands.assign(args.begin() + static_cast<std::ptrdiff_t>(next) + 2, args.end());
  if (line.operands.size() != *arity)
    return std::unexpected(text::ToUtf8(line.command) + " takes " + std::to_string(*arity) + " argument(s)");
  return line;
}

int RunTesvarTool(const Args& args, ToolOutput& output) {
  const auto line = ParseToolArguments(args);
  if (!line) return Usage(output, line.error());

  StderrMessages messages(output.err);
  auto store = MakeSystemProfileStore();
  TesvarCore control(*store, messages);
  control.SetFileName(line->file);
  auto status = Execute(control, *line, output);
  if (!status) {
    output.err += "error " + std::to_string(status.error().Number()) + ": " +
                  text::ToUtf8(status.error().Description()) + "\n";
    return kErrorExit;
  }
  return *status;
}

}  // namespace profilectl
