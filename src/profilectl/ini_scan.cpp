#include "profilectl/ini_scan.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "profilectl/utf16le.h"
#include "text/codepage.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#endif

namespace profilectl::inimd {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

// Tests the positions from `i` on, `width` at a time, for the needle's first and last
// byte, and compares only those that have both; returns the first match, or where the
// positions that are left begin (as `i`).
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define INI_SCAN_SIMD 1
// Not on Windows, where GCC cannot align the stack for AVX registers it spills.
#ifndef _WIN32
#define INI_SCAN_AVX2 1
__attribute__((target("avx2"))) std::size_t FindAvx2(std::string_view haystack, std::string_view needle,
                                                      std::size_t& i) {
  const std::size_t n = needle.size();
  const char* data = haystack.data();
  const __m256i first = _mm256_set1_epi8(needle.front());
  const __m256i last = _mm256_set1_epi8(needle.back());
  for (; i + n - 1 + 32 <= haystack.size(); i += 32) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i + n - 1));
    auto mask = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(b, last))));
    for (; mask != 0; mask &= mask - 1) {
      const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
      if (std::memcmp(data + at + 1, needle.data() + 1, n - 2) == 0) return at;
    }
  }
  return kNone;
}
#endif

__attribute__((target("sse2"))) std::size_t FindSse2(std::string_view haystack, std::string_view needle,
                                                      std::size_t& i) {
  const std::size_t n = needle.size();
  const char* data = haystack.data();
  const __m128i first = _mm_set1_epi8(needle.front());
  const __m128i last = _mm_set1_epi8(needle.back());
  for (; i + n - 1 + 16 <= haystack.size(); i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + n - 1));
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
    for (; mask != 0; mask &= mask - 1) {
      const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
      if (std::memcmp(data + at + 1, needle.data() + 1, n - 2) == 0) return at;
    }
  }
  return kNone;
}
#endif

// Position of `needle` in `haystack`, or kNone. On x86 the needle's first and last byte
// are looked for at 32 (AVX2) or 16 (SSE2) positions at a time, and only the positions
// that have both are compared: the C runtime's memmem slows down on text where the
// needle's first bytes recur on every line (keys that share a prefix), which is the
// usual shape of a long section.
std::size_t Find(std::string_view haystack, std::string_view needle) {
  const std::size_t n = needle.size();
  if (n > haystack.size()) return kNone;
  std::size_t i = 0;
#ifdef INI_SCAN_SIMD
  if (n >= 2) {
#ifdef INI_SCAN_AVX2
    static const bool avx2 = __builtin_cpu_supports("avx2");
    const std::size_t hit = avx2 ? FindAvx2(haystack, needle, i) : FindSse2(haystack, needle, i);
#else
    const std::size_t hit = FindSse2(haystack, needle, i);
#endif
    if (hit != kNone) return hit;
  }
#endif
  const std::size_t hit = haystack.substr(i).find(needle);
  return hit == std::string_view::npos ? kNone : i + hit;
}

// The control's key test removes the spaces and tabs before "=" (D10), not the
// vertical tabs that the profile functions also ignore (profile_blanks.h): for the
// control, "Name\v=1" holds no key Name.
bool IsSpaceOrTab(char c) { return c == ' ' || c == '\t'; }

// What the scans need to know of one line, gathered while its bytes stream past in
// pieces of any size, so that no line is ever held whole.
class LineFacts {
 public:
  explicit LineFacts(std::string_view key = {})
      : key_(key), keyCanMatch_(key.empty() || !IsSpaceOrTab(key.back())) {}

  void Add(std::string_view piece) {
    if (piece.empty()) return;
    if (length_ == 0) first_ = piece.front();
    if (!hasEquals_) TrackKey(piece);
    if (first_ == '[') TrackLastCharacter(piece);
    length_ += piece.size();
  }

  void Reset() { *this = LineFacts(key_); }

  bool HasEquals() const { return hasEquals_; }
  bool IsSectionLine() const { return length_ > 0 && first_ == '[' && lastIsBracket_; }
  // The text before the first "=", without its trailing blanks and tabs, is the key.
  bool KeyMatches() const { return hasEquals_ && keyCanMatch_ && beforeEqualsIsKey_; }

 private:
  // Before the first "=" the line must be the key followed by nothing but blanks.
  void TrackKey(std::string_view piece) {
    const auto equals = piece.find('=');
    std::string_view before = piece.substr(0, equals);
    if (length_ < key_.size()) {
      const std::size_t overlap = std::min(before.size(), key_.size() - length_);
      beforeEqualsIsKey_ = beforeEqualsIsKey_ && before.substr(0, overlap) == key_.substr(length_, overlap);
      before.remove_prefix(overlap);
    }
    beforeEqualsIsKey_ = beforeEqualsIsKey_ && std::all_of(before.begin(), before.end(), IsSpaceOrTab);
    if (equals != std::string_view::npos) {
      hasEquals_ = true;
      if (length_ + equals < key_.size()) beforeEqualsIsKey_ = false;
    }
  }

  // Whether the last character is "]": a "]" byte can also be the second half of a
  // double-byte character, so the bytes are walked character by character.
  void TrackLastCharacter(std::string_view piece) {
    for (char c : piece) {
      if (inTrailByte_) {
        inTrailByte_ = false;
        lastIsBracket_ = false;
      } else if (text::IsLeadByte(static_cast<unsigned char>(c))) {
        inTrailByte_ = true;
        lastIsBracket_ = false;
      } else {
        lastIsBracket_ = c == ']';
      }
    }
  }

  std::string_view key_;
  bool keyCanMatch_;
  std::size_t length_ = 0;
  char first_ = 0;
  bool hasEquals_ = false;
  bool beforeEqualsIsKey_ = true;
  bool inTrailByte_ = false;
  bool lastIsBracket_ = false;
};

// The bytes the scans compare: the file's own, or for a file that starts with the
// UTF-16LE byte-order mark, its text after the mark in the ANSI code page, converted as
// it streams past. A character the code page cannot hold becomes a byte pair that no
// ANSI text holds (a lead byte followed by a control character), so it matches no
// name, not even one with '?' in it.
class ScanSource {
 public:
  explicit ScanSource(fileio::Reader reader) : reader_(std::move(reader)) {}

  // Up to `size` bytes; 0 only at the end of the file.
  fileio::Result<std::size_t> Read(char* out, std::size_t size) {
    if (!started_) {
      started_ = true;
      if (auto filled = FillRaw(kUtf16LeMark.size()); !filled) return std::unexpected(filled.error());
      utf16_ = raw_.starts_with(kUtf16LeMark);
      if (utf16_) raw_.erase(0, kUtf16LeMark.size());
    }
    if (!utf16_) {
      const std::size_t n = std::min(size, raw_.size());
      raw_.copy(out, n);
      raw_.erase(0, n);
      if (n == size || eof_) return n;
      auto more = reader_.Read(out + n, size - n);
      if (!more) return std::unexpected(more.error());
      return n + *more;
    }
    // Two bytes of UTF-16 give at most two of ANSI, so a small window reads a small piece
    // (and four bytes more than a pending surrogate and odd byte always make progress).
    while (converted_.empty() && !(eof_ && raw_.size() < 2)) {
      if (auto filled = FillRaw(std::min(kPiece, 2 * size + 4)); !filled) return std::unexpected(filled.error());
      Convert();
    }
    const std::size_t n = std::min(size, converted_.size() - at_);
    converted_.copy(out, n, at_);
    at_ += n;
    if (at_ == converted_.size()) {
      converted_.clear();
      at_ = 0;
    }
    return n;
  }

 private:
  static constexpr std::size_t kPiece = 64 * 1024;
  static constexpr std::string_view kNoAnsiForm = "\x81\x01";

  // Reads until raw_ holds `want` bytes or the file ends.
  fileio::Result<void> FillRaw(std::size_t want) {
    while (raw_.size() < want && !eof_) {
      const std::size_t had = raw_.size();
      raw_.resize(want);
      auto n = reader_.Read(raw_.data() + had, want - had);
      raw_.resize(had + (n ? *n : 0));
      if (!n) return std::unexpected(n.error());
      eof_ = *n == 0;
    }
    return {};
  }

  // Converts the whole characters of raw_; a high surrogate whose partner has not been
  // read yet, and an odd byte, wait for more (at the end of the file an odd byte is
  // dropped, as the profile functions do).
  void Convert() {
    std::u16string units = DecodeUtf16Le(raw_);
    std::size_t usable = units.size();
    if (!eof_ && usable > 0 && IsHighSurrogate(units[usable - 1])) --usable;
    raw_.erase(0, eof_ ? raw_.size() : usable * 2);
    for (std::size_t i = 0; i < usable;) {
      if (units[i] < 0x80) {
        converted_ += static_cast<char>(units[i++]);
        continue;
      }
      std::size_t end = i;
      while (end < usable && units[end] >= 0x80) ++end;
      const std::u16string_view run(units.data() + i, end - i);
      if (auto ansi = text::ToAnsiExact(run)) {
        converted_ += *ansi;
      } else {
        for (std::size_t c = 0; c < run.size(); ++c) {
          const bool pair = IsHighSurrogate(run[c]) && c + 1 < run.size() && IsLowSurrogate(run[c + 1]);
          const auto one = pair ? std::nullopt : text::ToAnsiExact(run.substr(c, 1));
          converted_ += one ? std::string_view(*one) : kNoAnsiForm;
          if (pair) ++c;
        }
      }
      i = end;
    }
  }

  static bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
  static bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

  fileio::Reader reader_;
  bool started_ = false;
  bool utf16_ = false;
  bool eof_ = false;
  std::string raw_;        // read, not yet handed out (ANSI) or converted (UTF-16)
  std::string converted_;  // converted, handed out from at_
  std::size_t at_ = 0;
};

// A file read front to back through a fixed window.
class LineStream {
 public:
  LineStream(ScanSource reader, std::size_t window, std::size_t longestPattern)
      : reader_(std::move(reader)),
        size_(std::max(window, 2 * (longestPattern + 3))),
        buffer_(std::make_unique_for_overwrite<char[]>(size_)) {}

  // Moves to just after the first line that equals `header`; false when no line does.
  // Only lines that start with its "[" can match, and "[" is rare outside headers, so
  // the search looks for "[" and compares there.
  Outcome<bool> SkipPastHeader(std::string_view header) {
    std::size_t from = pos_;
    for (;;) {
      const char* data = buffer_.get();
      const void* hit = std::memchr(data + from, '[', end_ - from);
      if (hit == nullptr) {
        if (eof_) return false;
        // Keep two bytes to tell whether a "[" at the start of the next window starts a line.
        const std::size_t keep = std::min<std::size_t>(end_, 2);
        if (auto filled = Refill(end_ - keep); !filled) return std::unexpected(filled.error());
        from = keep;
        continue;
      }
      const std::size_t at = static_cast<const char*>(hit) - data;
      const std::size_t after = at + header.size();
      if (after >= end_ && !eof_) {  // the line, and the byte after it, are not all read yet
        const std::size_t keepFrom = at >= 2 ? at - 2 : 0;
        if (auto filled = Refill(keepFrom); !filled) return std::unexpected(filled.error());
        from = at - keepFrom;
        continue;
      }
      if (after <= end_ && StartsLine(at) && std::string_view(data + at, header.size()) == header &&
          (after == end_ || data[after] == '\r')) {
        pos_ = after;
        return true;
      }
      from = at + 1;
    }
  }

  // Moves to the start of the next line that begins with `prefix` or with "[", passing
  // over the lines between without looking at them; false at the end of the file.
  Outcome<bool> SkipToLineStartingWith(std::string_view prefix) {
    afterCr_ = false;
    std::size_t start = pos_;
    std::size_t from = pos_;
    std::size_t bracket = kNone;
    std::size_t match = kNone;
    for (;;) {
      const std::string_view window(buffer_.get() + from, end_ - from);
      if (bracket == kNone || bracket < from) {
        const void* hit = std::memchr(window.data(), '[', window.size());
        bracket = hit ? static_cast<const char*>(hit) - buffer_.get() : kNone;
      }
      if (match == kNone || match < from) {
        const std::size_t hit = Find(window, prefix);
        match = hit == kNone ? kNone : from + hit;
      }
      const std::size_t at = std::min(bracket, match);
      if (at == kNone) {
        if (eof_) {
          pos_ = end_;
          return false;
        }
        // A match that the window's end cut off starts in its last prefix.size() - 1
        // bytes, perhaps behind a "[" inside it that was passed over: the search goes
        // back there, but never to before where it began (the header just passed),
        // and the two bytes before, which tell whether it starts a line, are kept.
        const std::size_t keepFrom = end_ - std::min(end_, prefix.size() + 2);
        const std::size_t resume = std::max(start, std::min(from, end_ - std::min(end_, prefix.size() - 1)));
        if (auto filled = Refill(keepFrom); !filled) return std::unexpected(filled.error());
        from = resume > keepFrom ? resume - keepFrom : 0;
        start = start > keepFrom ? start - keepFrom : 0;
        bracket = match = kNone;
        continue;
      }
      if (StartsLine(at)) {
        pos_ = at;
        return true;
      }
      from = at + 1;
    }
  }

  // Reads the next line into `facts`; false at the end of the file.
  Outcome<bool> ReadLine(LineFacts& facts) {
    bool read = false;
    for (;;) {
      if (pos_ == end_) {
        if (eof_) return read;
        if (auto filled = Refill(end_); !filled) return std::unexpected(filled.error());
        continue;
      }
      const char* data = buffer_.get();
      if (afterCr_) {
        afterCr_ = false;
        if (data[pos_] == '\n') {
          ++pos_;
          continue;
        }
      }
      const void* cr = std::memchr(data + pos_, '\r', end_ - pos_);
      const std::size_t stop = cr ? static_cast<const char*>(cr) - data : end_;
      facts.Add(std::string_view(data + pos_, stop - pos_));
      read = true;
      pos_ = stop;
      if (cr != nullptr) {
        ++pos_;
        afterCr_ = true;
        return true;
      }
    }
  }

 private:
  // A line starts at the file's start and after CR or CR LF; a lone LF is inside a line,
  // and the LF of a CR LF is no line's start.
  bool StartsLine(std::size_t at) const {
    const char* data = buffer_.get();
    if (at == 0) return windowAtFileStart_;
    if (data[at - 1] == '\r') return data[at] != '\n';
    return at >= 2 && data[at - 1] == '\n' && data[at - 2] == '\r';
  }

  // Drops the bytes before `keepFrom` and reads more behind the rest.
  Outcome<void> Refill(std::size_t keepFrom) {
    char* data = buffer_.get();
    std::memmove(data, data + keepFrom, end_ - keepFrom);
    end_ -= keepFrom;
    pos_ = pos_ > keepFrom ? pos_ - keepFrom : 0;
    if (keepFrom > 0) windowAtFileStart_ = false;
    auto n = reader_.Read(data + end_, size_ - end_);
    if (!n) return std::unexpected(FromFileError(n.error()));
    if (*n == 0) eof_ = true;
    end_ += *n;
    return {};
  }

  ScanSource reader_;
  // Left uninitialized: a scan of a small file touches only the pages it reads into.
  std::size_t size_;
  std::unique_ptr<char[]> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  bool afterCr_ = false;
  bool windowAtFileStart_ = true;
};

// A window larger than the file is never filled: a small file gets one its own size
// (and one byte to see its end in a single read). Text converted from UTF-16 is never
// longer than the file. A file that grows meanwhile is still read whole, in more
// windows.
Outcome<LineStream> Open(const fileio::Path& path, std::size_t window, std::size_t longestPattern) {
  auto reader = fileio::Reader::Open(path);
  if (!reader) return std::unexpected(FromFileError(reader.error()));
  if (auto size = reader->Size(); size && *size < window) window = static_cast<std::size_t>(*size) + 1;
  return LineStream(ScanSource(std::move(*reader)), window, longestPattern);
}

}  // namespace

bool LineHasEquals(std::string_view line) {
  LineFacts facts;
  facts.Add(line);
  return facts.HasEquals();
}

bool IsSectionLine(std::string_view line) {
  LineFacts facts;
  facts.Add(line);
  return facts.IsSectionLine();
}

namespace {

// The ANSI form of the section's header line; nothing when the code page cannot hold
// the name or the name holds a CR, which ends a line: such a name cannot stand in a
// header line of the file.
std::optional<std::string> HeaderLine(std::u16string_view section) {
  auto name = text::ToAnsiExact(section);
  if (!name || name->find('\r') != std::string::npos) return std::nullopt;
  std::string line;
  line.reserve(name->size() + 2);
  line.append(1, '[').append(*name).append(1, ']');
  return line;
}

}  // namespace

Outcome<bool> SectionExists(const fileio::Path& path, std::u16string_view section, std::size_t window) {
  const auto header = HeaderLine(section);
  auto stream = Open(path, window, header ? header->size() : 0);
  if (!stream) return std::unexpected(stream.error());
  if (!header) return false;
  return stream->SkipPastHeader(*header);
}

Outcome<bool> KeyInSection(const fileio::Path& path, std::u16string_view section, std::u16string_view key,
                           std::size_t window) {
  const auto header = HeaderLine(section);
  const auto keyBytes = text::ToAnsiExact(key);
  auto stream = Open(path, window, std::max(header ? header->size() : 0, keyBytes ? keyBytes->size() : 0));
  if (!stream) return std::unexpected(stream.error());
  if (!header || !keyBytes) return false;

  auto inSection = stream->SkipPastHeader(*header);
  if (!inSection || !*inSection) return inSection;

  LineFacts line(*keyBytes);
  for (;;) {
    // Only a line that starts with the key can match, and only one that starts with "["
    // can end the section, so the lines between are passed over unread. An empty key
    // can match any line.
    if (!keyBytes->empty()) {
      auto candidate = stream->SkipToLineStartingWith(*keyBytes);
      if (!candidate) return std::unexpected(candidate.error());
      if (!*candidate) return false;
    }
    auto read = stream->ReadLine(line);
    if (!read) return std::unexpected(read.error());
    if (!*read) return false;
    if (line.HasEquals()) {
      if (line.KeyMatches()) return true;
    } else if (line.IsSectionLine()) {
      return false;
    }
    line.Reset();
  }
}

}  // namespace profilectl::inimd
