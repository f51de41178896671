#pragma once
// The four commands of Form1's menu bar: the help message, the two web sites, and
// exit. Each does one thing and keeps no state.

#include <string>
#include <string_view>

namespace window {

inline constexpr std::u16string_view kHelpText =
    u"本软件可帮助您修复在使用Kestrova软件时，无法正常启动的问题，您只需选择对应的系统，点击一键修复即可，"
    u"如修复后仍无法正常运行，您可以到官网反馈，我们会有专员与您联系为您解决。";
inline constexpr std::u16string_view kHelpTitle = u"提示";

// The sites, fixed when the program is built (MENDORA_BRAND_SITE, MENDORA_PARTNER_SITE).
extern const std::u16string_view kBrandSite;
extern const std::u16string_view kPartnerSite;

// What the commands need from the window and the platform.
class MenuHost {
 public:
  virtual ~MenuHost() = default;
  // A message box modal to the window; the answer is not used.
  virtual void ShowMessage(std::u16string_view text, std::u16string_view title, int style) = 0;
  // Starts the Windows folder's explorer.exe with `commandLine` and does not wait for it.
  virtual void StartProcess(std::u16string_view commandLine, int showWindow) = 0;
  // Closes the window, as its close button does.
  virtual void CloseWindow() = 0;
};

// "explorer.exe", one space, the site's address.
std::u16string SiteCommandLine(std::u16string_view site);

void ShowHelp(MenuHost& host);                  // sm
void OpenBrandSite(MenuHost& host);             // ksv
void OpenPartnerSite(MenuHost& host);           // vimble
void Exit(MenuHost& host);                      // endd

}  // namespace window
