#include "window/menu_commands.h"

#include "win32/values.h"

#if !defined(MENDORA_BRAND_SITE) || !defined(MENDORA_PARTNER_SITE)
#error "MENDORA_BRAND_SITE and MENDORA_PARTNER_SITE are set by the build"
#endif

namespace window {

constexpr std::u16string_view kBrandSite = u"" MENDORA_BRAND_SITE;
constexpr std::u16string_view kPartnerSite = u"" MENDORA_PARTNER_SITE;

std::u16string SiteCommandLine(std::u16string_view site) {
  std::u16string line = u"explorer.exe ";
  line += site;
  return line;
}

void ShowHelp(MenuHost& host) { host.ShowMessage(kHelpText, kHelpTitle, win::kMbInformation); }

void OpenBrandSite(MenuHost& host) { host.StartProcess(SiteCommandLine(kBrandSite), win::kShowMinimized); }

void OpenPartnerSite(MenuHost& host) { host.StartProcess(SiteCommandLine(kPartnerSite), win::kShowMinimized); }

void Exit(MenuHost& host) { host.CloseWindow(); }

}  // namespace window
