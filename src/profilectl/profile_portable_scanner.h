#pragma once
// The line scanner behind the portable profile store.
//
// The scanner is fed the text of a profile in pieces of any size and looks for one
// section and, inside it, one key. It works on code units: `char` for files in the ANSI
// code page, `char16_t` for UTF-16 files. Everything it reports is an offset into the
// whole text, so a reader can stream the file through a small buffer while a writer
// feeds the whole text at once and edits it at the offsets it gets back.
//
// The text follows these rules:
// - Lines end at CR LF, a lone CR or a lone LF.
// - Blanks (space, tab, vertical tab: IsBlank of profile_blanks.h) around names and
//   values are ignored.
// - A line whose first non-blank unit is '[' is a section header; the name ends at the
//   first ']' (or at the end of the line when there is none) and the rest of the line
//   is ignored. In code page 936 a ']' may be the trail byte of a double-byte
//   character, which does not end the name.
// - A line whose first non-blank unit is ';' is a comment.
// - Any other line holding '=' is a key line: name before the first '=', value after.
//   As in a header name, a trail byte '=' belongs to its double-byte character.
// - Key lines before the first header belong to no section: no name reaches them. "[]"
//   is the header of the section named "".
// - Only the first section of a name counts; the scan ends with the next header.
//
// Outside the section it looks for, the scanner does not examine lines one by one: it
// jumps from '[' to '[' and checks that only blanks precede each on its line.
//
// Besides looking for a key, the scanner lists: the names of all headers, or the
// entries of the section (every line that is not blank or a comment, with its name and
// value), which it hands to its listener as it meets them.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "profilectl/profile_blanks.h"
#include "text/codepage.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace profilectl::portable {

template <class Unit>
constexpr bool IsLineBreak(Unit unit) {
  return unit == Unit('\r') || unit == Unit('\n');
}

// The first '[' of data[0, size), or null; the search for headers is most of the work
// of reading a large file. With glibc this is its memchr, which uses the widest
// vectors the processor has. Elsewhere (the Windows builds) sixteen bytes are compared
// at a time where SSE2 is available, which does not depend on how fast the C runtime's
// memchr is; the IniMD scans (ini_scan.cpp) call memchr on every platform.
inline const char* FindBracket(const char* data, std::size_t size) {
#ifdef __GLIBC__
  return static_cast<const char*>(std::memchr(data, '[', size));
#endif
  std::size_t i = 0;
#ifdef __SSE2__
  const __m128i bracket = _mm_set1_epi8('[');
  for (; i + 16 <= size; i += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const int found = _mm_movemask_epi8(_mm_cmpeq_epi8(block, bracket));
    if (found != 0) return data + i + __builtin_ctz(static_cast<unsigned>(found));
  }
#endif
  return std::char_traits<char>::find(data + i, size - i, '[');
}

inline const char16_t* FindBracket(const char16_t* data, std::size_t size) {
  return std::char_traits<char16_t>::find(data, size, u'[');
}

// The first unit of data[from, size) that ends a header's name (']', CR, LF) or may start
// a double-byte character (a byte from 0x80 on); `size` when there is none. Sixteen
// bytes at a time where SSE2 is available: a header's name is read whole, and headers
// are most of what a scan outside its section reads.
inline std::size_t FindNameStop(const char* data, std::size_t size, std::size_t from) {
#ifdef __SSE2__
  const __m128i bracket = _mm_set1_epi8(']');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  for (; from + 16 <= size; from += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + from));
    const __m128i stops =
        _mm_or_si128(_mm_cmpeq_epi8(block, bracket), _mm_or_si128(_mm_cmpeq_epi8(block, cr), _mm_cmpeq_epi8(block, lf)));
    const int found = _mm_movemask_epi8(stops) | _mm_movemask_epi8(block);
    if (found != 0) return from + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(found)));
  }
#endif
  for (; from < size; ++from) {
    const char unit = data[from];
    if (unit == ']' || unit == '\r' || unit == '\n' || static_cast<unsigned char>(unit) >= 0x80) return from;
  }
  return size;
}

inline std::size_t FindNameStop(const char16_t* data, std::size_t size, std::size_t from) {
  for (; from < size; ++from) {
    const char16_t unit = data[from];
    if (unit == u']' || unit == u'\r' || unit == u'\n') return from;
  }
  return size;
}

inline bool IsLeadUnit(char unit) {
  const auto byte = static_cast<unsigned char>(unit);
  return byte >= 0x80 && text::IsLeadByte(byte);
}
inline bool IsLeadUnit(char16_t) { return false; }

// Case-insensitive comparison of section and key names, as Windows makes it in Unicode,
// for the cased letters the ANSI code page holds.
bool NamesEqual(std::string_view a, std::string_view b);
bool NamesEqual(std::u16string_view a, std::u16string_view b);

// A name or value as the scanner meets it, unit by unit: blanks at both ends are dropped
// and only the first `limit` units are kept, so a line of any length costs bounded
// memory. Length() still counts the whole trimmed text.
template <class Unit>
class TrimmedText {
 public:
  void Reset(std::size_t limit) {
    kept_.clear();
    limit_ = limit;
    length_ = 0;
    trimmedLength_ = 0;
    last_ = Unit();
  }

  void Add(Unit unit) {
    if (length_ == 0 && IsBlank(unit)) return;
    if (kept_.size() < limit_) kept_.push_back(unit);
    ++length_;
    if (!IsBlank(unit)) {
      trimmedLength_ = length_;
      last_ = unit;
    }
  }

  // Sets the text to `text` (already trimmed), as Reset(limit) and Add for each of its
  // units would.
  void Assign(std::basic_string_view<Unit> text, std::size_t limit) {
    kept_.assign(text.substr(0, limit));
    limit_ = limit;
    length_ = trimmedLength_ = text.size();
    last_ = text.empty() ? Unit() : text.back();
  }

  // Length of the whole trimmed text.
  std::size_t Length() const { return trimmedLength_; }
  // Its first units, at most `limit`.
  std::basic_string_view<Unit> Kept() const {
    return std::basic_string_view<Unit>(kept_).substr(0, std::min(kept_.size(), trimmedLength_));
  }
  // Its last unit (Unit() when empty).
  Unit Last() const { return last_; }

  bool Equals(std::basic_string_view<Unit> name) const {
    return trimmedLength_ == name.size() && NamesEqual(Kept(), name);
  }

 private:
  std::basic_string<Unit> kept_;
  std::size_t limit_ = 0;
  std::size_t length_ = 0;         // units since the first non-blank
  std::size_t trimmedLength_ = 0;  // up to and including the last non-blank
  Unit last_ = Unit();
};

// Where a line lies in the text.
struct LineExtent {
  std::uint64_t start = 0;       // its first unit
  std::uint64_t contentEnd = 0;  // its line break, or the end of the text
  std::uint64_t end = 0;         // just after its line break
  bool HasLineBreak() const { return end != contentEnd; }
};

struct KeyLine {
  LineExtent line;
  std::uint64_t valueStart = 0;  // just after the '='
  bool matches = false;          // its name is the key looked for
};

enum class ScanMode {
  kFindKey,       // the section and, in it, one key
  kSectionNames,  // every header's name; no section is entered
  kKeyNames,      // the names of the section's key lines
  kEntries,       // the section's entries, with whole names and values
};

// What the scanner finds inside the section it looks for.
template <class Unit>
class SectionListener {
 public:
  virtual ~SectionListener() = default;
  // The section begins at its header. Returns false to end the scan.
  virtual bool OnSection(const LineExtent& header) = 0;
  // A key line of the section. For the key looked for, `value` holds its value (up to
  // the scanner's value limit). Returns false to end the scan.
  virtual bool OnKey(const KeyLine& key, const TrimmedText<Unit>& value) = 0;
  // kSectionNames: a header's name. Returns false to end the scan.
  virtual bool OnSectionName(const TrimmedText<Unit>& /*name*/) { return true; }
  // kKeyNames: a key line of the section, its name in `name`, `value` empty.
  // kEntries: a line of the section that is neither blank nor a comment: a key line
  // (`hasEquals`, its name and value) or other text (all of it in `name`). Returns
  // false to end the scan.
  virtual bool OnEntry(const TrimmedText<Unit>& /*name*/, bool /*hasEquals*/, const TrimmedText<Unit>& /*value*/) {
    return true;
  }
};

template <class Unit>
class ProfileScanner {
 public:
  using StringView = std::basic_string_view<Unit>;

  // Looks for `section` and, with `findKey`, for `key` in it (both already trimmed).
  // Values of the key are kept up to `valueLimit` units.
  ProfileScanner(StringView section, bool findKey, StringView key, std::size_t valueLimit,
                 SectionListener<Unit>& listener)
      : section_(section), findKey_(findKey), key_(key), valueLimit_(valueLimit), listener_(listener) {
    StartLine(0);
  }

  // Lists the header names (kSectionNames) or the entries of `section` (kEntries).
  ProfileScanner(ScanMode mode, StringView section, SectionListener<Unit>& listener)
      : section_(section), findKey_(false), valueLimit_(0), listener_(listener), mode_(mode) {
    StartLine(0);
  }

  // Scans the next piece of the text. False once the scan needs nothing more.
  bool Feed(const Unit* data, std::size_t size) {
    std::size_t i = 0;
    while (i < size && !done_) {
      if (state_ == State::kSeekHeader) {
        i = SeekHeader(data, size, i);
      } else if (state_ == State::kHeaderName) {
        i = ScanHeaderName(data, size, i);
      } else if (state_ == State::kRestOfLine) {
        i = SkipToLineBreak(data, size, i);
      } else if (Step(data[i], offset_ + i)) {
        ++i;
      }
    }
    offset_ += size;
    return !done_;
  }

  // Ends the scan at the end of the text.
  void Finish() {
    if (done_) return;
    if (state_ == State::kAfterCr) {
      EndLine(offset_);
    } else if (state_ != State::kSeekHeader) {
      contentEnd_ = offset_;
      EndLine(offset_);
    }
    done_ = true;
  }

 private:
  enum class State {
    kSeekHeader,  // outside the section: jumping to the next header
    kLineStart,   // blanks before the first unit of a line
    kHeaderName,
    kKeyName,
    kValue,
    kRestOfLine,  // nothing more to learn on this line
    kAfterCr,     // a CR ended the line; an LF may belong to it
  };
  enum class LineKind { kOther, kHeader, kKey };

  void StartLine(std::uint64_t at) {
    lineStart_ = at;
    kind_ = LineKind::kOther;
    textLine_ = false;
    pendingLead_ = false;
    lineBlankSoFar_ = true;
    state_ = inSection_ ? State::kLineStart : State::kSeekHeader;
  }

  // Looks for a header from data[from]; the line up to data[from] is blank when
  // lineBlankSoFar_ says so. Returns where to go on.
  std::size_t SeekHeader(const Unit* data, std::size_t size, std::size_t from) {
    for (std::size_t i = from; i < size;) {
      const Unit* bracket = FindBracket(data + i, size - i);
      if (bracket == nullptr) break;
      const std::size_t at = static_cast<std::size_t>(bracket - data);
      std::size_t before = at;
      while (before > from && IsBlank(data[before - 1])) --before;
      const bool lineStart = before > from ? IsLineBreak(data[before - 1]) : lineBlankSoFar_;
      if (!lineStart) {
        i = at + 1;
        continue;
      }
      if (before > from) lineStart_ = offset_ + before;
      kind_ = LineKind::kHeader;
      const std::size_t end = WholeHeaderLine(data, size, at);
      if (end == 0) {  // the line goes on in the next piece: unit by unit
        name_.Reset(HeaderNameLimit());
        state_ = State::kHeaderName;
        return at + 1;
      }
      EndLine(offset_ + end);
      if (done_ || state_ != State::kSeekHeader) return end;
      i = from = end;
    }
    // No header in this piece: remember whether its last line is blank so far.
    std::size_t tail = size;
    while (tail > from && IsBlank(data[tail - 1])) --tail;
    if (tail > from) {
      lineBlankSoFar_ = IsLineBreak(data[tail - 1]);
      if (lineBlankSoFar_) lineStart_ = offset_ + tail;
    }
    return size;
  }

  // For the header line whose '[' is data[at]: when the line and its line break lie
  // wholly in the piece, takes its name into name_, sets contentEnd_ and returns where
  // the next line starts; 0 otherwise. Most headers are met here, at the cost of a
  // look at each of their units, rather than unit by unit through Step.
  std::size_t WholeHeaderLine(const Unit* data, std::size_t size, std::size_t at) {
    std::size_t i = at + 1;
    for (;;) {
      i = FindNameStop(data, size, i);
      if (i == size || data[i] == Unit(']') || IsLineBreak(data[i])) break;
      // A lead byte takes the next unit along, whatever it is, unless that ends the line.
      i += IsLeadUnit(data[i]) && i + 1 < size && !IsLineBreak(data[i + 1]) ? 2 : 1;
    }
    std::size_t nameEnd = i;
    std::size_t lineBreak = nameEnd;
    while (lineBreak < size && !IsLineBreak(data[lineBreak])) ++lineBreak;
    // No line break in the piece, or a CR as its last unit, which may be followed by the
    // LF of its pair.
    if (lineBreak + 1 >= size && !(lineBreak < size && data[lineBreak] == Unit('\n'))) return 0;
    std::size_t nameStart = at + 1;
    while (nameStart < nameEnd && IsBlank(data[nameStart])) ++nameStart;
    while (nameEnd > nameStart && IsBlank(data[nameEnd - 1])) --nameEnd;
    name_.Assign(StringView(data + nameStart, nameEnd - nameStart), HeaderNameLimit());
    contentEnd_ = offset_ + lineBreak;
    const bool crLf = data[lineBreak] == Unit('\r') && data[lineBreak + 1] == Unit('\n');
    return lineBreak + (crLf ? 2 : 1);
  }

  // Collects a header name from data[i] up to its ']' or the line break, which Step
  // then handles. Returns where to go on.
  std::size_t ScanHeaderName(const Unit* data, std::size_t size, std::size_t i) {
    for (; i < size; ++i) {
      const Unit unit = data[i];
      if (pendingLead_) {
        // The trail byte of a double-byte character, whatever it looks like.
        pendingLead_ = false;
        if (!IsLineBreak(unit)) {
          name_.Add(unit);
          continue;
        }
      }
      if (unit == Unit(']') || IsLineBreak(unit)) break;
      pendingLead_ = IsLeadUnit(unit);
      name_.Add(unit);
    }
    return HandOver(data, size, i);
  }

  std::size_t SkipToLineBreak(const Unit* data, std::size_t size, std::size_t i) {
    while (i < size && !IsLineBreak(data[i])) ++i;
    return HandOver(data, size, i);
  }

  // Lets Step handle data[i], if any, after a run of units.
  std::size_t HandOver(const Unit* data, std::size_t size, std::size_t i) {
    if (i == size) return size;
    Step(data[i], offset_ + i);
    return i + 1;
  }

  // Handles one unit of a line; false when the unit must be handled again in the next
  // state.
  bool Step(Unit unit, std::uint64_t at) {
    switch (state_) {
      case State::kAfterCr:
        if (unit == Unit('\n')) {
          EndLine(at + 1);
          return true;
        }
        EndLine(at);
        return false;
      case State::kLineStart:
        if (IsBlank(unit)) return true;
        if (IsLineBreak(unit)) return LineBreak(unit, at);
        if (unit == Unit('[')) {
          kind_ = LineKind::kHeader;
          name_.Reset(HeaderNameLimit());
          state_ = State::kHeaderName;
        } else if (unit == Unit(';')) {
          state_ = State::kRestOfLine;
        } else {
          name_.Reset(mode_ == ScanMode::kFindKey ? key_.size() + 1 : kWhole);
          textLine_ = true;
          state_ = State::kKeyName;
          return false;  // the unit begins the key name, or is its '='
        }
        return true;
      case State::kHeaderName:  // the ']' or line break that ends the name
        if (IsLineBreak(unit)) return LineBreak(unit, at);
        state_ = State::kRestOfLine;
        return true;
      case State::kKeyName:
        if (IsLineBreak(unit)) return LineBreak(unit, at);
        if (pendingLead_) {
          // The trail byte of a double-byte character, '=' included: the profile
          // functions see the pair as one character, which does not end the name.
          pendingLead_ = false;
          name_.Add(unit);
          return true;
        }
        if (unit == Unit('=')) {
          kind_ = LineKind::kKey;
          valueStart_ = at + 1;
          keyMatches_ = findKey_ && name_.Equals(key_);
          const bool entries = mode_ == ScanMode::kEntries;
          value_.Reset(entries ? kWhole : valueLimit_);
          state_ = entries || (keyMatches_ && valueLimit_ > 0) ? State::kValue : State::kRestOfLine;
        } else {
          pendingLead_ = IsLeadUnit(unit);
          name_.Add(unit);
        }
        return true;
      case State::kValue:
        if (IsLineBreak(unit)) return LineBreak(unit, at);
        value_.Add(unit);
        return true;
      case State::kRestOfLine:
        if (IsLineBreak(unit)) return LineBreak(unit, at);
        return true;
      case State::kSeekHeader:
        break;
    }
    return true;
  }

  bool LineBreak(Unit unit, std::uint64_t at) {
    contentEnd_ = at;
    if (unit == Unit('\r')) {
      state_ = State::kAfterCr;
    } else {
      EndLine(at + 1);
    }
    return true;
  }

  void EndLine(std::uint64_t end) {
    const LineExtent line{lineStart_, contentEnd_, end};
    if (kind_ == LineKind::kHeader) {
      OnHeader(line);
    } else if (kind_ == LineKind::kKey && inSection_) {
      OnKeyLine(line);
    } else if (textLine_ && inSection_ && mode_ == ScanMode::kEntries) {
      value_.Reset(0);
      if (!listener_.OnEntry(name_, false, value_)) done_ = true;
    }
    if (!done_) StartLine(end);
  }

  void OnHeader(const LineExtent& line) {
    if (mode_ == ScanMode::kSectionNames) {
      if (!listener_.OnSectionName(name_)) done_ = true;
      return;
    }
    if (inSection_) {
      done_ = true;  // the next section begins
      return;
    }
    if (name_.Equals(section_)) {
      inSection_ = true;
      if (!listener_.OnSection(line)) done_ = true;
    }
  }

  void OnKeyLine(const LineExtent& line) {
    if (!listener_.OnKey(KeyLine{line, valueStart_, keyMatches_}, value_)) done_ = true;
    const bool listing = mode_ == ScanMode::kEntries || mode_ == ScanMode::kKeyNames;
    if (!done_ && listing && !listener_.OnEntry(name_, true, value_)) done_ = true;
  }

  std::size_t HeaderNameLimit() const { return mode_ == ScanMode::kSectionNames ? kWhole : section_.size() + 1; }

  static constexpr std::size_t kWhole = static_cast<std::size_t>(-1);

  const StringView section_;
  const bool findKey_;
  const StringView key_;
  const std::size_t valueLimit_;
  SectionListener<Unit>& listener_;
  const ScanMode mode_ = ScanMode::kFindKey;

  std::uint64_t offset_ = 0;  // of the piece being scanned
  State state_ = State::kLineStart;
  bool done_ = false;
  bool inSection_ = false;

  // The line being scanned.
  std::uint64_t lineStart_ = 0;
  std::uint64_t contentEnd_ = 0;
  std::uint64_t valueStart_ = 0;
  LineKind kind_ = LineKind::kOther;
  bool lineBlankSoFar_ = true;  // while seeking a header
  bool pendingLead_ = false;    // in a header or key name, a lead byte awaits its trail byte
  bool keyMatches_ = false;
  bool textLine_ = false;  // the line holds something besides blanks, a header or a comment
  TrimmedText<Unit> name_;
  TrimmedText<Unit> value_;
};

}  // namespace profilectl::portable
