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

// Where a line can begin that SkipToLineStartingWith looks for: data[at] is '[' or
// data[at, at + n) is the prefix, and data[at] is the window's first byte or follows a
// CR or an LF. Every line start passes this test, and few other bytes do; whether `at`
// really starts a line (the LF of a CR LF does not, nor does a lone LF) is the caller's
// to check.
bool IsCandidate(const char* data, std::size_t at, std::size_t end, std::string_view prefix) {
  if (at > 0 && data[at - 1] != '\r' && data[at - 1] != '\n') return false;
  return data[at] == '[' || (end - at >= prefix.size() && std::memcmp(data + at, prefix.data(), prefix.size()) == 0);
}

// Tests the positions from `i` on, 32 (AVX2) or 16 (SSE2) at a time, in one pass for
// both kinds of candidate: the byte before is a CR or an LF, and the byte is '[' or the
// prefix's first byte with its last byte in place. Returns the first position that
// passes (for IsCandidate to compare), or kNone with `i` where the positions that are
// left begin. `i` is at least 1. The loop calls nothing, so that its constants stay in
// registers.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define INI_SCAN_SIMD 1
// Not on Windows, where GCC cannot align the stack for AVX registers it spills.
#ifndef _WIN32
#define INI_SCAN_AVX2 1
__attribute__((target("avx2"))) std::size_t FindCandidateAvx2(const char* data, std::size_t& i, std::size_t end,
                                                               std::string_view prefix) {
  const std::size_t n = prefix.size();
  const __m256i cr = _mm256_set1_epi8('\r');
  const __m256i lf = _mm256_set1_epi8('\n');
  const __m256i bracket = _mm256_set1_epi8('[');
  const __m256i first = _mm256_set1_epi8(prefix.front());
  const __m256i last = _mm256_set1_epi8(prefix.back());
  for (; i + n - 1 + 32 <= end; i += 32) {
    const __m256i before = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i - 1));
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i + n - 1));
    const __m256i lineBreak = _mm256_or_si256(_mm256_cmpeq_epi8(before, cr), _mm256_cmpeq_epi8(before, lf));
    const __m256i prefixEnds = _mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(b, last));
    const __m256i starts = _mm256_or_si256(_mm256_cmpeq_epi8(a, bracket), prefixEnds);
    const auto mask = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_and_si256(lineBreak, starts)));
    if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(mask));
  }
  return kNone;
}
#endif

__attribute__((target("sse2"))) std::size_t FindCandidateSse2(const char* data, std::size_t& i, std::size_t end,
                                                               std::string_view prefix) {
  const std::size_t n = prefix.size();
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i bracket = _mm_set1_epi8('[');
  const __m128i first = _mm_set1_epi8(prefix.front());
  const __m128i last = _mm_set1_epi8(prefix.back());
  for (; i + n - 1 + 16 <= end; i += 16) {
    const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i - 1));
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + n - 1));
    const __m128i lineBreak = _mm_or_si128(_mm_cmpeq_epi8(before, cr), _mm_cmpeq_epi8(before, lf));
    const __m128i prefixEnds = _mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last));
    const __m128i starts = _mm_or_si128(_mm_cmpeq_epi8(a, bracket), prefixEnds);
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(lineBreak, starts)));
    if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(mask));
  }
  return kNone;
}
#endif

// The first position from `from` on, before `end`, that passes IsCandidate, or kNone.
// One pass over the bytes looks for both kinds: a section's long run of key lines is
// read once, not once for '[' and again for the prefix. `prefix` is not empty.
std::size_t FindCandidate(const char* data, std::size_t from, std::size_t end, std::string_view prefix) {
  std::size_t i = from;
  if (i == 0 && end > 0) {
    if (IsCandidate(data, 0, end, prefix)) return 0;
    i = 1;
  }
#ifdef INI_SCAN_SIMD
#ifdef INI_SCAN_AVX2
  static const bool avx2 = __builtin_cpu_supports("avx2");
  const auto find = avx2 ? FindCandidateAvx2 : FindCandidateSse2;
#else
  const auto find = FindCandidateSse2;
#endif
  for (std::size_t hit; (hit = find(data, i, end, prefix)) != kNone; i = hit + 1) {
    if (IsCandidate(data, hit, end, prefix)) return hit;
  }
#endif
  for (; i < end; ++i) {
    if (IsCandidate(data, i, end, prefix)) return i;
  }
  return kNone;
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
      if (size >= kUtf16LeMark.size()) {
        // The first read lands where the caller wants the bytes (ReadBuffer); a mark
        // found there sends them on to the conversion.
        std::size_t got = 0;
        while (got < kUtf16LeMark.size() && !eof_) {
          auto n = reader_.Read(out + got, size - got);
          if (!n) return std::unexpected(n.error());
          eof_ = *n == 0;
          got += *n;
        }
        utf16_ = std::string_view(out, got).starts_with(kUtf16LeMark);
        if (!utf16_) return got;
        raw_.assign(out + kUtf16LeMark.size(), got - kUtf16LeMark.size());
      } else {
        if (auto filled = FillRaw(kUtf16LeMark.size()); !filled) return std::unexpected(filled.error());
        utf16_ = raw_.starts_with(kUtf16LeMark);
        if (utf16_) raw_.erase(0, kUtf16LeMark.size());
      }
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
    // Most pieces have an ANSI form as a whole.
    if (auto ansi = text::ToAnsiExact(std::u16string_view(units.data(), usable))) {
      converted_ += *ansi;
      return;
    }
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
        buffer_(size_ + fileio::kReadAlignment) {}

  // Moves to just after the first line that equals `header`; false when no line does.
  // Only lines that start with its "[" can match, and "[" is rare outside headers, so
  // the search looks for "[" and compares there.
  Outcome<bool> SkipPastHeader(std::string_view header) {
    std::size_t from = pos_;
    for (;;) {
      const char* data = Data();
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
    for (;;) {
      const std::size_t at = FindCandidate(Data(), from, end_, prefix);
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
      const char* data = Data();
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
    const char* data = Data();
    if (at == 0) return windowAtFileStart_;
    if (data[at - 1] == '\r') return data[at] != '\n';
    return at >= 2 && data[at - 1] == '\n' && data[at - 2] == '\r';
  }

  // The window: the bytes from the buffer's start_ on.
  char* Data() const { return buffer_.get() + start_; }

  // Drops the bytes before `keepFrom` and reads more behind the rest. The rest moves to
  // just before a multiple of kReadAlignment, where the read then lands (ReadBuffer).
  Outcome<void> Refill(std::size_t keepFrom) {
    const std::size_t kept = end_ - keepFrom;
    const std::size_t start = (fileio::kReadAlignment - kept % fileio::kReadAlignment) % fileio::kReadAlignment;
    std::memmove(buffer_.get() + start, Data() + keepFrom, kept);
    start_ = start;
    end_ = kept;
    pos_ = pos_ > keepFrom ? pos_ - keepFrom : 0;
    if (keepFrom > 0) windowAtFileStart_ = false;
    char* data = Data();
    auto n = reader_.Read(data + end_, size_ - end_);
    if (!n) return std::unexpected(FromFileError(n.error()));
    if (*n == 0) eof_ = true;
    end_ += *n;
    return {};
  }

  ScanSource reader_;
  std::size_t size_;  // of the window
  // Left uninitialized: a scan of a small file touches only the pages it reads into.
  fileio::ReadBuffer buffer_;
  std::size_t start_ = 0;  // of the window in the buffer
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
