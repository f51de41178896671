#pragma once
// How big a label is made for its text. Portable and header-only: the windows of both
// programs use it (Form1's Label2, which sizes itself to its text; the control's about
// form).
//
// The text is measured by the platform at the real DPI and font. Where measuring fails
// (32-bit programs under Wine's WoW64 mode cannot measure text) or gives nothing
// usable, the label keeps its designed size: it is never zero-sized or left out.

#include <algorithm>
#include <optional>

namespace ui {

struct PixelSize {
  int width = 0, height = 0;
  friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// A measurement counts only when it has an area.
inline bool Usable(const std::optional<PixelSize>& measured) {
  return measured && measured->width > 0 && measured->height > 0;
}

// A label that sizes itself to its text: the text's one-line extent, or the designed
// size when the text could not be measured.
inline PixelSize AutoSizeLabel(PixelSize designed, const std::optional<PixelSize>& oneLine) {
  return Usable(oneLine) ? *oneLine : designed;
}

struct LabelFit {
  PixelSize size;
  bool oneLine = false;  // the text must be shown on one line, without wrapping
  friend bool operator==(const LabelFit&, const LabelFit&) = default;
};

// A label of a fixed design: it keeps its designed size when its text fits in it on one
// line; otherwise it grows, wider and where needed taller, to show the whole text on
// one line rather than wrap it out of sight. It never shrinks.
inline LabelFit FitLabel(PixelSize designed, const std::optional<PixelSize>& oneLine) {
  if (!Usable(oneLine) || (oneLine->width <= designed.width && oneLine->height <= designed.height))
    return {designed, false};
  return {{std::max(designed.width, oneLine->width), std::max(designed.height, oneLine->height)}, true};
}

}  // namespace ui
