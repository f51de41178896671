// Our portable profile store (GetPrivateProfileStringA / WritePrivateProfileStringA as
// Windows behaves) on arbitrary files and names.
//
// Input: flags, operation, read size (2 bytes), padding length (2 bytes), padding
// position (2 bytes), padding byte, section NUL key NUL value NUL file bytes.
// Flags: 1 pads the file (so that lines straddle the reader's 4 KiB and 64 KiB pieces)
// in one input of 256 (fuzz_support::WantsPadding: padding is a rare input), 2
// lengthens the padding by 60,000 bytes, 4 starts without a file, 8 puts the UTF-16LE
// byte-order mark in front of the file bytes.
//
// Checked: nothing crashes; a read gives at most size - 1 bytes, and a shorter buffer
// gives a prefix of what a large one gives; a read changes nothing; a write always
// succeeds on a writable file, leaves no other file behind, keeps every byte outside
// the line(s) it touches, and a read of the written key gives the written value (when
// the names and value can stand in the file unchanged); a delete removes whole lines:
// one key line, or the section's header and its key lines.
//
// The store takes a file name: the file is one of the target's files in memory.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "fuzz_support.h"
#include "memory_files.h"
#include "profilectl/profile_blanks.h"
#include "profilectl/profile_store.h"
#include "text/codepage.h"

namespace {

using fuzz_support::Escaped;

constexpr std::size_t kLargeBuffer = 1 << 20;

using profilectl::IsBlank;
using profilectl::TrimSpaces;

bool IsBreak(char c) { return c == '\r' || c == '\n'; }

bool HasBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// True when the single-byte character `c` occurs in `s` outside double-byte characters,
// or `s` ends in a lead byte without its trail byte.
bool HasCharOrDanglingLead(std::string_view s, char c) {
  for (std::size_t i = 0; i < s.size();) {
    if (text::IsLeadByte(static_cast<unsigned char>(s[i]))) {
      if (i + 1 == s.size()) return true;
      i += 2;
    } else {
      if (s[i] == c) return true;
      i += 1;
    }
  }
  return false;
}

bool RoundTrips(std::string_view s) { return text::ToAnsi(text::FromAnsi(s)) == s; }

// Whether a read of (section, key) must give back `value` after a write: names that a
// header or key line can hold unchanged, a value without blanks at its ends, line
// breaks or a pair of quotes around it.
bool ReadsBack(std::string_view section, std::string_view key, std::string_view value, bool utf16) {
  section = TrimSpaces(section);
  key = TrimSpaces(key);
  for (std::string_view s : {section, key, value}) {
    if (HasBreak(s)) return false;
    if (!s.empty() && (IsBlank(s.front()) || IsBlank(s.back()))) return false;
    if (utf16 && !RoundTrips(s)) return false;
  }
  if (HasCharOrDanglingLead(section, ']')) return false;
  if (HasCharOrDanglingLead(key, '=') || key.starts_with(';') || key.starts_with('[')) return false;
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return false;
  return true;
}

// Lines with their line breaks (CR LF, lone CR, lone LF).
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!IsBreak(text[i])) continue;
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    lines.push_back(text.substr(start, i + 1 - start));
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::string_view Content(std::string_view line) {
  while (!line.empty() && IsBreak(line.back())) line.remove_suffix(1);
  return line;
}

char FirstNonBlank(std::string_view line) {
  for (char c : line)
    if (!IsBlank(c)) return c;
  return '\0';
}

bool IsKeyLine(std::string_view line) {
  const char first = FirstNonBlank(line);
  return first != ';' && first != '[' && Content(line).find('=') != std::string_view::npos;
}
bool IsHeaderLine(std::string_view line) { return FirstNonBlank(line) == '['; }

// `what` describes the input when a check fails.
template <class Describe>
void CheckSet(const std::string& before, const std::string& after, bool utf16, const Describe& what) {
  std::size_t prefix = 0;
  while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) ++prefix;
  std::size_t suffix = 0;
  while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
    ++suffix;
  const std::string_view removed = std::string_view(before).substr(prefix, before.size() - prefix - suffix);
  // Everything outside one stretch is kept; the stretch lies inside one line (a value
  // replaced), or nothing was taken out (lines inserted).
  if (!utf16) {
    FUZZ_CHECK(!HasBreak(removed), "a write changed more than one line: " + what());
  } else {
    for (std::size_t i = 0; i + 1 < removed.size(); ++i)
      FUZZ_CHECK(!((removed[i] == '\r' || removed[i] == '\n') && removed[i + 1] == '\0' && (prefix + i) % 2 == 0),
                 "a write changed more than one line: " + what());
  }
}

// `what` describes the input when a check fails.
template <class Describe>
void CheckDeleteKey(const std::string& before, const std::string& after, const Describe& what) {
  if (after == before) return;
  const auto lines = Lines(before);
  std::size_t offset = 0;
  for (std::string_view line : lines) {
    if (line.size() == before.size() - after.size() && IsKeyLine(line) &&
        before.compare(0, offset, after, 0, offset) == 0 &&
        std::string_view(before).substr(offset + line.size()) == std::string_view(after).substr(offset))
      return;
    offset += line.size();
  }
  FUZZ_CHECK(false, "a key delete did not remove exactly one key line: " + what());
}

// `what` describes the input when a check fails.
// A section delete takes out lines of the file before, and nothing else: some key lines
// and at most one header, all in one stretch without a kept header between them.
// Whether a line was kept cannot be read off the file after one line at a time (the
// bytes of a removed line can equal those that follow it, and taking a line out can
// join a lone CR and a lone LF around it into one CR LF), so every way of keeping lines
// that gives the file after is followed at once: the states are the offset reached in
// the file after, how far the removed stretch has got, and whether a header went.
template <class Describe>
void CheckDeleteSection(const std::string& before, const std::string& after, const Describe& what) {
  if (after == before) return;
  enum Stretch : std::uint8_t { kNotYet, kOpen, kClosed };  // kClosed: a header kept after removals
  struct State {
    std::size_t at;
    Stretch stretch;
    bool headerRemoved;
    bool operator<(const State& o) const {
      return std::tie(at, stretch, headerRemoved) < std::tie(o.at, o.stretch, o.headerRemoved);
    }
  };
  std::set<State> states = {{0, kNotYet, false}};
  for (std::string_view line : Lines(before)) {
    std::set<State> next;
    const bool header = IsHeaderLine(line);
    for (const State& s : states) {
      if (after.compare(s.at, line.size(), line) == 0)
        next.insert({s.at + line.size(), header && s.stretch == kOpen ? kClosed : s.stretch, s.headerRemoved});
      const bool removable = (IsKeyLine(line) || (header && !s.headerRemoved)) && s.stretch != kClosed;
      if (removable) next.insert({s.at, kOpen, s.headerRemoved || header});
    }
    states = std::move(next);
    FUZZ_CHECK(!states.empty(), "a section delete changed or removed a line that is not its own: " + what());
  }
  bool complete = false;
  for (const State& s : states) complete = complete || s.at == after.size();
  FUZZ_CHECK(complete, "a section delete changed a line: " + what());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::unique_ptr<profilectl::ProfileStore> store = profilectl::MakePortableProfileStore();
  fuzz_support::Input input(data, size);
  const std::uint8_t flags = input.Byte();
  const std::uint8_t operation = input.Byte() % 4;
  const std::size_t readSize = input.Word();
  std::size_t padCount = input.Word();
  const std::size_t padAt = input.Word();
  const char fill = static_cast<char>(input.Byte());
  const std::string section = input.Field();
  const std::string key = input.Field();
  const std::string value = input.Field();
  std::string content = input.Rest();
  if (flags & 2) padCount += 60000;
  if (fuzz_support::WantsPadding(flags, 1, data, size)) content = fuzz_support::Padded(std::move(content), padAt, padCount, fill);
  if (flags & 8) content.insert(0, "\xFF\xFE");
  const bool missing = (flags & 4) != 0;
  // The store reads any file that starts with the mark as UTF-16, however it got there.
  const bool utf16 = !missing && content.starts_with("\xFF\xFE");

  const memory_files::InputFiles files;
  const std::string path = "p.ini";
  if (!missing) memory_files::Put(path, content);
  const std::string before = missing ? std::string() : content;
  // The description of the input, made only when a check fails.
  const auto what = [&] {
    return "section " + Escaped(section) + " key " + Escaped(key) + " value " + Escaped(value) +
           (missing ? " no file" : " file " + Escaped(before.substr(0, 4096)));
  };

  if (operation == 0) {
    const std::string got = store->Read(path, section, key, readSize);
    FUZZ_CHECK(got.size() <= (readSize == 0 ? 0 : readSize - 1), "read longer than its buffer: " + what());
    const std::string full = store->Read(path, section, key, kLargeBuffer);
    if (readSize > 0) FUZZ_CHECK(got == full.substr(0, readSize - 1), "a short read is not a prefix: " + what());
    FUZZ_CHECK(memory_files::Get(path) == (missing ? std::nullopt : std::optional(before)),
               "a read changed, created or removed the file: " + what());
    return 0;
  }

  bool ok = false;
  if (operation == 1) ok = store->Write(path, section, key, value);
  if (operation == 2) ok = store->DeleteKey(path, section, key);
  if (operation == 3) ok = store->DeleteSection(path, section);
  FUZZ_CHECK(ok, "a change of a writable file failed: " + what());
  const std::optional<std::string> written = memory_files::Get(path);
  FUZZ_CHECK(written.has_value(), "the file is missing after a change: " + what());
  FUZZ_CHECK(memory_files::Count() == 1, "a change left another file behind: " + what());
  const std::string& after = *written;

  if (operation == 1) {
    CheckSet(before, after, utf16, what);
    if (ReadsBack(section, key, value, utf16))
      FUZZ_CHECK(store->Read(path, section, key, kLargeBuffer) == value,
                 "the written value does not read back: " + what() + " after " + Escaped(after.substr(0, 4096)));
  } else if (missing) {
    FUZZ_CHECK(after.empty(), "a delete in a missing file wrote something: " + what());
  } else if (!utf16) {
    const auto whatAfter = [&] { return what() + " after " + Escaped(after.substr(0, 4096)); };
    if (operation == 2) CheckDeleteKey(before, after, whatAfter);
    if (operation == 3) CheckDeleteSection(before, after, whatAfter);
  } else {
    FUZZ_CHECK(after.size() <= before.size(), "a delete made a UTF-16 file longer: " + what());
  }
  return 0;
}
