// The portable profile store: GetPrivateProfileStringA and WritePrivateProfileStringA
// as Windows behaves, on top of the file layer.
//
// Reads stream the file through a small buffer and stop as soon as the answer is known;
// nothing is cached, so every call sees the file as it is on disk. Writes read the
// whole file, change only the bytes they must, and put the result in place in one step.
// A file that starts with the UTF-16LE byte-order mark is read and written as UTF-16;
// the ANSI arguments and results are converted at the boundary.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fileio/file_io.h"
#include "profilectl/profile_blanks.h"
#include "profilectl/profile_portable_scanner.h"
#include "profilectl/profile_store.h"
#include "profilectl/utf16le.h"
#include "text/codepage.h"

namespace profilectl {
namespace portable {
namespace {

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c; }

// The capital of the cased letters the ANSI code page holds; other characters unchanged.
char16_t UpcaseName(char16_t c) {
  if (c >= u'a' && c <= u'z') return c - (u'a' - u'A');
  if (c == u'\u03C2') return u'\u03A3';                       // final sigma
  if (c >= u'\u03B1' && c <= u'\u03C9') return c - 0x20;      // Greek
  if (c >= u'\u0430' && c <= u'\u044F') return c - 0x20;      // Cyrillic
  if (c >= u'\u0450' && c <= u'\u045F') return c - 0x50;      // Cyrillic with marks (ё)
  if (c >= u'\u2170' && c <= u'\u217F') return c - 0x10;      // small Roman numerals
  if (c >= u'\uFF41' && c <= u'\uFF5A') return c - 0x20;      // full-width Latin
  return c;
}

// The character of a double-byte pair, or 0 when the pair is not a valid character.
char16_t DecodePair(std::string_view pair) {
  const std::u16string decoded = text::FromAnsi(pair);
  return decoded.size() == 1 && decoded[0] != u'?' ? decoded[0] : u'\0';
}


// The length of the beginning that `a` and `b` share while it holds only ASCII (so that
// no double-byte character starts in it), eight bytes at a time: names that differ
// mostly differ after a shared beginning ("section12", "section13").
std::size_t SharedAsciiPrefix(std::string_view a, std::string_view b) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080u;
  std::size_t i = 0;
  for (; i + 8 <= a.size(); i += 8) {
    std::uint64_t x, y;
    std::memcpy(&x, a.data() + i, 8);
    std::memcpy(&y, b.data() + i, 8);
    if (x == y && (x & kHighBits) == 0) continue;
    if (x == y || std::endian::native != std::endian::little) return i;
    // The bytes before the first difference, if all of them are ASCII.
    const int same = std::countr_zero(x ^ y) / 8;
    const std::uint64_t before = same == 0 ? 0 : ~std::uint64_t{0} >> (64 - 8 * same);
    return (x & kHighBits & before) == 0 ? i + static_cast<std::size_t>(same) : i;
  }
  return i;
}

}  // namespace

bool NamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = SharedAsciiPrefix(a, b); i < a.size();) {
    const bool pair = IsLeadUnit(a[i]) && i + 1 < a.size();
    if (!pair) {
      if (a[i] != b[i] && AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
      i += 1;
      continue;
    }
    const std::string_view left = a.substr(i, 2);
    const std::string_view right = b.substr(i, 2);
    if (left != right) {
      if (!IsLeadUnit(b[i])) return false;
      const char16_t x = DecodePair(left);
      const char16_t y = DecodePair(right);
      if (x == u'\0' || y == u'\0' || UpcaseName(x) != UpcaseName(y)) return false;
    }
    i += 2;
  }
  return true;
}

bool NamesEqual(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && UpcaseName(a[i]) != UpcaseName(b[i])) return false;
  }
  return true;
}

}  // namespace portable

namespace {

using portable::KeyLine;
using portable::LineExtent;
using portable::ProfileScanner;
using portable::ScanMode;
using portable::SectionListener;
using portable::TrimmedText;

// Reads a file in pieces through one buffer. The first piece is small, so that a key
// near the top of a large file costs little, and so is the buffer until a second piece
// is wanted; the others are 256 KiB, few enough calls that reading a large file costs
// little more than copying it (1 MiB pieces listed a 64 MiB file no faster, in 700 KiB
// more memory). The pieces land on the buffer's start, on a page boundary
// (fileio::ReadBuffer).
class PieceReader {
 public:
  static constexpr std::size_t kFirstPiece = 4 * 1024;
  static constexpr std::size_t kPiece = 256 * 1024;

  explicit PieceReader(fileio::Reader& reader) : reader_(reader), buffer_(kFirstPiece) {}

  // The next piece: full size (an even number of bytes) except at the end of the file,
  // empty at the end or after a read error. Valid until the next call.
  std::string_view Next() {
    if (ended_) return {};
    const std::size_t want = first_ ? kFirstPiece : kPiece;
    if (!first_ && !grown_) {
      buffer_ = fileio::ReadBuffer(kPiece);
      grown_ = true;
    }
    first_ = false;
    std::size_t got = 0;
    while (got < want) {
      auto n = reader_.Read(buffer_.get() + got, want - got);
      if (!n) {
        failed_ = true;
        return {};
      }
      if (*n == 0) break;
      got += *n;
    }
    ended_ = got < want;
    return {buffer_.get(), got};
  }

  bool Failed() const { return failed_; }

 private:
  fileio::Reader& reader_;
  fileio::ReadBuffer buffer_;
  bool first_ = true;
  bool grown_ = false;
  bool ended_ = false;  // a piece came short: the file ends there
  bool failed_ = false;
};

// A value as the reader returns it: a matching pair of quotes around it is removed.
template <class Unit>
std::basic_string_view<Unit> Unquoted(const TrimmedText<Unit>& value) {
  const std::basic_string_view<Unit> kept = value.Kept();
  const std::size_t length = value.Length();
  const bool quoted =
      length >= 2 && (kept[0] == Unit('"') || kept[0] == Unit('\'')) && value.Last() == kept[0];
  if (!quoted) return kept;
  return kept.substr(1, std::min(kept.size(), length - 1) - 1);
}

// Keeps the value of the first line of the key looked for, and ends the scan there.
template <class Unit>
class ValueFinder final : public SectionListener<Unit> {
 public:
  bool OnSection(const LineExtent&) override { return true; }
  bool OnKey(const KeyLine& key, const TrimmedText<Unit>& value) override {
    if (!key.matches) return true;
    found_ = Unquoted(value);
    return false;
  }
  const std::basic_string<Unit>& Found() const { return found_; }

 private:
  std::basic_string<Unit> found_;
};

// Feeds the pieces from `piece` on to the scanner, until it needs no more or the file
// ends. False after a read error.
template <class Unit>
bool ScanPieces(PieceReader& pieces, std::string_view piece, ProfileScanner<Unit>& scanner) {
  for (; !piece.empty(); piece = pieces.Next()) {
    bool more;
    if constexpr (sizeof(Unit) == 1) {
      more = scanner.Feed(piece.data(), piece.size());
    } else {
      const std::u16string units = DecodeUtf16Le(piece);
      more = scanner.Feed(units.data(), units.size());
    }
    if (!more) break;
  }
  if (pieces.Failed()) return false;
  scanner.Finish();
  return true;
}

// Scans the pieces from `piece` on; the value found, cut to `limit` units.
template <class Unit>
std::basic_string<Unit> FindValue(PieceReader& pieces, std::string_view piece, std::basic_string_view<Unit> section,
                                  std::basic_string_view<Unit> key, std::size_t limit) {
  ValueFinder<Unit> finder;
  ProfileScanner<Unit> scanner(section, true, key, limit + 1, finder);
  if (!ScanPieces(pieces, piece, scanner)) return {};
  return finder.Found().substr(0, limit);
}

// A list as the list functions fill a buffer of `size` bytes.
class ListBuffer final : public ListVisitor {
 public:
  explicit ListBuffer(std::size_t size) : size_(size) {}

  // Adds an entry; false once the buffer is full. An entry goes in whole only when it
  // leaves more than the two closing NULs' room; otherwise as much of it as leaves that
  // room, and the list ends there.
  bool Entry(std::string_view entry) override {
    if (full_) return false;
    if (size_ >= 2 && text_.size() + entry.size() + 1 < size_ - 1) {
      text_.append(entry).push_back('\0');
      return true;
    }
    if (size_ >= 2) text_.append(entry.substr(0, size_ - 2 - text_.size()));
    full_ = true;
    return false;
  }

  std::string Take() { return std::move(text_); }

 private:
  const std::size_t size_;
  std::string text_;
  bool full_ = false;
};

// Hands what a listing scan meets to a ListVisitor, entry by entry, in the ANSI code
// page.
template <class Unit>
class ListForwarder final : public SectionListener<Unit> {
 public:
  ListForwarder(ScanMode mode, ListVisitor& visitor) : mode_(mode), visitor_(visitor) {}

  bool OnSection(const LineExtent&) override {
    sectionFound = true;
    return true;
  }
  bool OnKey(const KeyLine&, const TrimmedText<Unit>&) override { return true; }
  bool OnSectionName(const TrimmedText<Unit>& name) override { return Forward(name.Kept()); }
  bool OnEntry(const TrimmedText<Unit>& name, bool hasEquals, const TrimmedText<Unit>& value) override {
    if (mode_ == ScanMode::kKeyNames || !hasEquals) return Forward(name.Kept());
    entry_.assign(name.Kept()).push_back(Unit('='));
    entry_.append(value.Kept());
    return Forward(entry_);
  }

  bool sectionFound = false;

 private:
  bool Forward(std::basic_string_view<Unit> entry) {
    if constexpr (sizeof(Unit) == 1) {
      return visitor_.Entry(entry);
    } else {
      return visitor_.Entry(text::ToAnsi(entry));
    }
  }

  const ScanMode mode_;
  ListVisitor& visitor_;
  std::basic_string<Unit> entry_;
};

// Ends the scan at the section's header.
template <class Unit>
class SectionFinder final : public SectionListener<Unit> {
 public:
  bool OnSection(const LineExtent&) override {
    found = true;
    return false;
  }
  bool OnKey(const KeyLine&, const TrimmedText<Unit>&) override { return false; }
  bool found = false;
};

// What a write learns about the section it changes.
template <class Unit>
class SectionMap final : public SectionListener<Unit> {
 public:
  explicit SectionMap(bool keepKeyLines) : keepKeyLines_(keepKeyLines) {}

  bool OnSection(const LineExtent& header) override {
    this->header = header;
    return true;
  }
  bool OnKey(const KeyLine& key, const TrimmedText<Unit>&) override {
    if (key.matches) {
      match = key;
      return false;
    }
    lastKeyLine = key.line;
    if (keepKeyLines_) keyLines.push_back(key.line);
    return true;
  }

  std::optional<LineExtent> header;       // none when the section is missing
  std::optional<LineExtent> lastKeyLine;  // before the match, if any
  std::optional<KeyLine> match;
  std::vector<LineExtent> keyLines;  // with keepKeyLines

 private:
  const bool keepKeyLines_;
};

enum class Change { kSet, kDeleteKey, kDeleteSection };

template <class Unit>
struct Request {
  Change change;
  std::basic_string<Unit> section;
  std::basic_string<Unit> key;
  std::basic_string<Unit> value;
};

// `text` with the lines of `removed` (in order) taken out.
template <class Unit>
std::basic_string<Unit> WithoutLines(const std::basic_string<Unit>& text, const std::vector<LineExtent>& removed) {
  std::basic_string<Unit> result;
  result.reserve(text.size());
  std::size_t at = 0;
  for (const LineExtent& line : removed) {
    result.append(text, at, line.start - at);
    at = line.end;
  }
  result.append(text, at);
  return result;
}

// The text after the change, or nothing when the change leaves it as it is.
template <class Unit>
std::optional<std::basic_string<Unit>> EditText(std::basic_string<Unit> text, const Request<Unit>& request) {
  using String = std::basic_string<Unit>;
  const String lineBreak = {Unit('\r'), Unit('\n')};

  SectionMap<Unit> map(request.change == Change::kDeleteSection);
  ProfileScanner<Unit> scanner(request.section, request.change != Change::kDeleteSection, request.key, 0, map);
  scanner.Feed(text.data(), text.size());
  scanner.Finish();

  switch (request.change) {
    case Change::kSet: {
      if (map.match) {
        const std::size_t valueStart = map.match->valueStart;
        text.replace(valueStart, map.match->line.contentEnd - valueStart, request.value);
        return text;
      }
      String keyLine = request.key + Unit('=') + request.value + lineBreak;
      if (map.header) {
        // Directly after the last key line of the section, or after its header.
        const LineExtent& after = map.lastKeyLine ? *map.lastKeyLine : *map.header;
        if (!after.HasLineBreak()) keyLine.insert(0, lineBreak);
        text.insert(after.end, keyLine);
        return text;
      }
      if (!text.empty() && !portable::IsLineBreak(text.back())) text += lineBreak;
      return text + Unit('[') + request.section + Unit(']') + lineBreak + keyLine;
    }
    case Change::kDeleteKey:
      if (!map.match) return std::nullopt;
      return WithoutLines(text, {map.match->line});
    case Change::kDeleteSection: {
      if (!map.header) return std::nullopt;
      std::vector<LineExtent> removed = map.keyLines;
      removed.insert(removed.begin(), *map.header);
      return WithoutLines(text, removed);
    }
  }
  return std::nullopt;
}

// The file's new content, or nothing when it stays as it is.
std::optional<std::string> EditFile(std::string content, Change change, std::string_view section,
                                    std::string_view key, std::string_view value) {
  if (!content.starts_with(kUtf16LeMark)) {
    return EditText<char>(std::move(content), {change, std::string(section), std::string(key), std::string(value)});
  }
  const std::string_view body = std::string_view(content).substr(kUtf16LeMark.size());
  auto edited = EditText<char16_t>(
      DecodeUtf16Le(body), {change, text::FromAnsi(section), text::FromAnsi(key), text::FromAnsi(value)});
  if (!edited) return std::nullopt;
  // A stray last byte of an odd-sized file stays where it was.
  const std::string_view strayByte = body.substr(body.size() / 2 * 2);
  return std::string(kUtf16LeMark) + EncodeUtf16Le(*edited) + std::string(strayByte);
}

class PortableProfileStore final : public ProfileStore {
 public:
  std::string Read(const std::string& file, const std::string& section, const std::string& key,
                   std::size_t size) override {
    if (size == 0) return {};
    auto reader = fileio::Reader::Open(text::FromAnsi(file));
    if (!reader) return {};
    PieceReader pieces(*reader);
    const std::string_view first = pieces.Next();
    const std::size_t limit = size - 1;
    if (!first.starts_with(kUtf16LeMark)) {
      return FindValue<char>(pieces, first, TrimSpaces(section), TrimSpaces(key), limit);
    }
    const std::u16string section16 = text::FromAnsi(TrimSpaces(section));
    const std::u16string key16 = text::FromAnsi(TrimSpaces(key));
    // limit units hold at least limit bytes once converted.
    const std::u16string value = FindValue<char16_t>(pieces, first.substr(kUtf16LeMark.size()), section16, key16, limit);
    return text::ToAnsi(value).substr(0, limit);
  }

  bool Write(const std::string& file, const std::string& section, const std::string& key,
             const std::string& value) override {
    return Apply(file, Change::kSet, section, key, value);
  }

  bool DeleteKey(const std::string& file, const std::string& section, const std::string& key) override {
    return Apply(file, Change::kDeleteKey, section, key, {});
  }

  bool DeleteSection(const std::string& file, const std::string& section) override {
    return Apply(file, Change::kDeleteSection, section, {}, {});
  }

  std::string SectionNames(const std::string& file, std::size_t size) override {
    return List(file, ScanMode::kSectionNames, {}, size);
  }

  std::string KeyNames(const std::string& file, const std::string& section, std::size_t size) override {
    return List(file, ScanMode::kKeyNames, section, size);
  }

  std::string SectionLines(const std::string& file, const std::string& section, std::size_t size) override {
    return List(file, ScanMode::kEntries, section, size);
  }

  bool VisitSectionNames(const std::string& file, ListVisitor& visitor) override {
    return Scan(file, ScanMode::kSectionNames, {}, visitor).read;
  }

  bool VisitKeyNames(const std::string& file, const std::string& section, ListVisitor& visitor) override {
    const ListScan scan = Scan(file, ScanMode::kKeyNames, section, visitor);
    return scan.read && scan.sectionFound;
  }

  bool VisitSectionLines(const std::string& file, const std::string& section, ListVisitor& visitor) override {
    const ListScan scan = Scan(file, ScanMode::kEntries, section, visitor);
    return scan.read && scan.sectionFound;
  }

  bool HasSection(const std::string& file, const std::string& section) override {
    auto reader = fileio::Reader::Open(text::FromAnsi(file));
    if (!reader) return false;
    PieceReader pieces(*reader);
    const std::string_view first = pieces.Next();
    if (!first.starts_with(kUtf16LeMark)) {
      SectionFinder<char> finder;
      ProfileScanner<char> scanner(TrimSpaces(section), false, {}, 0, finder);
      return ScanPieces(pieces, first, scanner) && finder.found;
    }
    const std::u16string section16 = text::FromAnsi(TrimSpaces(section));
    SectionFinder<char16_t> finder;
    ProfileScanner<char16_t> scanner(section16, false, {}, 0, finder);
    return ScanPieces(pieces, first.substr(kUtf16LeMark.size()), scanner) && finder.found;
  }

 private:
  struct ListScan {
    bool read = false;          // the file was opened and read to where the list ends
    bool sectionFound = false;  // the section's header was met
  };

  // One scan of the file for a list, its entries handed to `visitor` as they are met.
  static ListScan Scan(const std::string& file, ScanMode mode, std::string_view section, ListVisitor& visitor) {
    auto reader = fileio::Reader::Open(text::FromAnsi(file));
    if (!reader) return {};
    PieceReader pieces(*reader);
    const std::string_view first = pieces.Next();
    if (!first.starts_with(kUtf16LeMark)) {
      ListForwarder<char> forwarder(mode, visitor);
      ProfileScanner<char> scanner(mode, TrimSpaces(section), forwarder);
      const bool read = ScanPieces(pieces, first, scanner);
      return {read, forwarder.sectionFound};
    }
    const std::u16string section16 = text::FromAnsi(TrimSpaces(section));
    ListForwarder<char16_t> forwarder(mode, visitor);
    ProfileScanner<char16_t> scanner(mode, section16, forwarder);
    const bool read = ScanPieces(pieces, first.substr(kUtf16LeMark.size()), scanner);
    return {read, forwarder.sectionFound};
  }

  static std::string List(const std::string& file, ScanMode mode, std::string_view section, std::size_t size) {
    if (size == 0) return {};
    ListBuffer list(size);
    return Scan(file, mode, section, list).read ? list.Take() : std::string();
  }

  static bool Apply(const std::string& file, Change change, std::string_view section, std::string_view key,
                     std::string_view value) {
    const fileio::Path path = text::FromAnsi(file);
    auto content = fileio::ReadAll(path);
    if (!content) {
      if (content.error() != fileio::Error::kNotFound) return false;
      // A delete in a missing file leaves an empty file; a write creates it.
      if (change != Change::kSet) return fileio::CreateIfMissing(path).has_value();
      content = std::string();
    }
    const std::optional<std::string> edited =
        EditFile(std::move(*content), change, TrimSpaces(section), TrimSpaces(key), value);
    if (!edited) return true;
    return fileio::ReplaceContent(path, *edited).has_value();
  }
};

}  // namespace

std::unique_ptr<ProfileStore> MakePortableProfileStore() { return std::make_unique<PortableProfileStore>(); }

#ifndef _WIN32
std::unique_ptr<ProfileStore> MakeSystemProfileStore() { return MakePortableProfileStore(); }
#endif

}  // namespace profilectl
