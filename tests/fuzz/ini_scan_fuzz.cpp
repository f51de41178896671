// The control's line scans (SectionExists, KeyInSection, LineHasEquals, IsSectionLine)
// on arbitrary bytes, checked against a plain reference that splits the whole file
// into lines at CR LF and lone CR.
//
// Input: flags, padding length (2 bytes), padding position (2 bytes), padding byte,
// section NUL key NUL file bytes. The flags' top five bits, when not all zero, choose
// a scan window of 8 to 248 bytes (at least a 32nd of the file), so that lines
// straddle the window's end in small files. With flag 1, in one input of 256
// (fuzz_support::WantsPadding), the padding (up to 64 KiB, 60,000 more with flag 2) is
// inserted into the file, so that UTF-16 text straddles the 64 KiB pieces it is
// converted in. With flag 4 the file is scanned again stored as UTF-16LE.
//
// The scans take a file name: the file is one of the target's files in memory.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "memory_files.h"
#include "profilectl/ini_scan.h"
#include "profilectl/utf16le.h"
#include "text/codepage.h"

namespace {

using fuzz_support::Escaped;
using profilectl::inimd::IsSectionLine;
using profilectl::inimd::KeyInSection;
using profilectl::inimd::LineHasEquals;
using profilectl::inimd::SectionExists;

// Lines end at CR LF or a lone CR; an LF alone belongs to the line.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') continue;
    lines.push_back(text.substr(start, i - start));
    if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

bool ReferenceIsSectionLine(std::string_view line) {
  if (line.empty() || line.front() != '[') return false;
  bool lastIsBracket = false;
  for (std::size_t i = 0; i < line.size();) {
    if (text::IsLeadByte(static_cast<unsigned char>(line[i]))) {
      lastIsBracket = false;
      i += 2;
    } else {
      lastIsBracket = line[i] == ']';
      i += 1;
    }
  }
  return lastIsBracket;
}

bool ReferenceSectionExists(const std::vector<std::string_view>& lines, const std::string& header) {
  for (std::string_view line : lines)
    if (line == header) return true;
  return false;
}

bool ReferenceKeyInSection(const std::vector<std::string_view>& lines, const std::string& header,
                           const std::string& key) {
  std::size_t i = 0;
  while (i < lines.size() && lines[i] != header) ++i;
  if (i == lines.size()) return false;
  for (++i; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    const std::size_t equals = line.find('=');
    if (equals != std::string_view::npos) {
      std::string_view name = line.substr(0, equals);
      while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
      if (name == key) return true;
    } else if (ReferenceIsSectionLine(line)) {
      return false;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz_support::Input input(data, size);
  const std::uint8_t flags = input.Byte();
  std::size_t padCount = input.Word();
  const std::size_t padAt = input.Word();
  const char fill = static_cast<char>(input.Byte());
  const std::string sectionBytes = input.Field();
  const std::string keyBytes = input.Field();
  std::string file = input.Rest();
  if (flags & 2) padCount += 60000;
  if (fuzz_support::WantsPadding(flags, 1, data, size)) file = fuzz_support::Padded(std::move(file), padAt, padCount, fill);
  // A window of at least a 32nd of the file: its ends still cut lines, in at most about
  // 32 places, and a long input does not cost a thousand refills a scan.
  const std::size_t window =
      (flags >> 3) != 0 ? std::max<std::size_t>((flags >> 3) * 8u, file.size() / 32) : profilectl::inimd::kScanWindow;
  // The byte reference below is for ANSI files; one that starts with the UTF-16LE mark
  // is read as UTF-16 text (checked at the end, on the same text stored so).
  if (file.starts_with(profilectl::kUtf16LeMark)) file.insert(0, 1, ';');

  const std::u16string section = text::FromAnsi(sectionBytes);
  const std::u16string key = text::FromAnsi(keyBytes);
  const memory_files::InputFiles files;
  const std::string path = "p.ini";
  memory_files::Put(path, file);
  const std::u16string path16 = text::FromUtf8(path);

  const std::vector<std::string_view> lines = SplitLines(file);
  for (std::string_view line : lines) {
    FUZZ_CHECK(LineHasEquals(line) == (line.find('=') != std::string_view::npos), Escaped(line));
    FUZZ_CHECK(IsSectionLine(line) == ReferenceIsSectionLine(line), Escaped(line));
  }
  // Any byte string as one line, CRs included.
  FUZZ_CHECK(LineHasEquals(file) == (file.find('=') != std::string::npos), Escaped(file));
  FUZZ_CHECK(IsSectionLine(file) == ReferenceIsSectionLine(file), Escaped(file));

  const std::optional<std::string> name = text::ToAnsiExact(section);
  const std::optional<std::string> keyAnsi = text::ToAnsiExact(key);
  const std::string header = name ? "[" + *name + "]" : std::string();

  const auto exists = SectionExists(path16, section, window);
  FUZZ_CHECK(exists.has_value(), "SectionExists failed on a readable file");
  const bool expectedExists = name && ReferenceSectionExists(lines, header);
  FUZZ_CHECK(*exists == expectedExists, "SectionExists " + Escaped(header) + " in " + Escaped(file));

  const auto hasKey = KeyInSection(path16, section, key, window);
  FUZZ_CHECK(hasKey.has_value(), "KeyInSection failed on a readable file");
  const bool expectedKey = name && keyAnsi && ReferenceKeyInSection(lines, header, *keyAnsi);
  FUZZ_CHECK(*hasKey == expectedKey,
             "KeyInSection " + Escaped(header) + " " + Escaped(keyAnsi.value_or("")) + " in " + Escaped(file));

  // The section "" as the first header line of the file, when it has one, and the key
  // of the first key line after it: hits that random names would rarely make.
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!ReferenceIsSectionLine(lines[i])) continue;
    const std::string_view inner = lines[i].substr(1, lines[i].size() - 2);
    const std::u16string found = text::FromAnsi(inner);
    const auto again = text::ToAnsiExact(found);
    if (!again || *again != inner) break;
    const auto e = SectionExists(path16, found, window);
    FUZZ_CHECK(e && *e, "SectionExists misses the header " + Escaped(lines[i]));
    if (i + 1 < lines.size()) {
      const std::string_view next = lines[i + 1];
      std::string_view k = next.substr(0, next.find('='));
      while (!k.empty() && (k.back() == ' ' || k.back() == '\t')) k.remove_suffix(1);
      const std::u16string k16 = text::FromAnsi(k);
      const auto kAgain = text::ToAnsiExact(k16);
      if (kAgain && *kAgain == k) {
        const auto h = KeyInSection(path16, found, k16, window);
        FUZZ_CHECK(h.has_value(), "KeyInSection failed on a readable file");
        FUZZ_CHECK(*h == ReferenceKeyInSection(lines, std::string(lines[i]), std::string(k)),
                   "KeyInSection " + Escaped(lines[i]) + " " + Escaped(k) + " in " + Escaped(file));
      }
    }
    break;
  }

  // With flag 4, the same text stored as UTF-16LE scans alike, when the code page gives
  // it back exactly.
  const std::u16string wide = (flags & 4) ? text::FromAnsi(file) : std::u16string();
  if ((flags & 4) && text::ToAnsiExact(wide) == file) {
    memory_files::Put(path, std::string(profilectl::kUtf16LeMark) + profilectl::EncodeUtf16Le(wide));
    const auto exists16 = SectionExists(path16, section, window);
    const auto hasKey16 = KeyInSection(path16, section, key, window);
    FUZZ_CHECK(exists16 && *exists16 == *exists, "SectionExists differs in UTF-16LE: " + Escaped(file));
    FUZZ_CHECK(hasKey16 && *hasKey16 == *hasKey, "KeyInSection differs in UTF-16LE: " + Escaped(file));
  }
  return 0;
}
