// The portable store's line scanner gives the same answers whatever pieces the text
// comes in: whole, unit by unit, or split anywhere. Whole pieces take the scanner's
// quick way through header lines; single units take its unit-by-unit way.
#include "profilectl/profile_portable_scanner.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace profilectl::portable {
namespace {

template <class Unit>
std::string Narrow(std::basic_string_view<Unit> text) {
  return std::string(text.begin(), text.end());
}

std::string Extent(const LineExtent& line) {
  return std::to_string(line.start) + "-" + std::to_string(line.contentEnd) + "-" + std::to_string(line.end);
}

// Writes down everything the scanner reports.
template <class Unit>
class EventLog final : public SectionListener<Unit> {
 public:
  bool OnSection(const LineExtent& header) override {
    events.push_back("section " + Extent(header));
    return true;
  }
  bool OnKey(const KeyLine& key, const TrimmedText<Unit>& value) override {
    events.push_back("key " + Extent(key.line) + " at " + std::to_string(key.valueStart) +
                     (key.matches ? " matches " + Narrow(value.Kept()) : ""));
    return !key.matches;
  }
  bool OnSectionName(const TrimmedText<Unit>& name) override {
    events.push_back("name [" + Narrow(name.Kept()) + "]");
    return true;
  }
  bool OnEntry(const TrimmedText<Unit>& name, bool hasEquals, const TrimmedText<Unit>& value) override {
    events.push_back("entry [" + Narrow(name.Kept()) + (hasEquals ? "]=[" + Narrow(value.Kept()) : "") + "]");
    return true;
  }
  std::vector<std::string> events;
};

enum class Scan { kFindKey, kSectionNames, kKeyNames, kEntries };

// The events of one scan of `text`, fed in pieces that end at the offsets of `cuts`.
template <class Unit>
std::vector<std::string> Events(const std::basic_string<Unit>& text, Scan scan, const std::vector<std::size_t>& cuts) {
  const std::basic_string<Unit> section = {Unit('s')};
  const std::basic_string<Unit> key = {Unit('k')};
  EventLog<Unit> log;
  std::unique_ptr<ProfileScanner<Unit>> scanner;
  switch (scan) {
    case Scan::kFindKey: scanner = std::make_unique<ProfileScanner<Unit>>(section, true, key, 8, log); break;
    case Scan::kSectionNames:
      scanner = std::make_unique<ProfileScanner<Unit>>(ScanMode::kSectionNames, section, log);
      break;
    case Scan::kKeyNames: scanner = std::make_unique<ProfileScanner<Unit>>(ScanMode::kKeyNames, section, log); break;
    case Scan::kEntries: scanner = std::make_unique<ProfileScanner<Unit>>(ScanMode::kEntries, section, log); break;
  }
  std::size_t at = 0;
  for (std::size_t cut : cuts) {
    if (!scanner->Feed(text.data() + at, cut - at)) break;
    at = cut;
  }
  if (at == text.size() || cuts.back() != text.size()) scanner->Feed(text.data() + at, text.size() - at);
  scanner->Finish();
  return log.events;
}

template <class Unit>
void ExpectPiecesScanAlike(const std::string& bytes) {
  const std::basic_string<Unit> text(bytes.begin(), bytes.end());
  std::vector<std::size_t> units;
  for (std::size_t i = 1; i <= text.size(); ++i) units.push_back(i);
  for (Scan scan : {Scan::kFindKey, Scan::kSectionNames, Scan::kKeyNames, Scan::kEntries}) {
    const std::vector<std::string> whole = Events(text, scan, {text.size()});
    EXPECT_EQ(Events(text, scan, units), whole) << "unit by unit, scan " << static_cast<int>(scan);
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
      EXPECT_EQ(Events(text, scan, {cut, text.size()}), whole) << "cut at " << cut << ", scan " << static_cast<int>(scan);
    }
  }
}

TEST(ProfileScanner, ScansAlikeInPiecesOfAnySize) {
  const std::string texts[] = {
      "[s]\r\nk=1\r\n[t]\r\nk=2\r\n",
      " \t[ s ]x]\r\n k = v \r\n;c\r\ntext\r\n[S]\n[s]\rk=3",
      "k=0\r\n[]\r\nk=1\r\n[s",
      "[s]\r\n[\x81]s]\r\n[\x81\r\n[\x81",  // lead bytes: a trail ']', a line break, the end
      "[s \v]\r\r\n\n[ s\t\r\nk=\r\nx[s]\r\n",
      "v=[s]\r\n  [s] tail\r\nk==\r",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    ExpectPiecesScanAlike<char>(text);
    ExpectPiecesScanAlike<char16_t>(text);
  }
}

TEST(ProfileScanner, ScansRandomTextAlikeInPiecesOfAnySize) {
  const std::string alphabet = "[[]]\r\r\n\n \t\vsSk=;x\x81\xBC";
  std::mt19937 random(20240607);
  for (int round = 0; round < 300; ++round) {
    std::string text(random() % 64, ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    SCOPED_TRACE(testing::PrintToString(text));
    ExpectPiecesScanAlike<char>(text);
  }
}

// Names compare by their characters wherever these fall in the eight-byte steps of the
// comparison's quick start: after ASCII beginnings of every length, before ASCII ends.
TEST(NamesEqual, ComparesCharactersAtEveryOffset) {
  const struct {
    std::string a, b;
    bool equal;
  } pairs[] = {
      {"a", "A", true},
      {"k", "j", false},
      {"\x81\x61", "\x81\x41", false},  // trail bytes that look like letters keep their case
      {"\xA3\xE1", "\xA3\xC1", true},   // full-width a and A
      {"\xA6\xC1", "\xA6\xA1", true},   // Greek
      {"\xA7\xD7", "\xA7\xA7", true},   // Cyrillic yo
      {"\xA3\xC1", "A ", false},
      {"\xC9\xE8", "\xC9\xE8", true},
      {"\xC9\xE8", "\xC9\xE9", false},
  };
  for (const auto& pair : pairs) {
    for (std::size_t pad = 0; pad < 18; ++pad) {
      for (const auto& [lower, upper] : {std::pair{"", ""}, std::pair{"x", "X"}, std::pair{"0123456789y", "0123456789Y"}}) {
        const std::string a = std::string(pad, 'n') + pair.a + lower;
        const std::string b = std::string(pad, 'N') + pair.b + upper;
        EXPECT_EQ(NamesEqual(a, b), pair.equal) << testing::PrintToString(a) << " " << testing::PrintToString(b);
        EXPECT_EQ(NamesEqual(b, a), pair.equal) << testing::PrintToString(b) << " " << testing::PrintToString(a);
      }
    }
  }
}

}  // namespace
}  // namespace profilectl::portable
