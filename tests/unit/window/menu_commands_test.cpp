#include "window/menu_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace window {
namespace {

struct FakeHost final : MenuHost {
  struct Box {
    std::u16string text, title;
    int style;
  };
  struct Start {
    std::u16string commandLine;
    int show;
  };
  void ShowMessage(std::u16string_view text, std::u16string_view title, int style) override {
    boxes.push_back({std::u16string(text), std::u16string(title), style});
  }
  void StartProcess(std::u16string_view commandLine, int show) override {
    starts.push_back({std::u16string(commandLine), show});
  }
  void CloseWindow() override { ++closes; }

  std::vector<Box> boxes;
  std::vector<Start> starts;
  int closes = 0;
};

TEST(MenuCommands, HelpShowsOneInformationBoxAndNothingElse) {
  FakeHost host;
  ShowHelp(host);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].title, u"提示");
  EXPECT_EQ(host.boxes[0].style, 64);
  EXPECT_TRUE(host.boxes[0].text.starts_with(u"本软件可帮助您修复在使用Kestrova软件时，无法正常启动的问题"));
  EXPECT_TRUE(host.boxes[0].text.ends_with(u"我们会有专员与您联系为您解决。"));
  EXPECT_EQ(host.boxes[0].text.find(u'\n'), std::u16string::npos);
  EXPECT_TRUE(host.starts.empty());
  EXPECT_EQ(host.closes, 0);
}

TEST(MenuCommands, SitesStartExplorerMinimizedOnceForEachChoice) {
  FakeHost host;
  OpenBrandSite(host);
  OpenPartnerSite(host);
  OpenBrandSite(host);
  ASSERT_EQ(host.starts.size(), 3u);
  EXPECT_EQ(host.starts[0].commandLine, u"explorer.exe https://www.kestrova.com");
  EXPECT_EQ(host.starts[1].commandLine, u"explorer.exe https://www.ostrel.com");
  EXPECT_EQ(host.starts[2].commandLine, host.starts[0].commandLine);
  for (const auto& start : host.starts) EXPECT_EQ(start.show, 2);
  EXPECT_TRUE(host.boxes.empty());
}

TEST(MenuCommands, ExitClosesTheWindowWithoutAsking) {
  FakeHost host;
  Exit(host);
  EXPECT_EQ(host.closes, 1);
  EXPECT_TRUE(host.boxes.empty());
}

}  // namespace
}  // namespace window
