// The skin file parser (the "1.she" beside the repair tool, read by the skin library) on
// arbitrary bytes.
//
// Input: the file's bytes.
//
// Checked: nothing crashes; a refusal comes with a reason and an accepted file is at
// most kMaxSkinFileSize bytes; the skin it describes does not depend on the line ends
// (LF or CR LF) or on a comment line in front, while the file stays within the size
// limit; an accepted skin written back in the file's own format reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "skin/she_format.h"

namespace {

using fuzz_support::Escaped;

std::string Colour(const skin::Rgb& rgb) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", rgb.red, rgb.green, rgb.blue);
  return text;
}

std::string WithCrLf(std::string_view bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) out += '\r';
    out += bytes[i];
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string error;
  const auto parsed = skin::ParseSkin(bytes, &error);
  if (!parsed) {
    FUZZ_CHECK(!error.empty(), "refused without a reason: " + Escaped(bytes));
  } else {
    FUZZ_CHECK(bytes.size() <= skin::kMaxSkinFileSize, "accepted a file over the size limit");
    const std::string written = "window = " + Colour(parsed->window) + "\ntext = " + Colour(parsed->text) +
                                "\nfield = " + Colour(parsed->field) + "\n";
    FUZZ_CHECK(skin::ParseSkin(written) == parsed, "a skin written back reads differently: " + written);
  }

  const std::string crlf = WithCrLf(bytes);
  if (crlf.size() <= skin::kMaxSkinFileSize)
    FUZZ_CHECK(skin::ParseSkin(crlf) == parsed, "CR LF line ends change the skin of " + Escaped(bytes));
  const std::string commented = "# a comment; window = #000000\n" + std::string(bytes);
  if (commented.size() <= skin::kMaxSkinFileSize)
    FUZZ_CHECK(skin::ParseSkin(commented) == parsed, "a comment line changes the skin of " + Escaped(bytes));
  return 0;
}
