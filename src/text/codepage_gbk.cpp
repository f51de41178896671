// Code page 936 for the native build, through glibc's iconv (its GBK table is
// Windows' code page 936, euro sign at 0x80 included).
#include <iconv.h>

#include <cerrno>
#include <stdexcept>

#include "text/codepage.h"

namespace text {
namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {
    if (handle_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv: code page 936 is not available");
  }
  ~Converter() { iconv_close(handle_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts as much of [in, in+inLeft) as possible into `out`; returns the errno of
  // the stop (0 when all input was used).
  int Run(const char*& in, std::size_t& inLeft, std::string& out) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    char chunk[256];
    while (inLeft > 0) {
      char* dst = chunk;
      std::size_t dstLeft = sizeof chunk;
      std::size_t r = iconv(handle_, const_cast<char**>(&in), &inLeft, &dst, &dstLeft);
      out.append(chunk, dst - chunk);
      if (r == static_cast<std::size_t>(-1) && errno != E2BIG) return errno;
    }
    return 0;
  }

 private:
  iconv_t handle_;
};

Converter& ToGbk() {
  thread_local Converter c("CP936", "UTF-16LE");
  return c;
}

Converter& FromGbk() {
  thread_local Converter c("UTF-16LE", "CP936");
  return c;
}

bool IsAscii(std::u16string_view s) {
  for (char16_t u : s)
    if (u >= 0x80) return false;
  return true;
}

bool IsAscii(std::string_view s) {
  for (char b : s)
    if (static_cast<unsigned char>(b) >= 0x80) return false;
  return true;
}

std::string Utf16Bytes(std::u16string_view s) {
  std::string bytes;
  bytes.reserve(s.size() * 2);
  for (char16_t u : s) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

// Converts `text`; each unit that has no ANSI form becomes '?' and sets `lossy`.
std::string Encode(std::u16string_view text, bool& lossy) {
  lossy = false;
  if (IsAscii(text)) return std::string(text.begin(), text.end());
  const std::string utf16 = Utf16Bytes(text);
  std::string out;
  const char* in = utf16.data();
  std::size_t left = utf16.size();
  while (left > 0) {
    if (ToGbk().Run(in, left, out) == 0) break;
    // An unmappable unit (or a lone surrogate): one '?' per UTF-16 unit.
    out += '?';
    lossy = true;
    in += 2;
    left -= 2;
  }
  return out;
}

}  // namespace

std::string ToAnsi(std::u16string_view text) {
  bool lossy;
  return Encode(text, lossy);
}

std::optional<std::string> ToAnsiExact(std::u16string_view text) {
  bool lossy;
  std::string bytes = Encode(text, lossy);
  if (lossy) return std::nullopt;
  return bytes;
}

std::u16string FromAnsi(std::string_view bytes) {
  if (IsAscii(bytes)) return std::u16string(bytes.begin(), bytes.end());
  std::string utf16;
  const char* in = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    if (FromGbk().Run(in, left, utf16) == 0) break;
    // Not valid in the code page: a lead byte takes its follower with it, as Windows does.
    utf16 += '?';
    utf16 += '\0';
    const std::size_t skip = IsLeadByte(static_cast<unsigned char>(*in)) && left >= 2 ? 2 : 1;
    in += skip;
    left -= skip;
  }
  std::u16string out(utf16.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(utf16[2 * i]) |
                                   static_cast<unsigned char>(utf16[2 * i + 1]) << 8);
  return out;
}

bool IsLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

}  // namespace text
