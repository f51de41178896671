#include "repair/repair_run.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "repair/component_table.h"
#include "text/codepage.h"
#include "win32/values.h"

namespace repair {
namespace {

using fileio::Error;
using Side = CopyFailure::Side;
using std::chrono::milliseconds;

std::string U8(std::u16string_view text) { return text::ToUtf8(text); }

// Everything the run does with the message box and the platform, in order, as text.
using Log = std::vector<std::string>;

struct FakePrompter : Prompter {
  explicit FakePrompter(Log& log) : log(log) {}

  int ShowMessage(std::u16string_view text, std::u16string_view title, int style) override {
    log.push_back("box " + std::to_string(style) + " " + U8(title));
    texts.push_back(U8(text));
    if (answers.empty()) return 1;  // IDOK
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }

  Log& log;
  std::deque<int> answers{win::kIdYes};
  std::vector<std::string> texts;
};

// How a started process behaves: its exit code once it ends, or nothing when it never
// ends within any wait.
struct FakeProcess : StartedProcess {
  FakeProcess(std::string name, std::optional<std::uint32_t> exitCode, Log& log,
              RepairPlatform::Clock::time_point& clock)
      : name(std::move(name)), exitCode(exitCode), log(log), clock(clock) {}

  std::optional<std::uint32_t> WaitForExit(milliseconds timeout) override {
    log.push_back("wait " + name + " " + std::to_string(timeout.count()));
    if (!exitCode) clock += timeout;  // a process that does not end uses up the whole wait
    return exitCode;
  }

  std::string name;
  std::optional<std::uint32_t> exitCode;
  Log& log;
  RepairPlatform::Clock::time_point& clock;
};

struct FakePlatform : RepairPlatform {
  explicit FakePlatform(Log& log) : log(log) {}

  std::u16string ApplicationFolder() override { return folder; }

  CopyStatus Copy(const fileio::Path& source, const fileio::Path& destination) override {
    log.push_back("copy " + U8(source) + " -> " + U8(destination));
    return copy ? copy(source, destination) : CopyStatus();
  }

  void RemoveAsideFiles(const fileio::Path& destination) override { log.push_back("clear " + U8(destination)); }

  bool RegisterAtNextLogOn(const fileio::Path& destination) override {
    log.push_back("at log-on " + U8(destination));
    return canSchedule;
  }

  std::optional<FileVersion> ReadFileVersion(const fileio::Path& path) override {
    const auto found = versions.find(path);
    return found == versions.end() ? std::nullopt : std::optional<FileVersion>(found->second);
  }

  std::unique_ptr<StartedProcess> StartProcess(std::u16string_view commandLine, int showWindow) override {
    const std::string command = U8(commandLine);
    log.push_back("start " + command + " show=" + std::to_string(showWindow));
    if (unstartable.contains(command)) return nullptr;
    const auto found = exitCodes.find(command);
    const std::optional<std::uint32_t> code = found == exitCodes.end() ? std::optional<std::uint32_t>(0) : found->second;
    return std::make_unique<FakeProcess>(command.substr(command.rfind(' ') + 1), code, log, clock);
  }

  Clock::time_point Now() override { return clock; }

  Log& log;
  std::u16string folder = u"D:\\Kestrova\\Mendora";
  std::function<CopyStatus(const fileio::Path&, const fileio::Path&)> copy;
  std::map<fileio::Path, FileVersion> versions;
  std::map<std::string, std::optional<std::uint32_t>> exitCodes;  // by command; nothing: never ends
  std::set<std::string> unstartable;
  bool canSchedule = true;
  Clock::time_point clock{};
};

struct RepairRun : testing::Test {
  Log log;
  FakePrompter prompter{log};
  FakePlatform platform{log};
  RepairTarget target = RepairTarget::SysWOW64;

  // As the window's click does it: the confirmation, then the run for its target.
  void Run() {
    if (ConfirmRepair(prompter)) RunRepair(target, prompter, platform);
  }

  // The lines of the log that start with `prefix`.
  std::vector<std::string> Only(std::string_view prefix) const {
    std::vector<std::string> lines;
    for (const auto& line : log)
      if (line.starts_with(prefix)) lines.push_back(line);
    return lines;
  }
};

TEST_F(RepairRun, ConfirmationBoxComesFirst) {
  Run();
  ASSERT_FALSE(prompter.texts.empty());
  EXPECT_EQ(log.front(), "box 68 Kestrova系列软件");
  EXPECT_EQ(prompter.texts.front(), "选择此项有可能造成其他问题\r\n\r\n建议逐一修复,是否要继续操作？");
}

TEST_F(RepairRun, AnyAnswerButYesDoesNothingMore) {
  for (const int answer : {7 /* IDNO */, 2 /* IDCANCEL */, 0 /* the box failed */, 1 /* IDOK */}) {
    SCOPED_TRACE(answer);
    log.clear();
    prompter.answers = {answer};
    EXPECT_FALSE(ConfirmRepair(prompter));
    EXPECT_EQ(log, Log{"box 68 Kestrova系列软件"});
  }
  prompter.answers = {win::kIdYes};
  EXPECT_TRUE(ConfirmRepair(prompter));
}

TEST_F(RepairRun, EachTargetRunsItsTableInOrder) {
  struct Case {
    RepairTarget target;
    std::vector<std::string> registered;  // in the order started
    std::string success;
  };
  const Case cases[] = {
      {RepairTarget::System32,
       {"image.ocx", "gif.ocx", "EFMTIcn.ocx", "COMDLG32.OCX", "MSCOMCTL.OCX", "MSINET.OCX", "TABCTL32.OCX",
        "Tesvar.OCX", "MSWINSCK.ocx", "EFMTIcn.ocx"},
       "32位系统修复成功!"},
      {RepairTarget::SysWOW64,
       {"EFMTIcn.ocx", "MSWINSCK.ocx", "Tesvar.OCX", "image.ocx", "gif.ocx", "EFMTIcn.ocx", "COMDLG32.OCX",
        "MSCOMCTL.OCX", "MSINET.OCX", "TABCTL32.OCX"},
       "64位系统修复成功!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.success);
    log.clear();
    prompter.answers = {win::kIdYes};
    target = c.target;
    Run();
    // What earlier runs renamed aside goes first, once for each destination; then each
    // row: its copy, then its registration started minimized; the registrations are
    // waited for only after the last row, in the order started.
    Log expected = {"box 68 Kestrova系列软件"};
    std::set<std::u16string_view> cleared;
    for (const ComponentEntry& row : ComponentTable(c.target))
      if (cleared.insert(row.Destination).second) expected.push_back("clear " + U8(row.Destination));
    EXPECT_EQ(cleared.size(), 11u);
    for (const ComponentEntry& row : ComponentTable(c.target)) {
      expected.push_back("copy D:\\Kestrova\\Mendora" + U8(row.Source) + " -> " + U8(row.Destination));
      if (row.RegisterCommand) expected.push_back("start " + U8(*row.RegisterCommand) + " show=2");
    }
    for (const std::string& file : c.registered) expected.push_back("wait " + file + " 60000");
    expected.push_back("box 64 提示");
    EXPECT_EQ(log, expected);
    EXPECT_EQ(prompter.texts.back(), c.success);
  }
}

TEST_F(RepairRun, ApplicationFolderIsUsedAsReported) {
  struct Case {
    std::u16string folder;
    std::string firstCopy;
  };
  for (const Case& c : {Case{u"C:\\", "copy C:\\\\ocx\\EFMTIcn.ocx -> C:\\WINDOWS\\SysWOW64/EFMTIcn.ocx"},
                        Case{u"\\\\server\\share", "copy \\\\server\\share\\ocx\\EFMTIcn.ocx -> C:\\WINDOWS\\SysWOW64/EFMTIcn.ocx"},
                        Case{u"", "copy \\ocx\\EFMTIcn.ocx -> C:\\WINDOWS\\SysWOW64/EFMTIcn.ocx"}}) {
    log.clear();
    prompter.answers = {win::kIdYes};
    platform.folder = c.folder;
    Run();
    ASSERT_FALSE(Only("copy ").empty());
    EXPECT_EQ(Only("copy ").front(), c.firstCopy);
  }
}

TEST_F(RepairRun, MissingOcxFolderStillRunsEveryStepAndReportsEachFile) {
  target = RepairTarget::System32;
  platform.copy = [](const fileio::Path&, const fileio::Path&) {
    return CopyStatus(std::unexpected(CopyFailure{Side::kSource, Error::kPathNotFound}));
  };
  Run();
  EXPECT_EQ(Only("copy ").size(), 12u);
  EXPECT_EQ(Only("start ").size(), 10u);
  EXPECT_EQ(log.back(), "box 16 提示");
  const std::string expected =
      "32位系统（C:\\WINDOWS\\System32）修复没有完成，以下文件出现问题：\r\n"
      "\r\nimage.ocx：复制失败，ocx文件夹中没有这个文件"
      "\r\ngif.ocx：复制失败，ocx文件夹中没有这个文件"
      "\r\nEFMTIcn.ocx：复制失败，ocx文件夹中没有这个文件"
      "\r\nCOMDLG32.OCX：复制失败，ocx文件夹中没有这个文件"
      "\r\nMSCOMCTL.OCX：复制失败，ocx文件夹中没有这个文件"
      "\r\nMSINET.OCX：复制失败，ocx文件夹中没有这个文件"
      "\r\nTABCTL32.OCX：复制失败，ocx文件夹中没有这个文件"
      "\r\nTesvar.OCX：复制失败，ocx文件夹中没有这个文件"
      "\r\nMSWINSCK.ocx：复制失败，ocx文件夹中没有这个文件"
      "\r\nSkinH_VB6.dll：复制失败，ocx文件夹中没有这个文件"
      "\r\nNSkin.dll：复制失败，ocx文件夹中没有这个文件"
      "\r\n"
      "\r\n请确认本工具旁边的ocx文件夹完整，然后重新修复。";
  EXPECT_EQ(prompter.texts.back(), expected);
}

TEST_F(RepairRun, FailedCopiesAndRegistrationsAreReportedInRowOrder) {
  platform.copy = [](const fileio::Path&, const fileio::Path& destination) -> CopyStatus {
    if (destination.ends_with(u"/Tesvar.OCX")) return std::unexpected(CopyFailure{Side::kDestination, Error::kAccessDenied});
    if (destination.ends_with(u"/NSkin.dll")) return std::unexpected(CopyFailure{Side::kDestination, Error::kSharingViolation});
    return {};
  };
  platform.exitCodes["regsvr32 /s MSINET.OCX"] = 5;
  platform.exitCodes["regsvr32 /s gif.ocx"] = std::nullopt;
  platform.unstartable.insert("regsvr32 /s COMDLG32.OCX");
  Run();
  const std::string expected =
      "64位系统（C:\\WINDOWS\\SysWOW64）修复没有完成，以下文件出现问题：\r\n"
      "\r\nTesvar.OCX：复制失败，没有写入系统文件夹的权限"
      "\r\ngif.ocx：注册失败，注册程序在60秒内没有结束"
      "\r\nCOMDLG32.OCX：注册失败，无法启动注册程序regsvr32"
      "\r\nMSINET.OCX：注册失败，注册程序返回错误代码 5"
      "\r\nNSkin.dll：复制失败，文件正被运行中的程序使用"
      "\r\n"
      "\r\n请右键点击本工具，选择“以管理员身份运行”，然后重新修复。"
      "\r\n请关闭所有正在运行的Kestrova系列软件，然后重新修复。";
  EXPECT_EQ(prompter.texts.back(), expected);
  EXPECT_EQ(log.back(), "box 16 提示");
}

TEST_F(RepairRun, AComponentInUseIsReplacedOrLeftForTheRestart) {
  struct Case {
    const char* name;
    CopyOutcome tesvar, nskin;
    bool canSchedule;
    int style;
    std::string report;
  };
  const std::string header = "64位系统（C:\\WINDOWS\\SysWOW64）";
  const Case cases[] = {
      {"replaced in use", CopyOutcome::kReplacedInUse, CopyOutcome::kReplacedInUse, true, 64,
       "64位系统修复成功!\r\n\r\n正在运行的程序仍使用原来的组件，重新启动这些程序后即使用修复后的组件。"},
      {"left for the restart", CopyOutcome::kAtRestart, CopyOutcome::kAtRestart, true, 64,
       header + "修复需要重新启动Windows才能完成：\r\n"
                "\r\nTesvar.OCX：文件正被运行中的程序使用，将在重新启动Windows后替换"
                "\r\nNSkin.dll：文件正被运行中的程序使用，将在重新启动Windows后替换"
                "\r\n"
                "\r\n请重新启动Windows以完成修复。"},
      {"the registration at log-on cannot be recorded", CopyOutcome::kAtRestart, CopyOutcome::kInPlace, false, 16,
       header + "修复没有完成，以下文件出现问题：\r\n"
                "\r\nTesvar.OCX：文件正被运行中的程序使用，将在重新启动Windows后替换"
                "\r\nTesvar.OCX：注册失败，无法安排重新启动后的注册"
                "\r\n"
                "\r\n请重新启动Windows以完成修复。"
                "\r\n请以管理员身份运行本工具，关闭所有Kestrova系列软件后重新修复。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log.clear();
    prompter.answers = {win::kIdYes};
    platform.canSchedule = c.canSchedule;
    platform.copy = [&c](const fileio::Path&, const fileio::Path& destination) -> CopyStatus {
      if (destination.ends_with(u"/Tesvar.OCX")) return c.tesvar;
      if (destination.ends_with(u"/NSkin.dll")) return c.nskin;
      return CopyOutcome::kInPlace;
    };
    Run();
    EXPECT_EQ(log.back(), "box " + std::to_string(c.style) + " 提示");
    EXPECT_EQ(prompter.texts.back(), c.report);
    // A component left for the restart is registered at the next log-on instead of
    // now; NSkin.dll has no registration.
    const bool atRestart = c.tesvar == CopyOutcome::kAtRestart;
    EXPECT_EQ(Only("start regsvr32 /s Tesvar.OCX").size(), atRestart ? 0u : 1u);
    EXPECT_EQ(Only("at log-on ").size(), atRestart ? 1u : 0u);
    if (atRestart) {
      EXPECT_EQ(Only("at log-on ").front(), "at log-on C:\\WINDOWS\\SysWOW64/Tesvar.OCX");
    }
    EXPECT_EQ(Only("start ").size(), atRestart ? 9u : 10u);
  }
}

TEST_F(RepairRun, RegistrationsShareOneSixtySecondWait) {
  target = RepairTarget::System32;
  platform.exitCodes["regsvr32 /s gif.ocx"] = std::nullopt;  // the second one started never ends
  Run();
  const Log waits = Only("wait ");
  ASSERT_EQ(waits.size(), 10u);
  EXPECT_EQ(waits[0], "wait image.ocx 60000");
  EXPECT_EQ(waits[1], "wait gif.ocx 60000");
  // The bound is used up: the rest are only looked at, and those that ended count.
  for (std::size_t i = 2; i < waits.size(); ++i) EXPECT_TRUE(waits[i].ends_with(" 0")) << waits[i];
  EXPECT_EQ(prompter.texts.back().find("gif.ocx：注册失败，注册程序在60秒内没有结束"), prompter.texts.back().find("gif.ocx"));
  EXPECT_EQ(prompter.texts.back().find("image.ocx"), std::string::npos);
}

TEST_F(RepairRun, ARunAfterAFailedRunStartsAfresh) {
  platform.copy = [](const fileio::Path&, const fileio::Path&) {
    return CopyStatus(std::unexpected(CopyFailure{Side::kDestination, Error::kAccessDenied}));
  };
  Run();
  EXPECT_EQ(log.back(), "box 16 提示");
  platform.copy = nullptr;
  prompter.answers = {win::kIdYes};
  log.clear();
  Run();
  EXPECT_EQ(Only("copy ").size(), 12u);
  EXPECT_EQ(log.back(), "box 64 提示");
  EXPECT_EQ(prompter.texts.back(), "64位系统修复成功!");
}

TEST_F(RepairRun, NeverDowngradesAComponent) {
  const fileio::Path source = u"D:\\Kestrova\\Mendora\\ocx\\image.ocx";
  const fileio::Path destination = u"C:\\WINDOWS\\System32/image.ocx";
  const FileVersion v1 = MakeFileVersion(1, 0, 0, 0), v1_1 = MakeFileVersion(1, 0, 0, 1),
                    v2 = MakeFileVersion(2, 0, 0, 0);
  struct Case {
    const char* name;
    std::optional<FileVersion> installed, offered;
    bool copied;
  };
  for (const Case& c : {Case{"installed newer", v2, v1, false},
                        Case{"installed newer in the revision", v1_1, v1, false},
                        Case{"same version", v2, v2, true},
                        Case{"installed older", v1, v2, true},
                        Case{"installed without version", std::nullopt, v1, true},
                        Case{"offered without version", v2, std::nullopt, true},
                        Case{"neither has one", std::nullopt, std::nullopt, true}}) {
    SCOPED_TRACE(c.name);
    log.clear();
    prompter.answers = {win::kIdYes};
    target = RepairTarget::System32;
    platform.versions.clear();
    if (c.installed) platform.versions[destination] = *c.installed;
    if (c.offered) platform.versions[source] = *c.offered;
    Run();
    const Log copies = Only("copy ");
    EXPECT_EQ(copies.size(), c.copied ? 12u : 11u);
    EXPECT_EQ(copies.front().ends_with("System32/image.ocx"), c.copied);
    // The kept component is registered all the same, and the run succeeds.
    EXPECT_EQ(Only("start regsvr32 /s image.ocx").size(), 1u);
    EXPECT_EQ(prompter.texts.back(), "32位系统修复成功!");
  }
}

}  // namespace
}  // namespace repair
