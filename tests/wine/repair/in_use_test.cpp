// Confirmed repairs while a component is in use: a holder program keeps the real
// Tesvar.ocx loaded (or open without delete sharing) from the prefix's system folder,
// the repair runs on the real binding with the real file system and the prefix's
// regsvr32, and "wineboot -r" plays the restart. The other components are stand-ins
// whose DllRegisterServer leaves a mark, so that a repair can succeed as a whole.
//
// The test writes the prefix's system folder, its registration of the control, its
// restart schedule (PendingFileRenameOperations) and RunOnce, and restarts the prefix:
// it runs alone.
//
//   in_use_test Tesvar.ocx control_standin.dll [gtest options]
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <filesystem>
#include <string>
#include <vector>

#include "install_faults.h"
#include "repair/component_table.h"
#include "repair/repair_run.h"
#include "scratch_platform.h"
#include "support/temp_dir.h"
#include "win32/values.h"
#include "wine/support/files.h"
#include "wine/support/process.h"
#include "wine/support/program.h"
#include "wine/support/registry.h"

namespace repair {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::TempDir;
using wine_test::Path16;
using wine_test::Quoted;
using wine_test::ReadBytes;
using wine_test::WriteBytes;

constexpr bool kIs64Bit = sizeof(void*) == 8;
constexpr wchar_t kClassServerKey[] =
    L"Software\\Classes\\CLSID\\{01186666-2B0C-4C98-A0F2-CF76AB4B8DA6}\\InprocServer32";
constexpr wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kRunOnce[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr wchar_t kInUseLine[] = L"\r\n\r\n正在运行的程序仍使用原来的组件，重新启动这些程序后即使用修复后的组件。";

fs::path g_ocx, g_standin;

const wchar_t* const kComponents[] = {L"image.ocx",    L"gif.ocx",    L"EFMTIcn.ocx",  L"COMDLG32.OCX",
                                      L"MSCOMCTL.OCX", L"MSINET.OCX", L"TABCTL32.OCX", L"Tesvar.OCX",
                                      L"MSWINSCK.ocx", L"SkinH_VB6.dll", L"NSkin.dll"};

class ConfirmingPrompter final : public Prompter {
 public:
  int ShowMessage(std::u16string_view text, std::u16string_view, int style) override {
    if (style == win::kMbYesNoInformation) return win::kIdYes;
    report = std::wstring(text.begin(), text.end());
    reportStyle = style;
    return 1;
  }
  std::wstring report;
  int reportStyle = 0;
};

// The prefix's system folder of this program's kind as it really is, reached through
// drive Z:, where no redirector applies.
fs::path RealSystemFolder() {
  const auto prefix = wine_test::EnvironmentVariable(L"WINEPREFIX");
  if (!prefix) return {};
  return wine_test::WindowsPath(*prefix) / L"drive_c" / L"windows" / (kIs64Bit ? L"system32" : L"syswow64");
}

// The restart's schedule: PendingFileRenameOperations, one entry a line.
std::vector<std::wstring> PendingOperations() {
  std::vector<std::wstring> entries;
  DWORD size = 0;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr,
                   nullptr, &size) != ERROR_SUCCESS)
    return entries;
  std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr,
                   data.data(), &size) != ERROR_SUCCESS)
    return entries;
  for (const wchar_t* p = data.c_str(); p < data.c_str() + size / sizeof(wchar_t); p += wcslen(p) + 1)
    entries.emplace_back(p);
  if (entries.size() % 2 == 1 && entries.back().empty()) entries.pop_back();  // the list's end
  return entries;
}

std::wstring Lower(std::wstring text) {
  CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// Whether the schedule deletes the real folder's `name` at the restart.
bool DeletedAtRestart(const std::wstring& name) {
  const auto entries = PendingOperations();
  const std::wstring wanted = Lower((RealSystemFolder().filename() / name).wstring());
  for (std::size_t i = 0; i + 1 < entries.size(); i += 2)
    if (Lower(entries[i]).ends_with(wanted) && entries[i + 1].empty()) return true;
  return false;
}

std::wstring RegisteredServer() {
  const REGSAM view = kIs64Bit ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
  if (!wine_test::RegistryKeyExists(HKEY_LOCAL_MACHINE, kClassServerKey, view)) return L"";
  return wine_test::RegistryString(HKEY_LOCAL_MACHINE, kClassServerKey, nullptr, view).value_or(L"?");
}

// The files of the real system folder whose names start with "Tesvar.OCX." (aside
// files and temporary ones), lowercase.
std::set<std::wstring> TesvarLeftovers() {
  std::set<std::wstring> names;
  for (const std::wstring& name : wine_test::Names(RealSystemFolder()))
    if (Lower(name).starts_with(L"tesvar.ocx.")) names.insert(Lower(name));
  return names;
}

// A program holding a file until it is told to let go.
class Holder {
 public:
  Holder(const wchar_t* mode, const fs::path& file) {
    const std::wstring command = Quoted((wine_test::ProgramFolder() / L"component_holder.exe").native()) + L" " + mode +
                                 L" " + Quoted(file.native()) + L" " + Quoted(signals_.path().native());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring line = command;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
      CloseHandle(info.hThread);
      process_.reset(info.hProcess);
    }
    held_ = process_ && wine_test::WaitUntil([&] { return fs::exists(signals_.path() / "held"); }, 30s);
  }
  ~Holder() { Release(); }

  bool holds() const { return held_; }
  bool running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
  // Lets go and waits for the end: the exit code (DllCanUnloadNow of the loaded copy).
  std::optional<DWORD> Release() {
    if (!process_) return std::nullopt;
    WriteBytes(signals_.path() / "quit", "");
    DWORD code = 0;
    const bool ended = WaitForSingleObject(process_.get(), 30000) == WAIT_OBJECT_0 && GetExitCodeProcess(process_.get(), &code);
    process_.reset();
    return ended ? std::optional<DWORD>(code) : std::nullopt;
  }

 private:
  TempDir signals_;
  win::unique_handle process_;
  bool held_ = false;
};

class InUse : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(RealSystemFolder().empty()) << "WINEPREFIX is not set";
    SetEnvironmentVariableW(L"CONTROL_STANDIN_RECORD", (records_.path() / "registrations.log").c_str());
    Clean();
    fs::create_directories(app_.path() / "ocx");
    newBytes_ = ReadBytes(g_ocx).value_or("");
    // The installed copy: the same control with bytes of its own after the image.
    oldBytes_ = newBytes_ + "the copy installed before the repair";
    const std::string standin = ReadBytes(g_standin).value_or("");
    for (const wchar_t* file : kComponents) {
      const std::wstring name = file;
      WriteBytes(app_.path() / "ocx" / file, name == L"Tesvar.OCX" ? newBytes_ : standin + Utf8(name));
    }
  }
  void TearDown() override { Clean(); }

  static std::string Utf8(const std::wstring& text) { return wine_test::Utf8(text); }

  // The control unregistered, the components and every Tesvar leftover gone from the
  // system folder, nothing left on the restart's schedule or in RunOnce.
  static void Clean() {
    const fs::path tesvar = RealSystemFolder() / L"Tesvar.OCX";
    if (fs::exists(tesvar)) wine_test::RunToEnd(L"regsvr32.exe /s /u " + Quoted(tesvar.native()));
    std::error_code ignored;
    for (const wchar_t* file : kComponents) fs::remove(RealSystemFolder() / file, ignored);
    for (const std::wstring& name : TesvarLeftovers()) fs::remove(RealSystemFolder() / name, ignored);
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSessionManager, L"PendingFileRenameOperations");
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunOnce, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key) == ERROR_SUCCESS) {
      RegDeleteValueW(key, L"Mendora Tesvar.OCX");
      RegCloseKey(key);
    }
  }

  // "C:\WINDOWS\System32\Tesvar.OCX" as this program sees it.
  static fs::path Installed() { return fs::path(L"C:\\WINDOWS\\System32") / L"Tesvar.OCX"; }
  void InstallOld() { WriteBytes(Installed(), oldBytes_); }

  ConfirmingPrompter Repair(RepairTarget target, FaultyInstallCalls* faults = nullptr) {
    ConfirmingPrompter prompter;
    ScratchPlatform platform(Path16(app_.path()));
    platform.calls = faults;
    if (ConfirmRepair(prompter)) RunRepair(target, prompter, platform);
    return prompter;
  }

  // "wineboot -r" of the machine's own kind, as a restart of Windows carries out what
  // was scheduled.
  static void Restart() {
    const wchar_t* wineboot = kIs64Bit ? L"C:\\windows\\system32\\wineboot.exe" : L"C:\\windows\\sysnative\\wineboot.exe";
    EXPECT_EQ(wine_test::RunToEnd(std::wstring(wineboot) + L" -r", 120s), 0u);
  }

  void Print(const char* step, const ConfirmingPrompter* report = nullptr) const {
    std::printf("%s:\n  Tesvar.OCX holds the %s bytes; leftovers:", step,
                ReadBytes(RealSystemFolder() / L"Tesvar.OCX") == newBytes_   ? "new"
                : ReadBytes(RealSystemFolder() / L"Tesvar.OCX") == oldBytes_ ? "old"
                                                                              : "other");
    for (const std::wstring& name : TesvarLeftovers()) std::printf(" %ls", name.c_str());
    std::printf("\n  registered: \"%ls\"; pending:", RegisteredServer().c_str());
    for (const std::wstring& entry : PendingOperations()) std::printf(" [%ls]", entry.c_str());
    std::printf("\n");
    if (report) std::printf("  report (style %d): %s\n", report->reportStyle, Utf8(report->report).c_str());
  }

  TempDir app_, records_;
  std::string newBytes_, oldBytes_;
};

class InUseByTarget : public InUse, public testing::WithParamInterface<RepairTarget> {};

TEST_P(InUseByTarget, ALoadedComponentIsReplacedAtOnce) {
  const RepairTarget target = GetParam();
  InstallOld();
  Holder holder(L"load", Installed());
  ASSERT_TRUE(holder.holds());

  const ConfirmingPrompter first = Repair(target);
  Print("after the repair", &first);
  EXPECT_EQ(first.report, std::wstring(SuccessMessage(target).begin(), SuccessMessage(target).end()) + kInUseLine);
  EXPECT_EQ(first.reportStyle, win::kMbInformation);
  EXPECT_EQ(ReadBytes(RealSystemFolder() / L"Tesvar.OCX"), newBytes_);
  // Registered from the new file, in the view of this program's kind.
  EXPECT_TRUE(Lower(RegisteredServer()).ends_with(L"\\" + Lower(RealSystemFolder().filename().wstring()) +
                                                  L"\\tesvar.ocx"))
      << RegisteredServer();
  // The old file, renamed aside, is what the holder still runs with, and the restart
  // deletes it.
  const auto leftovers = TesvarLeftovers();
  ASSERT_EQ(leftovers.size(), 1u);
  const std::wstring aside = *leftovers.begin();
  EXPECT_TRUE(aside.starts_with(L"tesvar.ocx.~old-") && aside.ends_with(L".tmp")) << aside;
  EXPECT_EQ(ReadBytes(RealSystemFolder() / aside), oldBytes_);
  EXPECT_TRUE(DeletedAtRestart(aside));
  EXPECT_TRUE(holder.running());

  // Again while the holder runs: the component is in place, the aside file still held.
  const ConfirmingPrompter second = Repair(target);
  Print("after a second repair", &second);
  EXPECT_EQ(second.report, std::wstring(SuccessMessage(target).begin(), SuccessMessage(target).end()));
  EXPECT_EQ(TesvarLeftovers(), leftovers);
  EXPECT_TRUE(DeletedAtRestart(aside));

  // The holder's old copy still answers.
  EXPECT_EQ(holder.Release(), std::optional<DWORD>(S_OK));
  Restart();
  Print("after the restart");
  EXPECT_TRUE(TesvarLeftovers().empty());
  EXPECT_EQ(ReadBytes(RealSystemFolder() / L"Tesvar.OCX"), newBytes_);
}

// A 64-bit tool's SysWOW64 target is no target for a 64-bit control (and this tree's
// prefix has no SysWOW64): the 32-bit run covers both.
const std::vector<RepairTarget> kTargets = kIs64Bit ? std::vector{RepairTarget::System32}
                                                    : std::vector{RepairTarget::System32, RepairTarget::SysWOW64};
INSTANTIATE_TEST_SUITE_P(Targets, InUseByTarget, testing::ValuesIn(kTargets),
                         [](const auto& info) { return info.param == RepairTarget::System32 ? "System32" : "SysWOW64"; });

TEST_F(InUse, AFileThatCannotBeRenamedIsReplacedAndRegisteredAtTheRestart) {
  InstallOld();
  Holder holder(L"open", Installed());
  ASSERT_TRUE(holder.holds());
  const ConfirmingPrompter prompter = Repair(RepairTarget::System32);
  Print("after the repair", &prompter);
  EXPECT_EQ(prompter.report,
            L"32位系统（C:\\WINDOWS\\System32）修复需要重新启动Windows才能完成：\r\n"
            L"\r\nTesvar.OCX：文件正被运行中的程序使用，将在重新启动Windows后替换"
            L"\r\n"
            L"\r\n请重新启动Windows以完成修复。");
  EXPECT_EQ(prompter.reportStyle, win::kMbInformation);
  // The old file stays until the restart; the new one waits beside it, and nothing
  // registered the control meanwhile.
  EXPECT_EQ(ReadBytes(RealSystemFolder() / L"Tesvar.OCX"), oldBytes_);
  const auto waiting = TesvarLeftovers();
  ASSERT_EQ(waiting.size(), 1u);
  EXPECT_EQ(ReadBytes(RealSystemFolder() / *waiting.begin()), newBytes_);
  EXPECT_EQ(RegisteredServer(), L"");
  const auto command = wine_test::RegistryString(HKEY_LOCAL_MACHINE, kRunOnce, L"Mendora Tesvar.OCX", KEY_WOW64_64KEY);
  ASSERT_TRUE(command);
  std::printf("  RunOnce: %s\n", wine_test::Utf8(*command).c_str());
  EXPECT_TRUE(Lower(*command).starts_with(L"\"c:\\windows\\" + Lower(RealSystemFolder().filename().wstring()) +
                                          L"\\regsvr32.exe\" /s \""))
      << *command;

  EXPECT_EQ(holder.Release(), std::optional<DWORD>(0));
  Restart();
  Print("after the restart");
  EXPECT_EQ(ReadBytes(RealSystemFolder() / L"Tesvar.OCX"), newBytes_);
  EXPECT_TRUE(TesvarLeftovers().empty());
  EXPECT_TRUE(Lower(RegisteredServer()).ends_with(L"\\tesvar.ocx")) << RegisteredServer();
  EXPECT_FALSE(wine_test::RegistryString(HKEY_LOCAL_MACHINE, kRunOnce, L"Mendora Tesvar.OCX", KEY_WOW64_64KEY));
}

TEST_F(InUse, FaultsLeaveTheComponentInUseAsItWas) {
  struct Case {
    const char* name;
    bool refuseSchedules, failMove;
    const wchar_t* line;
  };
  const Case cases[] = {
      {"without the rights to schedule", true, false, L"Tesvar.OCX：复制失败，文件正被运行中的程序使用"},
      {"the move into place fails after the rename", false, true, L"Tesvar.OCX：复制失败，无法写入系统文件夹"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Clean();
    InstallOld();
    Holder holder(L"load", Installed());
    ASSERT_TRUE(holder.holds());
    FaultyInstallCalls faults;
    faults.refuseSchedules = c.refuseSchedules;
    faults.failMoveAfterRename = c.failMove;
    const ConfirmingPrompter prompter = Repair(RepairTarget::System32, &faults);
    Print(c.name, &prompter);
    EXPECT_EQ(prompter.report, std::wstring(L"32位系统（C:\\WINDOWS\\System32）修复没有完成，以下文件出现问题：\r\n\r\n") +
                                   c.line + L"\r\n\r\n" +
                                   (c.refuseSchedules ? L"请关闭所有正在运行的Kestrova系列软件，然后重新修复。"
                                                      : L"请以管理员身份运行本工具，关闭所有Kestrova系列软件后重新修复。"));
    // Nothing lost: the old file under its own name, nothing beside it.
    EXPECT_EQ(ReadBytes(RealSystemFolder() / L"Tesvar.OCX"), oldBytes_);
    EXPECT_TRUE(TesvarLeftovers().empty());
    EXPECT_TRUE(holder.running());
    EXPECT_EQ(holder.Release(), std::optional<DWORD>(S_OK));
  }
}

TEST_F(InUse, LeftoversOfAnEarlierRunAreDeletedOrScheduled) {
  WriteBytes(Installed(), newBytes_);
  const fs::path folder = Installed().parent_path();
  WriteBytes(folder / L"Tesvar.OCX.~old-1f0-0.tmp", oldBytes_);
  WriteBytes(folder / L"Tesvar.OCX.~old-2e0-3.tmp", oldBytes_);
  Holder holder(L"load", folder / L"Tesvar.OCX.~old-2e0-3.tmp");
  ASSERT_TRUE(holder.holds());
  const ConfirmingPrompter prompter = Repair(RepairTarget::System32);
  Print("after the repair", &prompter);
  EXPECT_EQ(prompter.report, L"32位系统修复成功!");
  EXPECT_EQ(TesvarLeftovers(), std::set<std::wstring>{L"tesvar.ocx.~old-2e0-3.tmp"});
  EXPECT_TRUE(DeletedAtRestart(L"Tesvar.OCX.~old-2e0-3.tmp"));
  EXPECT_EQ(holder.Release(), std::optional<DWORD>(S_OK));
  Restart();
  Print("after the restart");
  EXPECT_TRUE(TesvarLeftovers().empty());
  EXPECT_EQ(ReadBytes(RealSystemFolder() / L"Tesvar.OCX"), newBytes_);
}

// A timed loop, not a test (run by hand with --gtest_also_run_disabled_tests): a
// confirmed System32 repair that replaces an installed Tesvar.OCX, with the holder
// keeping it loaded and without, in turns, 11 rounds each; and in the same rounds the
// copy of Tesvar.OCX alone. Prints the median times and their ratios.
TEST_F(InUse, DISABLED_TimeOfARepairWithAComponentInUse) {
  using Clock = std::chrono::steady_clock;
  const auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
  std::vector<double> repair[2], copy[2];  // [0] none in use, [1] Tesvar.OCX in use
  for (int round = 0; round < 11; ++round) {
    for (const bool held : {false, true}) {
      for (const bool whole : {true, false}) {
        InstallOld();
        std::optional<Holder> holder;
        if (held) {
          holder.emplace(L"load", Installed());
          ASSERT_TRUE(holder->holds());
        }
        const auto start = Clock::now();
        if (whole) {
          const ConfirmingPrompter prompter = Repair(RepairTarget::System32);
          repair[held].push_back(ms(Clock::now() - start));
          ASSERT_EQ(prompter.reportStyle, win::kMbInformation) << Utf8(prompter.report);
        } else {
          const CopyStatus copied = FileCopyEx(Path16(app_.path() / "ocx" / "Tesvar.OCX"), Path16(Installed()));
          copy[held].push_back(ms(Clock::now() - start));
          ASSERT_EQ(copied, CopyStatus(held ? CopyOutcome::kReplacedInUse : CopyOutcome::kInPlace));
        }
        if (holder) holder->Release();
        std::error_code ignored;
        for (const std::wstring& name : TesvarLeftovers()) fs::remove(RealSystemFolder() / name, ignored);
      }
    }
  }
  const auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  std::printf("repair: %.1f ms with Tesvar.OCX in use, %.1f ms with none (ratio %.3f); "
              "its copy alone: %.2f ms in use, %.2f ms not (ratio %.2f); medians of 11\n",
              median(repair[1]), median(repair[0]), median(repair[1]) / median(repair[0]), median(copy[1]),
              median(copy[0]), median(copy[1]) / median(copy[0]));
}

}  // namespace
}  // namespace repair

int main(int argc, char** argv) {
  const auto ocx = wine_test::InitWithFileUnderTest(&argc, argv, "Tesvar.ocx control_standin.dll");
  if (!ocx || argc < 3) return 64;
  repair::g_ocx = *ocx;
  repair::g_standin = wine_test::WindowsPath(argv[2]);
  return RUN_ALL_TESTS();
}
