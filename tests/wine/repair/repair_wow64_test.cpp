// A confirmed repair of each target with the real Tesvar.ocx, the real file system and
// the real regsvr32 of the prefix: where the control lands once the file-system
// redirector has had its say, and in which registry view it ends up registered.
//
// A 32-bit tool on 64-bit Windows (Wine's WoW64 mode here) writes both targets into
// SysWOW64, since the redirector sends "C:\WINDOWS\System32" there, and the bare
// "regsvr32" it starts is the 32-bit one, which finds the control in SysWOW64 and
// registers it in the 32-bit view: what the component tables intend. A 64-bit tool
// writes each target where it says, and its 64-bit regsvr32 never looks in SysWOW64,
// so a "64位系统" repair leaves the control unregistered: the reason the repair tool
// ships only as a 32-bit program.
//
//   repair_wow64_test Tesvar.ocx [gtest options]
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "repair/component_table.h"
#include "repair/repair_run.h"
#include "repair/repair_win32_binding.h"
#include "scratch_platform.h"
#include "support/temp_dir.h"
#include "win32/values.h"
#include "wine/support/process.h"
#include "wine/support/program.h"
#include "wine/support/registry.h"

namespace repair {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;
using wine_test::Path16;

constexpr bool kIs64Bit = sizeof(void*) == 8;
constexpr wchar_t kClassServerKey[] =
    L"Software\\Classes\\CLSID\\{01186666-2B0C-4C98-A0F2-CF76AB4B8DA6}\\InprocServer32";

fs::path g_ocx;

// Answers Yes to the confirmation and keeps the report.
class ConfirmingPrompter final : public Prompter {
 public:
  int ShowMessage(std::u16string_view text, std::u16string_view, int style) override {
    if (style == win::kMbYesNoInformation) return win::kIdYes;
    report = std::wstring(text.begin(), text.end());
    return 1;
  }

  std::wstring report;
};

// The prefix's folders as they really are, reached through drive Z:, where no
// redirector applies.
fs::path RealSystemFolder(const wchar_t* name) {
  const auto prefix = wine_test::EnvironmentVariable(L"WINEPREFIX");
  if (!prefix) return {};
  return wine_test::WindowsPath(*prefix) / L"drive_c" / L"windows" / name;
}

// The control's server among the machine's classes in one registry view, or "" when it
// is not registered there.
std::wstring RegisteredServer(REGSAM view) {
  if (!wine_test::RegistryKeyExists(HKEY_LOCAL_MACHINE, kClassServerKey, view)) return L"";
  return wine_test::RegistryString(HKEY_LOCAL_MACHINE, kClassServerKey, nullptr, view).value_or(L"?");
}

bool Exists(const fs::path& path) {
  std::error_code ignored;
  return fs::exists(path, ignored);
}

struct Landing {
  bool seenInSystem32, seenInSysWow64;   // as the tool sees "C:\WINDOWS\<folder>"
  bool realInSystem32, realInSysWow64;   // where the file really is in the prefix
  std::wstring view32, view64;           // InprocServer32 in each registry view
  std::wstring report;
};

class RepairWow64 : public testing::TestWithParam<RepairTarget> {
 protected:
  void SetUp() override {
    ASSERT_FALSE(RealSystemFolder(L"system32").empty()) << "WINEPREFIX is not set";
    Clean();
    fs::create_directories(app.path() / "ocx");
    fs::copy_file(g_ocx, app.path() / "ocx" / "Tesvar.ocx");
  }
  void TearDown() override { Clean(); }

  // Unregisters the control with the regsvr32 of this process's kind and removes it
  // from both system folders.
  void Clean() {
    for (const wchar_t* folder : {L"system32", L"syswow64"}) {
      const fs::path real = RealSystemFolder(folder) / L"Tesvar.OCX";
      if (!Exists(real)) continue;
      wine_test::RunToEnd(L"regsvr32.exe /s /u " + wine_test::Quoted(real.native()));
      std::error_code ignored;
      fs::remove(real, ignored);
    }
  }

  Landing Repair(RepairTarget target) {
    ConfirmingPrompter prompter;
    ScratchPlatform platform(Path16(app.path()));
    if (ConfirmRepair(prompter)) RunRepair(target, prompter, platform);
    Landing seen{Exists(L"C:\\WINDOWS\\System32\\Tesvar.OCX"),
                 Exists(L"C:\\WINDOWS\\SysWOW64\\Tesvar.OCX"),
                 Exists(RealSystemFolder(L"system32") / L"Tesvar.OCX"),
                 Exists(RealSystemFolder(L"syswow64") / L"Tesvar.OCX"),
                 RegisteredServer(KEY_WOW64_32KEY),
                 RegisteredServer(KEY_WOW64_64KEY),
                 prompter.report};
    std::printf("%d-bit tool, %s: seen in System32 %d, SysWOW64 %d; really in system32 %d, syswow64 %d; "
                "32-bit view \"%ls\", 64-bit view \"%ls\"\n",
                kIs64Bit ? 64 : 32, target == RepairTarget::System32 ? "32位系统" : "64位系统", seen.seenInSystem32,
                seen.seenInSysWow64, seen.realInSystem32, seen.realInSysWow64, seen.view32.c_str(),
                seen.view64.c_str());
    return seen;
  }

  TempDir app;
};

bool Mentions(const std::wstring& report, const wchar_t* what) { return report.find(what) != std::wstring::npos; }

TEST_P(RepairWow64, TheControlLandsAndRegistersWhereTheToolsKindSendsIt) {
  const RepairTarget target = GetParam();
  const Landing seen = Repair(target);
  if (!kIs64Bit) {
    // The redirector sends both targets to SysWOW64, where the 32-bit regsvr32 finds
    // the control and registers it in the 32-bit view alone.
    EXPECT_TRUE(seen.seenInSystem32);
    EXPECT_TRUE(seen.seenInSysWow64);
    EXPECT_FALSE(seen.realInSystem32);
    EXPECT_TRUE(seen.realInSysWow64);
    EXPECT_NE(seen.view32, L"");
    EXPECT_EQ(seen.view64, L"");
    EXPECT_FALSE(Mentions(seen.report, L"Tesvar")) << seen.report;
  } else if (target == RepairTarget::System32) {
    EXPECT_TRUE(seen.realInSystem32);
    EXPECT_FALSE(seen.realInSysWow64);
    EXPECT_NE(seen.view64, L"");
    EXPECT_FALSE(Mentions(seen.report, L"Tesvar")) << seen.report;
  } else {
    // A 64-bit tool's "64位系统" repair: the copy goes to SysWOW64, but the 64-bit
    // regsvr32 looks for the bare name only in System32 and the current folder.
    EXPECT_FALSE(seen.realInSystem32);
    EXPECT_EQ(seen.view32, L"");
    EXPECT_EQ(seen.view64, L"");
    EXPECT_TRUE(Mentions(seen.report, L"Tesvar.OCX：注册失败")) << seen.report;
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, RepairWow64, testing::Values(RepairTarget::System32, RepairTarget::SysWOW64),
                         [](const auto& info) { return info.param == RepairTarget::System32 ? "System32" : "SysWOW64"; });

}  // namespace
}  // namespace repair

int main(int argc, char** argv) {
  const auto ocx = wine_test::InitWithFileUnderTest(&argc, argv, "Tesvar.ocx");
  if (!ocx) return 64;
  repair::g_ocx = *ocx;
  return RUN_ALL_TESTS();
}
