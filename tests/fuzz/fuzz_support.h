#pragma once
// Shared pieces of the fuzz targets: a failed invariant aborts with a message (the
// fuzzer then keeps the input), and a reader that splits the input into fields.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "support/escaped.h"

#define FUZZ_CHECK(condition, what)                                                       \
  do {                                                                                    \
    if (!(condition)) fuzz_support::Fail(__FILE__, __LINE__, #condition, (what));         \
  } while (false)

namespace fuzz_support {

[[noreturn]] inline void Fail(const char* file, int line, const char* condition, std::string_view what) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n  %.*s\n", file, line, condition, static_cast<int>(what.size()),
               what.data());
  std::abort();
}

using testing_support::Escaped;

// The input taken apart front to back; past its end every read gives zero or "".
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size)
      : rest_(reinterpret_cast<const char*>(data), size) {}

  bool Empty() const { return rest_.empty(); }
  std::uint8_t Byte() {
    if (rest_.empty()) return 0;
    const auto b = static_cast<std::uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return b;
  }
  std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | Byte() << 8); }
  // The bytes up to the next NUL (which is consumed), or all that is left.
  std::string Field() {
    const std::size_t end = rest_.find('\0');
    std::string field(rest_.substr(0, end));
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    return field;
  }
  std::string Rest() {
    std::string all(rest_);
    rest_ = {};
    return all;
  }

 private:
  std::string_view rest_;
};

// A run of `count` copies of `fill` inserted into `body` at `at` (clamped). Small inputs
// so reach the 4 KiB and 64 KiB piece boundaries of the readers.
std::string Padded(std::string body, std::size_t at, std::size_t count, char fill);

// Whether an input asks for a large padding: its flags have `paddingBits`, and a hash of
// all its bytes is 0 modulo 256. So one random input in 256 with those flags is padded,
// and a mutation of a padded input almost always loses the padding again: a padded file
// costs a hundred times a plain one, and libFuzzer would otherwise spend most of its
// time on the descendants of the few padded inputs in its corpus. (A seed is made
// padded by choosing a padding position or a trailing blank that gives the hash.)
inline std::uint32_t InputHash(const std::uint8_t* data, std::size_t size) {
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
  return hash;
}
inline bool WantsPadding(std::uint8_t flags, std::uint8_t paddingBits, const std::uint8_t* data, std::size_t size) {
  return (flags & paddingBits) != 0 && (InputHash(data, size) & 0xFF) == 0;
}

// The units as hexadecimal numbers, each followed by a blank, for the messages.
inline std::string Utf16Hex(std::u16string_view text) {
  std::string out;
  for (char16_t unit : text) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X ", static_cast<unsigned>(unit));
    out += hex;
  }
  return out;
}

// The bytes read as little-endian UTF-16 units; an odd last byte is dropped.
inline std::u16string Utf16Units(const std::string& bytes) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
  return text;
}

}  // namespace fuzz_support
