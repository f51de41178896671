#pragma once
// The ".she" skin file: a small text file, in the ANSI code page, that names the
// colours a skin gives the windows of a program.
//
//   # comment lines start with '#' or ';'; blank lines are ignored
//   window = #EAF1F8     background of windows, frames and message boxes
//   text   = #1D3557     text of labels, option buttons, check boxes and message boxes
//   field  = #FFFFFF     background of edit fields and list boxes
//
// Each line is `name = value`, blanks around either ignored; a colour is '#' and six
// hexadecimal digits (RGB). All three names are required, each once; any other name,
// a malformed line or a file over kMaxSkinFileSize makes the file unsuitable.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace skin {

inline constexpr std::size_t kMaxSkinFileSize = 16 * 1024;

struct Rgb {
  std::uint8_t red, green, blue;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct Skin {
  Rgb window;
  Rgb text;
  Rgb field;
  friend bool operator==(const Skin&, const Skin&) = default;
};

// The skin the file's bytes describe, or nothing when the file is unsuitable. `error`,
// when given, receives a short reason.
std::optional<Skin> ParseSkin(std::string_view bytes, std::string* error = nullptr);

}  // namespace skin
