#include "skin/she_format.h"

#include <array>

namespace skin {
namespace {

constexpr std::string_view kBlanks = " \t\r";

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<Rgb> ParseColour(std::string_view value) {
  if (value.size() != 7 || value[0] != '#') return std::nullopt;
  std::array<std::uint8_t, 3> parts{};
  for (std::size_t k = 0; k < 3; ++k) {
    const int high = HexDigit(value[1 + 2 * k]);
    const int low = HexDigit(value[2 + 2 * k]);
    if (high < 0 || low < 0) return std::nullopt;
    parts[k] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return Rgb{parts[0], parts[1], parts[2]};
}

std::optional<Skin> Fail(std::string* error, std::string reason) {
  if (error) *error = std::move(reason);
  return std::nullopt;
}

}  // namespace

std::optional<Skin> ParseSkin(std::string_view bytes, std::string* error) {
  if (bytes.size() > kMaxSkinFileSize) return Fail(error, "file too large");
  struct Entry {
    std::string_view name;
    Rgb Skin::*member;
    bool seen = false;
  };
  std::array<Entry, 3> entries{{{"window", &Skin::window}, {"text", &Skin::text}, {"field", &Skin::field}}};
  Skin skin{};
  int lineNumber = 0;
  while (!bytes.empty()) {
    const auto end = bytes.find('\n');
    const std::string_view line = Trim(bytes.substr(0, end));
    bytes = end == std::string_view::npos ? std::string_view{} : bytes.substr(end + 1);
    ++lineNumber;
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return Fail(error, "line " + std::to_string(lineNumber) + ": no '='");
    const std::string_view name = Trim(line.substr(0, equals));
    Entry* entry = nullptr;
    for (Entry& candidate : entries)
      if (candidate.name == name) entry = &candidate;
    if (!entry) return Fail(error, "line " + std::to_string(lineNumber) + ": unknown name");
    if (entry->seen) return Fail(error, "line " + std::to_string(lineNumber) + ": name given twice");
    const auto colour = ParseColour(Trim(line.substr(equals + 1)));
    if (!colour) return Fail(error, "line " + std::to_string(lineNumber) + ": not a #RRGGBB colour");
    skin.*(entry->member) = *colour;
    entry->seen = true;
  }
  for (const Entry& entry : entries)
    if (!entry.seen) return Fail(error, std::string("missing ") + std::string(entry.name));
  return skin;
}

}  // namespace skin
