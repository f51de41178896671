// The version check end to end: the portable check with the real PostBody, message
// boxes and process start, against the loopback service; only the window is a fake.
#include "update/version_check.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"
#include "update/update_win32_binding.h"
#include "wine/support/files.h"
#include "wine/support/process.h"
#include "wine/support/program.h"
#include "wine/support/system_standins.h"
#include "wine/support/ui.h"
#include "wine/support/version_service.h"

namespace {

using namespace std::chrono_literals;
using wine_test::MessageBoxSeen;
using wine_test::VersionService;

// The real platform, with the version endpoint's host replaced by the loopback service.
class LoopbackPlatform final : public update::CheckPlatform {
 public:
  explicit LoopbackPlatform(HWND owner) : real_(owner) {}
  std::optional<std::u16string> Post(std::u16string_view url, std::u16string_view data) override {
    urls.emplace_back(url);
    const auto path = url.find(u'/', url.find(u"://") + 3);
    std::string loopbackPath;
    for (char16_t c : url.substr(path)) loopbackPath.push_back(static_cast<char>(c));
    return real_.Post(VersionService::Get().Url(loopbackPath), data);
  }
  int Ask(std::u16string_view text, std::u16string_view title, int style) override {
    return real_.Ask(text, title, style);
  }
  bool Start(std::u16string_view commandLine, int show) override { return real_.Start(commandLine, show); }

  std::vector<std::u16string> urls;

 private:
  update::Win32CheckPlatform real_;
};

class RecordingWindow final : public update::CheckWindow {
 public:
  void FinishCheck() override { calls.push_back("finish"); }
  void StopTimer() override { calls.push_back("timer off"); }
  void EndProgram() override { calls.push_back("end"); }
  std::vector<std::string> calls;
};

class VersionCheckOnWine : public testing::Test {
 protected:
  // The main window that owns the message boxes.
  static void SetUpTestSuite() {
    owner = CreateWindowExW(0, L"STATIC", L"Mendora", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                            nullptr, nullptr, nullptr);
  }
  static void TearDownTestSuite() { DestroyWindow(owner); }

  void SetUp() override {
    ASSERT_NE(owner, nullptr);
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    SetEnvironmentVariableW(L"BROWSER_STANDIN_RECORD", record.c_str());
    ASSERT_TRUE(browser.installed());
  }
  void TearDown() override { CoUninitialize(); }

  // Runs one check against `reply`, answering an offer with `button`.
  void Check(const std::string& reply, int button) { CheckAgainst({{"status", 200}, {"body", reply}}, button); }
  // The check against the service answering as `scenario` says (see version_service.py).
  void CheckAgainst(const nlohmann::json& scenario, int button) {
    service.Script(scenario);
    LoopbackPlatform platform(owner);
    update::VersionCheck check(platform, window);
    {
      wine_test::BoxAnswerer answerer(wine_test::OfThread(GetCurrentThreadId()), button);
      check.Tick();
      boxes = answerer.Seen();
    }
    ASSERT_EQ(platform.urls, std::vector<std::u16string>{std::u16string(update::kVersionEndpoint)});
    const auto requests = service.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]["body"], "sn=tov");
    EXPECT_EQ(requests[0]["path"], "/index.php/Index/soft_version");
  }

  // A check against the scenario ends with the failure notice alone (one OK button),
  // then FinishCheck and the timer switched off; nothing is started.
  void ExpectNoticeAgainst(const nlohmann::json& scenario) {
    window.calls.clear();
    CheckAgainst(scenario, IDYES);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, L"提示");
    EXPECT_EQ(boxes[0].text, L"检测失败,请先使用当前版本");
    EXPECT_TRUE(boxes[0].ok);
    EXPECT_FALSE(boxes[0].yes);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"finish", "timer off"}));
    EXPECT_FALSE(std::filesystem::exists(record));
  }

  // The browser stand-in's record: command line and window state.
  std::vector<std::wstring> Started() {
    wine_test::WaitUntil([&] { return std::filesystem::exists(record); }, 10s);
    Sleep(100);
    return wine_test::Utf8Lines(record);
  }

  static std::filesystem::path BrowserStandIn() { return wine_test::ProgramFolder() / "browser_standin.exe"; }
  const wine_test::HttpsHandlerStandIn browser{wine_test::Quoted(BrowserStandIn().wstring()) + L" \"%1\""};
  const VersionService& service = VersionService::Get();
  static inline HWND owner = nullptr;
  testing_support::TempDir records;
  const std::filesystem::path record = records.path() / L"explorer.txt";
  RecordingWindow window;
  std::vector<MessageBoxSeen> boxes;
};

TEST_F(VersionCheckOnWine, UpToDateShowsNothing) {
  Check(R"({"result":1,"info":{"version":"2.0.0","sid":5,"must":1}})", IDNO);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(window.calls, (std::vector<std::string>{"finish", "timer off"}));
}

TEST_F(VersionCheckOnWine, FailuresShowTheNoticeAndGoOn) {
  const struct {
    int status;
    std::string reply;
  } cases[] = {
      {200, R"({"result":"0","info":{"version":"","sid":"x","must":0}})"},
      {500, "<html>Internal Server Error</html>"},
      {200, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    ExpectNoticeAgainst({{"status", c.status}, {"body", c.reply}});
  }
}

// Whatever goes wrong on the way, the check ends with the notice and lets the user go on.
const std::string kOffer = R"({"result":1,"info":{"version":"2.1.0","sid":"soft-42","must":1}})";

TEST_F(VersionCheckOnWine, ServiceFaultsShowTheNoticeAndGoOn) {
  const struct {
    const char* name;
    nlohmann::json scenario;
  } cases[] = {
      {"binary garbage", {{"body_hex", "00ff7b22c8d0fffe0d0a1a"}}},
      {"an offer padded to 10 MiB", {{"body", kOffer}, {"pad", 10 * 1024 * 1024}}},
      {"connection reset", {{"reset", true}}},
      // Port 9 of the loopback address has no listener.
      {"redirect to an unreachable service", {{"status", 302}, {"location", "http://127.0.0.1:9/soft_version"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectNoticeAgainst(c.scenario);
  }
}

TEST_F(VersionCheckOnWine, NoAnswerWithinTheBoundShowsTheNotice) {
  ExpectNoticeAgainst({{"delay", 25}, {"body", kOffer}});
}

// Windows' explorer.exe opens the page with the browser; the window state the tool asks
// of explorer.exe is its own to pass on or not (Wine's does not).
TEST_F(VersionCheckOnWine, YesOpensTheDownloadPageThroughExplorerAndEnds) {
  Check(R"({"result":1,"info":{"version":"2.1.0","sid":"soft-42","must":0}})", IDYES);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, L"提示");
  EXPECT_EQ(boxes[0].text, L"发现最新版本2.1.0，是否现在更新?");
  EXPECT_TRUE(boxes[0].yes);
  EXPECT_TRUE(boxes[0].no);
  EXPECT_EQ(window.calls, std::vector<std::string>{"end"});
  const auto started = Started();
  ASSERT_EQ(started.size(), 2u);
  EXPECT_EQ(started[0], wine_test::Quoted(BrowserStandIn().wstring()) + L" " +
                            wine_test::Quoted(wine_test::Wide(std::u16string(update::kDownloadPageBase) + u"soft-42")));
}

TEST_F(VersionCheckOnWine, NoToAMandatoryUpdateEnds) {
  Check(R"({"result":1,"info":{"version":"1.9.0","sid":3,"must":1}})", IDNO);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"发现最新版本1.9.0，是否现在更新?");
  EXPECT_EQ(window.calls, std::vector<std::string>{"end"});
  EXPECT_FALSE(std::filesystem::exists(record));
}

}  // namespace
