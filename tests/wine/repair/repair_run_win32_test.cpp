// Whole repair runs on the Win32 binding: real message boxes answered from a second
// thread, real controls, real processes (a regsvr32 stand-in in the place of the system
// folder's), and FileCopyEx into a scratch folder that takes the place of C:\WINDOWS.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "repair/component_table.h"
#include "win32/module.h"
#include "win32/process.h"
#include "win32/values.h"
#include "win32/wide.h"
#include "repair/repair_run.h"
#include "repair/repair_win32_binding.h"
#include "scratch_platform.h"
#include "support/temp_dir.h"
#include "wine/support/files.h"
#include "wine/support/process.h"
#include "wine/support/program.h"
#include "wine/support/system_standins.h"
#include "wine/support/ui.h"

namespace repair {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::TempDir;
using wine_test::MessageBoxSeen;
using wine_test::Names;
using wine_test::Path16;
using wine_test::ProgramFolder;
using wine_test::ReadBytes;
using wine_test::WriteBytes;

// Answers the message boxes of this process from a second thread.
struct BoxAnswerer : wine_test::BoxAnswerer {
  explicit BoxAnswerer(int yesNo) : wine_test::BoxAnswerer(wine_test::OfProcess(GetCurrentProcessId()), yesNo) {}
};

// A form that owns the run's message boxes.
struct Form {
  Form() {
    window = CreateWindowW(L"STATIC", L"Form1", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr, nullptr,
                           nullptr, nullptr);
  }
  ~Form() { DestroyWindow(window); }
  HWND window;
};

struct Marker {
  std::wstring commandLine;
  std::wstring show;  // "<STARTF_USESHOWWINDOW set> <wShowWindow>"
  std::wstring currentFolder;
  std::wstring program;
};

// The stand-in's records, by the file name it was asked to register.
std::multimap<std::wstring, Marker> Markers(const fs::path& log) {
  std::multimap<std::wstring, Marker> markers;
  for (const auto& entry : fs::directory_iterator(log)) {
    if (entry.path().extension() == L".exit") continue;
    auto lines = wine_test::Utf8Lines(entry.path());
    lines.resize(4);
    markers.emplace(entry.path().stem().wstring(), Marker{lines[0], lines[1], lines[2], lines[3]});
  }
  return markers;
}

std::wstring SystemFolder() { return wine_test::Regsvr32StandIn::Location().parent_path().wstring(); }

// Whether two names reach one file (the redirector gives a 32-bit program two names
// for SysWOW64's files).
bool SameFile(const fs::path& a, const fs::path& b) {
  BY_HANDLE_FILE_INFORMATION infoA{}, infoB{};
  const win::unique_handle fileA = wine_test::HoldOpen(a, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  const win::unique_handle fileB = wine_test::HoldOpen(b, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  return fileA && fileB && GetFileInformationByHandle(fileA.get(), &infoA) &&
         GetFileInformationByHandle(fileB.get(), &infoB) &&
         infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber && infoA.nFileIndexHigh == infoB.nFileIndexHigh &&
         infoA.nFileIndexLow == infoB.nFileIndexLow;
}

// Component files distinct by content; under Windows the names match in any case.
const wchar_t* const kFiles[] = {L"image.ocx",    L"gif.ocx",      L"EFMTIcn.ocx", L"COMDLG32.OCX",
                                 L"MSCOMCTL.OCX", L"MSINET.OCX",   L"TABCTL32.OCX", L"Tesvar.OCX",
                                 L"MSWINSCK.ocx", L"SkinH_VB6.dll", L"NSkin.dll"};

std::string Content(const std::wstring& file) { return "component " + fs::path(file).string(); }

struct RepairRunWin32 : testing::Test {
  void SetUp() override {
    ASSERT_TRUE(regsvr32.installed());
    log = scratch.path() / "regsvr32-log";
    fs::create_directories(log);
    SetEnvironmentVariableW(L"REGSVR32_STANDIN_LOG", log.c_str());
    fs::create_directories(scratch.path() / "app" / "ocx");
    for (const wchar_t* file : kFiles) WriteBytes(scratch.path() / "app" / "ocx" / file, Content(file));
  }

  // As the window's click does it: the confirmation, then the run for `target`.
  void Run(RepairTarget target, int answer = IDYES) {
    Win32Prompter prompter(form.window);
    ScratchPlatform platform(Path16(scratch.path() / "app"), Path16(scratch.path() / "WINDOWS"));
    BoxAnswerer answerer(answer);
    if (ConfirmRepair(prompter)) RunRepair(target, prompter, platform);
    seen = answerer.Seen();
  }

  wine_test::Regsvr32StandIn regsvr32{ProgramFolder() / "regsvr32_standin.exe"};
  TempDir scratch;
  fs::path log;
  Form form;
  std::vector<MessageBoxSeen> seen;
};

TEST_F(RepairRunWin32, System32RunCopiesRegistersAndKeepsANewerComponent) {
  fs::create_directories(scratch.path() / "WINDOWS" / "System32");
  // image.ocx: the ocx folder offers version 1.2.3.4, the system holds 2.0.0.1.
  fs::copy_file(ProgramFolder() / "version_old.dll", scratch.path() / "app" / "ocx" / "image.ocx",
                fs::copy_options::overwrite_existing);
  fs::copy_file(ProgramFolder() / "version_new.dll", scratch.path() / "WINDOWS" / "System32" / "image.ocx");

  Run(RepairTarget::System32);

  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].title, L"Kestrova系列软件");
  EXPECT_EQ(seen[0].text, L"选择此项有可能造成其他问题\r\n\r\n建议逐一修复,是否要继续操作？");
  EXPECT_EQ(seen[0].owner, form.window);
  EXPECT_EQ(seen[1].title, L"提示");
  EXPECT_EQ(seen[1].text, L"32位系统修复成功!");
  EXPECT_EQ(seen[1].owner, form.window);

  const fs::path system = scratch.path() / "WINDOWS" / "System32";
  EXPECT_EQ(ReadBytes(system / "image.ocx"), ReadBytes(ProgramFolder() / "version_new.dll"));
  std::set<std::wstring> expectedNames;
  for (const wchar_t* file : kFiles) {
    expectedNames.insert(file);
    if (std::wstring(file) != L"image.ocx") {
      EXPECT_EQ(ReadBytes(system / file), Content(file));
    }
  }
  EXPECT_EQ(Names(system), expectedNames);

  // Every registration ran: the system folder's regsvr32, in the system folder, started
  // with the command line exactly as the table writes it, minimized; the run waited for
  // them all before it reported.
  const auto markers = Markers(log);
  EXPECT_EQ(markers.size(), 10u);
  for (const ComponentEntry& entry : ComponentTable(RepairTarget::System32)) {
    if (!entry.RegisterCommand) continue;
    const std::wstring command(entry.RegisterCommand->begin(), entry.RegisterCommand->end());
    const std::wstring file = command.substr(command.rfind(L' ') + 1);
    const auto [first, last] = markers.equal_range(file);
    EXPECT_EQ(std::distance(first, last), file == L"EFMTIcn.ocx" ? 2 : 1) << file;
    for (auto it = first; it != last; ++it) {
      EXPECT_EQ(it->second.commandLine, command);
      EXPECT_EQ(it->second.show, L"1 2");
      EXPECT_EQ(it->second.currentFolder, SystemFolder());
      EXPECT_TRUE(SameFile(it->second.program, wine_test::Regsvr32StandIn::Location())) << it->second.program;
    }
  }
}

TEST_F(RepairRunWin32, SysWOW64RunReportsEachFailure) {
  const fs::path system = scratch.path() / "WINDOWS" / "SysWOW64";
  fs::create_directories(system);
  fs::remove(scratch.path() / "app" / "ocx" / "NSkin.dll");
  WriteBytes(system / "MSINET.OCX", "installed and in use");
  WriteBytes(log / "gif.ocx.exit", "5");
  // A series program holds MSINET.OCX open without sharing.
  win::unique_handle holder = wine_test::HoldOpen(system / "MSINET.OCX", GENERIC_READ | GENERIC_WRITE, 0);
  ASSERT_TRUE(holder);

  Run(RepairTarget::SysWOW64);
  holder.reset();

  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].title, L"提示");
  EXPECT_EQ(seen[1].text,
            L"64位系统（C:\\WINDOWS\\SysWOW64）修复没有完成，以下文件出现问题：\r\n"
            L"\r\ngif.ocx：注册失败，注册程序返回错误代码 5"
            L"\r\nMSINET.OCX：复制失败，文件正被运行中的程序使用"
            L"\r\nNSkin.dll：复制失败，ocx文件夹中没有这个文件"
            L"\r\n"
            L"\r\n请关闭所有正在运行的Kestrova系列软件，然后重新修复。"
            L"\r\n请确认本工具旁边的ocx文件夹完整，然后重新修复。");
  EXPECT_EQ(seen[1].owner, form.window);

  EXPECT_EQ(ReadBytes(system / "MSINET.OCX"), "installed and in use");
  EXPECT_FALSE(fs::exists(system / "NSkin.dll"));
  EXPECT_EQ(ReadBytes(system / "Tesvar.OCX"), Content(L"Tesvar.OCX"));
  EXPECT_EQ(Names(system).size(), 10u);  // the ten that could be copied, and no temporary file
  EXPECT_EQ(Markers(log).size(), 10u);
}

// A registration that does not end is reported once the shared 60 seconds are over;
// the run does not wait for it any longer.
TEST_F(RepairRunWin32, ARegistrationThatHangsIsReportedAfterTheBound) {
  fs::create_directories(scratch.path() / "WINDOWS" / "System32");
  WriteBytes(log / "MSWINSCK.ocx.exit", "hang");
  Run(RepairTarget::System32);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].text,
            L"32位系统（C:\\WINDOWS\\System32）修复没有完成，以下文件出现问题：\r\n"
            L"\r\nMSWINSCK.ocx：注册失败，注册程序在60秒内没有结束"
            L"\r\n"
            L"\r\n请以管理员身份运行本工具，关闭所有Kestrova系列软件后重新修复。");
  // Let the stand-in end.
  WriteBytes(log / "MSWINSCK.ocx.exit", "0");
  Sleep(300);
}

TEST_F(RepairRunWin32, AnsweringNoLeavesEverythingAsItWas) {
  fs::create_directories(scratch.path() / "WINDOWS" / "System32");
  Run(RepairTarget::System32, IDNO);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].title, L"Kestrova系列软件");
  EXPECT_TRUE(fs::is_empty(scratch.path() / "WINDOWS" / "System32"));
  EXPECT_TRUE(Markers(log).empty());
}

// The binding's message box is owned by the window it was given, shows the text and
// title as given, and returns the button pressed.
TEST_F(RepairRunWin32, PrompterShowsAnOwnedBoxAndReturnsTheAnswer) {
  Win32Prompter prompter(form.window);
  for (const int answer : {IDYES, IDNO}) {
    SCOPED_TRACE(answer);
    BoxAnswerer answerer(answer);
    EXPECT_EQ(prompter.ShowMessage(u"继续？", u"Kestrova系列软件", win::kMbYesNoInformation), answer);
    const auto boxes = answerer.Seen();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, form.window);
    EXPECT_EQ(boxes[0].title, L"Kestrova系列软件");
    EXPECT_EQ(boxes[0].text, L"继续？");
  }
}

TEST(FolderOfModule, KeepsTheBackslashOnlyAtADriveRoot) {
  struct Case {
    std::u16string_view module, folder;
  };
  for (const Case& c : {Case{u"C:\\Mendora.exe", u"C:\\"},
                        Case{u"C:\\Tools\\Mendora.exe", u"C:\\Tools"},
                        Case{u"D:\\a\\b\\c\\Mendora.exe", u"D:\\a\\b\\c"},
                        Case{u"\\\\server\\share\\Mendora.exe", u"\\\\server\\share"},
                        Case{u"\\\\?\\C:\\Tools\\Mendora.exe", u"\\\\?\\C:\\Tools"},
                        Case{u"Mendora.exe", u""}}) {
    EXPECT_TRUE(win::FolderOfModule(c.module) == c.folder)
        << testing::PrintToString(std::wstring(win::WideView(c.module)));
  }
}

// The application folder as the binding reports it, from a program placed in a folder
// and at a drive root.
TEST(ApplicationFolder, NoTrailingBackslashExceptAtADriveRoot) {
  wchar_t windows[MAX_PATH];
  ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 2u);
  const std::wstring drive(windows, 2);  // "C:"
  TempDir dir;
  struct Case {
    std::wstring folder, expected;
  };
  const Case cases[] = {{dir.path().wstring(), dir.path().wstring()}, {drive + L"\\", drive + L"\\"}};
  for (const Case& c : cases) {
    const std::wstring probe = c.folder + (c.folder.ends_with(L'\\') ? L"" : L"\\") + L"appfolder_probe.exe";
    const std::wstring output = dir.path().wstring() + L"\\folder.txt";
    ASSERT_TRUE(CopyFileW((ProgramFolder() / "appfolder_probe.exe").c_str(), probe.c_str(), FALSE));
    EXPECT_EQ(wine_test::RunToEnd(wine_test::Quoted(probe) + L" " + wine_test::Quoted(output), 30s,
                                  win::kShowMinimized),
              0u);
    const std::string bytes = ReadBytes(output).value_or("");
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2), c.expected);
    DeleteFileW(probe.c_str());
  }
  // The test program's own folder, from the same binding, against the module path.
  std::u16string own;
  ASSERT_EQ(win::GetApplicationFolder(own), S_OK);
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  EXPECT_EQ(own, Path16(fs::path(std::wstring(self, n)).parent_path()));
}

TEST(StartProgram, ReportsAProgramThatCannotBeStarted) {
  win::unique_handle process;
  const TempDir dir;
  EXPECT_TRUE(FAILED(win::StartProgram(Path16(dir.path() / "regsvr32.exe"), u"regsvr32 /s x.ocx", Path16(dir.path()),
                                       win::kShowMinimized, &process)));
  EXPECT_FALSE(process);
}

}  // namespace
}  // namespace repair
