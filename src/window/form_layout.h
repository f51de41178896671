#pragma once
// Form1's design: the window's client size, its controls with their containers,
// positions in twips and tab order, the captions, and the window title. Portable: the
// Win32 side (form1.cpp) creates the controls from this table at the real DPI.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "ui/twips.h"

namespace window {

using ui::RoundedMulDiv;
using ui::TwipsToPixels;

struct TwipsRect {
  int left, top, width, height;
};

struct PixelRect {
  int left, top, width, height;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

PixelRect ToPixels(const TwipsRect& rect, int dpi);

// Form1's client area, below the caption bar and the menu bar.
inline constexpr int kClientWidthTwips = 8085;
inline constexpr int kClientHeightTwips = 4830;

enum class ControlKind { kFrame, kOption, kCommand, kLabel };
enum class Container { kWindow, kFrame1 };

struct FormControl {
  int id;                     // form1_ids.h
  ControlKind kind;
  Container container;
  TwipsRect rect;             // relative to the container's client area
  std::u16string_view caption;
  int tabIndex;               // the order in which the focus moves
  bool fontA;                 // 微软雅黑 10.5 pt instead of the default font
  bool handPointer;           // the hand cursor while the mouse is over it
};

// Form1's controls in creation order: containers before what they hold, and within a
// container in tab order, since a window's children take the focus in creation order.
std::span<const FormControl> Form1Controls();

// Font A: face, size in tenths of a point, weight, character set.
inline constexpr std::u16string_view kFontAFace = u"微软雅黑";
inline constexpr int kFontATenthsOfPoint = 105;
inline constexpr int kFontAWeight = 400;
inline constexpr int kFontACharSet = 134;  // GB2312

// The font height for CreateFont: negative character height in pixels at `dpi`.
int FontHeightForPoints(int tenthsOfPoint, int dpi);

inline constexpr std::u16string_view kDesignCaption = u"Kestrova软件修复器";
inline constexpr std::u16string_view kCopyrightNotice = u"Kestrova软件工作室 www.kestrova.com 版权所有";

// The title start-up sets: "Kestrova软件修复器 V" major "." minor "." revision.
std::u16string CaptionFor(std::uint16_t major, std::uint16_t minor, std::uint16_t revision);

// The same from a file version (major.minor.build.revision, 16 bits each, major in the
// highest bits); the build number is not shown.
std::u16string CaptionForFileVersion(std::uint64_t fileVersion);

}  // namespace window
