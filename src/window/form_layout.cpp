#include "window/form_layout.h"

#include <array>

#include "window/form1_ids.h"

namespace window {
namespace {

constexpr std::array kControls{
    // Label3 and Frame1 sit on the window; Label3 comes first in the tab order.
    FormControl{ids::kLabel3, ControlKind::kLabel, Container::kWindow, {0, 4200, 8055, 255}, kCopyrightNotice, 1, false, true},
    FormControl{ids::kFrame1, ControlKind::kFrame, Container::kWindow, {240, 240, 7575, 3375}, u"", 2, false, false},
    FormControl{ids::kCommand1_0, ControlKind::kCommand, Container::kFrame1, {2040, 1920, 3615, 615}, u"一键修复", 3, false, true},
    FormControl{ids::kOption1_1, ControlKind::kOption, Container::kFrame1, {4440, 960, 1215, 270}, u"64位系统", 4, true, true},
    FormControl{ids::kOption1_0, ControlKind::kOption, Container::kFrame1, {2160, 960, 1215, 255}, u"32位系统", 5, true, true},
    FormControl{ids::kLabel2, ControlKind::kLabel, Container::kFrame1, {3240, 2880, 1440, 180}, u"正在检测最新版本", 6, false,
                false},
};

std::u16string Decimal(unsigned value) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  return digits;
}

}  // namespace

PixelRect ToPixels(const TwipsRect& rect, int dpi) {
  return {TwipsToPixels(rect.left, dpi), TwipsToPixels(rect.top, dpi), TwipsToPixels(rect.width, dpi),
          TwipsToPixels(rect.height, dpi)};
}

std::span<const FormControl> Form1Controls() { return kControls; }

int FontHeightForPoints(int tenthsOfPoint, int dpi) { return -RoundedMulDiv(tenthsOfPoint, dpi, 720); }

std::u16string CaptionFor(std::uint16_t major, std::uint16_t minor, std::uint16_t revision) {
  std::u16string caption(kDesignCaption);
  caption += u" V";
  caption += Decimal(major);
  caption += u'.';
  caption += Decimal(minor);
  caption += u'.';
  caption += Decimal(revision);
  return caption;
}

std::u16string CaptionForFileVersion(std::uint64_t fileVersion) {
  return CaptionFor(static_cast<std::uint16_t>(fileVersion >> 48), static_cast<std::uint16_t>(fileVersion >> 32),
                    static_cast<std::uint16_t>(fileVersion));
}

}  // namespace window
