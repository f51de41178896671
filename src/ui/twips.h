#pragma once
// Twips (1440 to the inch), the unit the forms are designed in, to pixels. Portable and
// header-only: the windows of both programs use it (Form1; the control's size and its
// about form).

namespace ui {

// value × numerator / denominator rounded to the nearest whole number, halves away
// from zero, as MulDiv rounds.
constexpr int RoundedMulDiv(long long value, long long numerator, long long denominator) {
  const long long product = value * numerator;
  const long long half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator : -((-product + half) / denominator));
}

// Twips to pixels at `dpi` dots per inch (twips × dpi / 1440), rounded as MulDiv rounds.
constexpr int TwipsToPixels(int twips, int dpi) { return RoundedMulDiv(twips, dpi, 1440); }

}  // namespace ui
