#include "update/version_check.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "text/codepage.h"

namespace {

using update::VersionCheck;

// Platform and window in one, writing every call into one journal so that the order
// of calls can be checked.
class Fakes final : public update::CheckPlatform, public update::CheckWindow {
 public:
  std::optional<std::u16string> Post(std::u16string_view url, std::u16string_view data) override {
    Note(u"post " + std::u16string(url) + u" " + std::u16string(data));
    return reply;
  }
  int Ask(std::u16string_view text, std::u16string_view title, int style) override {
    Note(u"ask " + std::u16string(text) + u" | " + std::u16string(title) + u" | " + Number(style));
    if (duringAsk) duringAsk();
    return answer;
  }
  bool Start(std::u16string_view commandLine, int show) override {
    Note(u"start " + std::u16string(commandLine) + u" | " + Number(show));
    return startSucceeds;
  }
  void FinishCheck() override { Note(u"finish"); }
  void StopTimer() override { Note(u"timer off"); }
  void EndProgram() override { Note(u"end"); }

  std::optional<std::u16string> reply;
  int answer = 7;  // IDNO
  bool startSucceeds = true;
  std::function<void()> duringAsk;
  std::vector<std::u16string> journal;

 private:
  static std::u16string Number(int n) { return text::FromUtf8(std::to_string(n)); }
  void Note(std::u16string entry) { journal.push_back(std::move(entry)); }
};

std::u16string Reply(std::string_view result, std::string_view version, std::string_view sid, std::string_view must) {
  return text::FromUtf8(std::string("{\"result\":") + std::string(result) + ",\"info\":{\"version\":" +
                        std::string(version) + ",\"sid\":" + std::string(sid) + ",\"must\":" + std::string(must) + "}}");
}

const std::u16string kPost = u"post " + std::u16string(update::kVersionEndpoint) + u" sn=tov";
const std::u16string kFailed = u"ask 检测失败,请先使用当前版本 | 提示 | 64";
std::u16string Offer(std::u16string_view version) {
  return u"ask 发现最新版本" + std::u16string(version) + u"，是否现在更新? | 提示 | 68";
}
std::u16string Explorer(std::u16string_view sid) {
  return u"start explorer.exe \"" + std::u16string(update::kDownloadPageBase) + std::u16string(sid) + u"\" | 2";
}

using Journal = std::vector<std::u16string>;

struct Row {
  const char* name;
  std::optional<std::u16string> reply;
  int answer;
  Journal expected;
  VersionCheck::State state;
};

std::vector<Row> Rows() {
  constexpr int yes = 6, no = 7;
  using S = VersionCheck::State;
  return {
      {"result 0 as number", Reply("0", "\"2.0.0\"", "1", "0"), no, {kPost, kFailed, u"finish", u"timer off"}, S::kDone},
      {"result 0 as string", Reply("\"0\"", "\"2.1.0\"", "1", "1"), yes, {kPost, kFailed, u"finish", u"timer off"},
       S::kDone},
      {"up to date", Reply("1", "\"2.0.0\"", "1", "1"), yes, {kPost, u"finish", u"timer off"}, S::kDone},
      {"result other than 0", Reply("\"00\"", "\"2.0.0\"", "1", "1"), yes, {kPost, u"finish", u"timer off"}, S::kDone},
      {"lower version, No, optional", Reply("1", "\"1.9.0\"", "1", "0"), no,
       {kPost, Offer(u"1.9.0"), u"finish", u"timer off"}, S::kDone},
      {"trailing space, No, optional as string", Reply("1", "\"2.0.0 \"", "1", "\"0\""), no,
       {kPost, Offer(u"2.0.0 "), u"finish", u"timer off"}, S::kDone},
      {"newer, No, mandatory", Reply("1", "\"2.1.0\"", "1", "1"), no, {kPost, Offer(u"2.1.0"), u"end"}, S::kEnded},
      {"newer, No, must empty", Reply("1", "\"2.1.0\"", "1", "\"\""), no, {kPost, Offer(u"2.1.0"), u"end"}, S::kEnded},
      {"newer, No, must 00", Reply("1", "\"2.1.0\"", "1", "\"00\""), no, {kPost, Offer(u"2.1.0"), u"end"}, S::kEnded},
      {"newer, Yes, optional", Reply("1", "\"2.1.0\"", "\"soft_42\"", "0"), yes,
       {kPost, Offer(u"2.1.0"), Explorer(u"soft_42"), u"end"}, S::kEnded},
      {"newer, Yes, mandatory", Reply("1", "\"3.0\"", "42", "1"), yes, {kPost, Offer(u"3.0"), Explorer(u"42"), u"end"},
       S::kEnded},
      {"case counts", Reply("1", "\"2.0.0-RC\"", "1", "0"), no, {kPost, Offer(u"2.0.0-RC"), u"finish", u"timer off"},
       S::kDone},
      // D2: every failure goes on like result "0".
      {"request failed", std::nullopt, yes, {kPost, kFailed, u"finish", u"timer off"}, S::kDone},
      {"empty reply", u"", yes, {kPost, kFailed, u"finish", u"timer off"}, S::kDone},
      {"not JSON", u"<html>500</html>", yes, {kPost, kFailed, u"finish", u"timer off"}, S::kDone},
      {"missing must", u"{\"result\":1,\"info\":{\"version\":\"2.1.0\",\"sid\":1}}", yes,
       {kPost, kFailed, u"finish", u"timer off"}, S::kDone},
      {"Boolean result", Reply("true", "\"2.1.0\"", "1", "1"), yes, {kPost, kFailed, u"finish", u"timer off"},
       S::kDone},
      // D4: a sid unfit for the command line is never offered.
      {"unsafe sid", Reply("1", "\"2.1.0\"", "\"1\\\" & calc.exe & \\\"\"", "1"), yes,
       {kPost, kFailed, u"finish", u"timer off"}, S::kDone},
      {"empty sid, newer", Reply("1", "\"2.1.0\"", "\"\"", "0"), yes, {kPost, kFailed, u"finish", u"timer off"},
       S::kDone},
      {"missing sid, newer", u"{\"result\":1,\"info\":{\"version\":\"2.1.0\",\"must\":0}}", no,
       {kPost, kFailed, u"finish", u"timer off"}, S::kDone},
      // An up-to-date reply is judged on result and version alone: a sid or must it
      // never uses does not fail it.
      {"unsafe sid, up to date", Reply("1", "\"2.0.0\"", "\"a/b\"", "1"), yes, {kPost, u"finish", u"timer off"},
       S::kDone},
      {"empty sid, up to date", Reply("1", "\"2.0.0\"", "\"\"", "0"), yes, {kPost, u"finish", u"timer off"}, S::kDone},
      {"no sid and no must, up to date", u"{\"result\":\"1\",\"info\":{\"version\":\"2.0.0\"}}", yes,
       {kPost, u"finish", u"timer off"}, S::kDone},
      {"null sid and must, up to date", Reply("1", "\"2.0.0\"", "null", "null"), yes, {kPost, u"finish", u"timer off"},
       S::kDone},
      {"empty sid, result 0", Reply("0", "\"2.0.0\"", "\"\"", "0"), yes, {kPost, kFailed, u"finish", u"timer off"},
       S::kDone},
  };
}

TEST(VersionCheck, DecisionsForEachReply) {
  for (const Row& row : Rows()) {
    SCOPED_TRACE(row.name);
    Fakes fakes;
    fakes.reply = row.reply;
    fakes.answer = row.answer;
    VersionCheck check(fakes, fakes);
    check.Tick();
    EXPECT_EQ(fakes.journal, row.expected);
    EXPECT_EQ(check.state(), row.state);
    // The check runs once: later ticks do nothing, after an end as after a normal close.
    check.Tick();
    check.Tick();
    EXPECT_EQ(fakes.journal, row.expected);
  }
}

TEST(VersionCheck, OfferTextAndCommandLine) {
  EXPECT_EQ(VersionCheck::OfferText(u"2.1.0"), u"发现最新版本2.1.0，是否现在更新?");
  EXPECT_EQ(VersionCheck::DownloadCommandLine(u"7"), u"explorer.exe \"" + std::u16string(update::kDownloadPageBase) + u"7\"");
}

TEST(VersionCheck, AddressesKeepTheServicePaths) {
  EXPECT_TRUE(update::kVersionEndpoint.starts_with(u"http"));
  EXPECT_TRUE(update::kVersionEndpoint.ends_with(u"/index.php/Index/soft_version"));
  EXPECT_TRUE(update::kDownloadPageBase.ends_with(u"/index.php/Works/detail/sid/"));
}

TEST(VersionCheck, TicksDuringTheCheckStartNothing) {
  Fakes fakes;
  fakes.reply = Reply("1", "\"2.1.0\"", "1", "0");
  VersionCheck check(fakes, fakes);
  int ticks = 0;
  fakes.duringAsk = [&] {
    ++ticks;
    EXPECT_EQ(check.state(), VersionCheck::State::kChecking);
    check.Tick();  // Timer2 fires while the offer is open
  };
  check.Tick();
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(fakes.journal, (Journal{kPost, Offer(u"2.1.0"), u"finish", u"timer off"}));
}

TEST(VersionCheck, ADownloadPageThatCannotBeOpenedCountsAsAFailedCheck) {
  Fakes fakes;
  fakes.reply = Reply("1", "\"2.1.0\"", "9", "1");
  fakes.answer = 6;
  fakes.startSucceeds = false;
  VersionCheck check(fakes, fakes);
  check.Tick();
  EXPECT_EQ(fakes.journal, (Journal{kPost, Offer(u"2.1.0"), Explorer(u"9"), kFailed, u"finish", u"timer off"}));
  EXPECT_EQ(check.state(), VersionCheck::State::kDone);
}

}  // namespace
