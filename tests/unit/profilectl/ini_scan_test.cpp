#include "profilectl/ini_scan.h"

#include <gtest/gtest.h>

#include "profilectl/utf16le.h"
#include "support/temp_dir.h"
#include "text/codepage.h"

namespace {

using namespace profilectl;
using namespace profilectl::inimd;
using testing_support::TempDir;

fileio::Path PathOf(const std::string& utf8) { return text::FromUtf8(utf8); }

// A character of code page 936 whose trail byte is "]" (0x5D).
const std::string kTrailBracket = "\x81\x5D";

TEST(LineTests, EqualsAnywhereMakesAKeyLine) {
  const std::pair<const char*, bool> cases[] = {{"a=b", true}, {"=", true}, {"[a=b]", true}, {"[a]", false}, {"", false}};
  for (const auto& [line, key] : cases) EXPECT_EQ(LineHasEquals(line), key) << line;
}

TEST(LineTests, SectionLineStartsWithOpeningAndEndsWithClosingBracket) {
  const std::pair<std::string, bool> cases[] = {
      {"[a]", true}, {"[]", true}, {"[a=b]", true}, {"[", false}, {"]", false}, {" [a]", false}, {"[a] ", false},
      {"", false},   {"[" + text::ToAnsi(u"扇区") + "]", true},
      {"[a" + kTrailBracket, false},  // the last byte is half of a character
  };
  for (const auto& [line, section] : cases) EXPECT_EQ(IsSectionLine(line), section) << line;
}

// The scans read the file through a window of this size.
constexpr std::size_t kWindow = 1024 * 1024;

class ScanTest : public testing::Test {
 protected:
  fileio::Path Write(std::string_view bytes) { return PathOf(dir_.Write("t.ini", bytes)); }
  TempDir dir_;
};

TEST_F(ScanTest, MissingFileAndBadPathsFailWithTheFileSystemError) {
  const auto missing = SectionExists(PathOf(dir_.File("none.ini")), u"a");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().Number(), 53);
  EXPECT_EQ(KeyInSection(PathOf(dir_.File("none.ini")), u"a", u"k").error().Number(), 53);
  EXPECT_EQ(SectionExists(PathOf(dir_.File("no/such/t.ini")), u"a").error().Number(), 76);
  EXPECT_EQ(SectionExists(PathOf(dir_.path().string()), u"a").error().Number(), 75);
  EXPECT_EQ(SectionExists(u"", u"a").error().Number(), 52);
}

TEST_F(ScanTest, SectionHeaderMustMatchTheWholeLineExactly) {
  struct Case {
    const char* content;
    bool found;
  } cases[] = {
      {"", false},
      {"[Main]", true},
      {"[Main]\r\n", true},
      {"x=1\r\n[Main]\r\ny=2\r\n", true},
      {"x=1\r[Main]\ry=2", true},            // lone CR ends a line
      {"[Main] \r\n", false},                // nothing is trimmed
      {" [Main]\r\n", false},
      {"[main]\r\n", false},                 // case-sensitive
      {"x\n[Main]\r\n", false},              // a lone LF does not end a line
      {"[Main]\nx=1\r\n", false},
      {"[Main]\r\n\n", true},
      {"[Mainx]\r\n[Mai]\r\n", false},
      {"a[Main]\r\n", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SectionExists(Write(c.content), u"Main"), c.found) << "content: " << c.content;
  }
}

TEST_F(ScanTest, SectionNameWithALineBreakIsNeverFound) {
  // The bytes of "[a\rb]" stand in the file, but on two lines.
  const auto file = Write("[a\rb]\r\nk=1\r\n");
  EXPECT_EQ(SectionExists(file, u"a\rb"), false);
  EXPECT_EQ(KeyInSection(file, u"a\rb", u"k"), false);
  EXPECT_EQ(SectionExists(file, u"a"), false);
  EXPECT_EQ(SectionExists(Write("[a\nb]\r\n"), u"a\nb"), true) << "a lone LF belongs to the line";
}

TEST_F(ScanTest, KeyStartingWithALineFeedIsLookedForAfterTheWholeLineBreak) {
  // The LF of the header's CR LF starts no line: the key line is the next one.
  EXPECT_EQ(KeyInSection(Write("[s]\r\n\n=1\r\n"), u"s", u"\n"), true);
  EXPECT_EQ(KeyInSection(Write("[s]\r\n\nk=1\r\n"), u"s", u"\nk"), true);
  EXPECT_EQ(KeyInSection(Write("[s]\r\n=1\r\n"), u"s", u"\n"), false);
}

// Headers and keys that share their length, first and last bytes with the name looked
// for, many to a window: only the name itself counts, wherever it stands among them.
TEST_F(ScanTest, NamesOfTheSameShapeAreToldApart) {
  std::string file;
  for (int s = 100; s < 300; ++s) {
    const std::string n = std::to_string(s);
    file += "[s" + n + "]\r\nk" + n + "=1\r\nk" + n + "x=2\r\n";
  }
  const auto path = Write(file);
  EXPECT_EQ(SectionExists(path, u"s250"), true);
  EXPECT_EQ(SectionExists(path, u"s350"), false);
  EXPECT_EQ(SectionExists(path, u"s25"), false);
  EXPECT_EQ(KeyInSection(path, u"s250", u"k250"), true);
  EXPECT_EQ(KeyInSection(path, u"s250", u"k250x"), true);
  EXPECT_EQ(KeyInSection(path, u"s250", u"k240"), false);
  EXPECT_EQ(KeyInSection(path, u"s250", u"k260x"), false);
}

TEST_F(ScanTest, ChineseSectionNamesAreFound) {
  const auto file = Write("[" + text::ToAnsi(u"配置") + "]\r\n");
  EXPECT_EQ(SectionExists(file, u"配置"), true);
  EXPECT_EQ(SectionExists(file, u"配"), false);
  EXPECT_EQ(SectionExists(file, u"\u0E01"), false) << "a name outside the code page is never in the file";
}

TEST_F(ScanTest, HeaderIsFoundAcrossBufferBoundariesAndAfterHugeLines) {
  // Lines far longer than the read buffer, and a header at every offset around the
  // buffer's edges.
  const std::string huge(200 * 1024, 'x');
  EXPECT_EQ(SectionExists(Write(huge + "\r\n[Main]\r\n"), u"Main"), true);
  EXPECT_EQ(SectionExists(Write(huge + "[Main]\r\n"), u"Main"), false);
  for (std::size_t pad = kWindow - 12; pad < kWindow + 4; ++pad) {
    const std::string filler = std::string(pad, 'y') + "\r\n";
    EXPECT_EQ(SectionExists(Write(filler + "[Main]\r\nk=1\r\n"), u"Main"), true) << pad;
    EXPECT_EQ(SectionExists(Write(filler + "[Main]x\r\n"), u"Main"), false) << pad;
    EXPECT_EQ(KeyInSection(Write(filler + "[Main]\r\nk=1\r\n"), u"Main", u"k"), true) << pad;
    EXPECT_EQ(SectionExists(Write(std::string(pad, 'y') + "\r[Main]"), u"Main"), true) << pad;
    EXPECT_EQ(SectionExists(Write(std::string(pad, 'y') + "\n[Main]"), u"Main"), false) << pad;
    EXPECT_EQ(KeyInSection(Write("[Main]\r\n" + filler + "key=1\r\n"), u"Main", u"key"), true) << pad;
    EXPECT_EQ(KeyInSection(Write("[Main]\r\n" + std::string(pad, 'y') + "\nkey=1\r\n"), u"Main", u"key"), false)
        << pad;
  }
}

TEST_F(ScanTest, KeyAndSectionEndAreFoundAcrossTheWindowEdge) {
  // The key's line, the lines that end the section or only look like the key's, and the
  // line breaks before them, on every offset around the edge of the first window.
  for (std::size_t pad = kWindow - 14; pad < kWindow + 2; ++pad) {
    const std::string filler = "[Main]\r\n" + std::string(pad - 10, 'y');
    EXPECT_EQ(KeyInSection(Write(filler + "\r\nkey=1\r\n"), u"Main", u"key"), true) << pad;
    EXPECT_EQ(KeyInSection(Write(filler + "\rkey =1"), u"Main", u"key"), true) << pad;
    EXPECT_EQ(KeyInSection(Write(filler + "\r\nkeys=1\r\nkey\r\nkey=1\r\n"), u"Main", u"key"), true) << pad;
    EXPECT_EQ(KeyInSection(Write(filler + "\r\nkeys=1\r\n"), u"Main", u"key"), false) << pad;
    EXPECT_EQ(KeyInSection(Write(filler + "\r\n[Next]\r\nkey=1\r\n"), u"Main", u"key"), false) << pad;
    EXPECT_EQ(KeyInSection(Write(filler + "\r\n[a=b]\r\nkey=1\r\n"), u"Main", u"key"), true) << pad;
    EXPECT_EQ(KeyInSection(Write(filler + "\nkey=1\r\n"), u"Main", u"key"), false) << pad;
    EXPECT_EQ(KeyInSection(Write(filler + "key=1\r\n"), u"Main", u"key"), false) << pad;
  }
}

TEST_F(ScanTest, KeyMatchesTheTextBeforeTheFirstEqualsSign) {
  struct Case {
    const char* line;
    bool found;
  } cases[] = {
      {"Name=1", true},     {"Name =1", true},   {"Name\t =1", true}, {"Name=", true},
      {"Name=a=b", true},   {"Name2=1", false},  {"Nam=1", false},    {" Name=1", false},
      {"name=1", false},    {";Name=1", false},  {"Name", false},     {"Name x=1", false},
      {"x=Name=1", false},  {"NameName=1", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(KeyInSection(Write(std::string("[s]\r\n") + c.line + "\r\n"), u"s", u"Name"), c.found)
        << "line: " << c.line;
  }
}

TEST_F(ScanTest, KeyMatchingEdgeKeys) {
  const auto file = Write("[s]\r\n; comment\r\n  =x\r\nk=1\r\n");
  EXPECT_EQ(KeyInSection(file, u"s", u""), true) << "an empty key is the blank text before '='";
  EXPECT_EQ(KeyInSection(file, u"s", u"k "), false) << "trailing blanks of a line never match a key's";
  const auto chinese = Write("[" + text::ToAnsi(u"扇区") + "]\r\n" + text::ToAnsi(u"键值") + " =1\r\n");
  EXPECT_EQ(KeyInSection(chinese, u"扇区", u"键值"), true);
  EXPECT_EQ(KeyInSection(chinese, u"扇区", u"键"), false);
}

TEST_F(ScanTest, SectionRunsUntilTheNextSectionLineWithoutEquals) {
  struct Case {
    const char* content;
    bool found;
  } cases[] = {
      {"k=0\r\n[s]\r\n", false},                      // before any header, and header last
      {"[s]\r\n\r\n; c\r\njunk\r\nk=1\r\n", true},   // blank, comment and junk lines are skipped
      {"[s]\r\n[a=b]\r\nk=1\r\n", true},              // a line with '=' never ends the section
      {"[s]\r\n[t]\r\nk=1\r\n", false},
      {"[s]\r\nx=1\r\n[s]\r\nk=1\r\n", false},        // only the first section of the name
      {"[t]\r\nk=1\r\n[s]\r\nx=1\r\n", false},
      {"[s]\rk=1", true},
      {"[s]\r\n[t]junk\r\nk=1\r\n", true},           // not a section line: does not end with ']'
      {"[s]\r\nx=[k]\r\nx=k=1\r\nk=1\r\n", true},   // brackets and the key inside values
      {"[s]\r\nx=1\nk=1\r\n", false},                // after a lone LF the key is inside a line
      {"[s]\r\nx=1\rk=1", true},
      {"[s]\r\nkk=1\r\n[t]\r\nk=1\r\n", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(KeyInSection(Write(c.content), u"s", u"k"), c.found) << "content: " << c.content;
  }
  EXPECT_EQ(KeyInSection(Write("[s]\r\n[x" + kTrailBracket + "\r\nk=1\r\n"), u"s", u"k"), true)
      << "a ']' that is half of a character does not end the section";
}

// As in the profile functions, [] is the section "" and the key lines above the first
// header belong to no section.
TEST_F(ScanTest, SectionWithTheEmptyNameIsTheOneUnderItsHeader) {
  const auto file = Write("key=val_no_section\r\n[]\r\nkey=val_e_section\r\n");
  EXPECT_EQ(SectionExists(file, u""), true);
  EXPECT_EQ(KeyInSection(file, u"", u"key"), true);
  const auto headerless = Write("key=1\r\n[s]\r\nj=2\r\n");
  EXPECT_EQ(SectionExists(headerless, u""), false);
  EXPECT_EQ(KeyInSection(headerless, u"", u"key"), false);
  EXPECT_EQ(KeyInSection(Write("j=1\r\n[]\r\nkey=2\r\n"), u"", u"j"), false);
}

// A file with the UTF-16LE byte-order mark, as the profile functions read it.
std::string Utf16File(std::u16string_view text) { return std::string(kUtf16LeMark) + EncodeUtf16Le(text); }

TEST_F(ScanTest, Utf16FilesAreScannedAsText) {
  const auto file = Write(Utf16File(u";注释\r\n[设置]\r\n名称 =1\r\n[Main]\r\n"));
  EXPECT_EQ(SectionExists(file, u"设置"), true);
  EXPECT_EQ(SectionExists(file, u"Main"), true);
  EXPECT_EQ(SectionExists(file, u"main"), false);
  EXPECT_EQ(KeyInSection(file, u"设置", u"名称"), true);
  EXPECT_EQ(KeyInSection(file, u"设置", u"名"), false);
  EXPECT_EQ(KeyInSection(file, u"Main", u"名称"), false);
  // The line rules stay those of the scans: a lone LF ends no line.
  EXPECT_EQ(SectionExists(Write(Utf16File(u"x=1\n[s]\r\n")), u"s"), false);
  EXPECT_EQ(SectionExists(Write(Utf16File(u"x=1\r[s]")), u"s"), true);
  // A stray last byte is no character.
  EXPECT_EQ(SectionExists(Write(Utf16File(u"[s]") + "x"), u"s"), true);
  EXPECT_EQ(SectionExists(Write("\xFF[s]\r\n"), u"s"), false) << "half a mark: an ANSI file";
}

TEST_F(ScanTest, Utf16CharactersOutsideTheCodePageMatchNoName) {
  // Hangul and a character beyond the BMP have no form in code page 936; they must not
  // pass for the '?' that stands in for them in a conversion.
  const auto file = Write(Utf16File(u"[한]\r\n[?]\r\n?=1\r\n[\U0001F600]\r\n"));
  EXPECT_EQ(SectionExists(file, u"한"), false);
  EXPECT_EQ(SectionExists(file, u"?"), true);
  EXPECT_EQ(KeyInSection(file, u"?", u"?"), true);
  EXPECT_EQ(SectionExists(file, u"??"), false);
  EXPECT_EQ(KeyInSection(Write(Utf16File(u"[s]\r\n한=1\r\n?=2\r\n")), u"s", u"?"), true);
  EXPECT_EQ(KeyInSection(Write(Utf16File(u"[s]\r\n한=1\r\n")), u"s", u"?"), false);
}

TEST_F(ScanTest, Utf16FilesAcrossReadPieces) {
  // Headers, surrogate pairs and CR LF pairs on every position around the edge of the
  // 64 KiB pieces the file is read in.
  for (std::size_t pad = 32760; pad < 32772; ++pad) {
    SCOPED_TRACE(pad);
    const std::u16string filler = u";" + std::u16string(pad - 4, u'数') + u"\U0001F600";
    const auto file = Write(Utf16File(filler + u"\r\n[段]\r\n键=1\r\n"));
    EXPECT_EQ(SectionExists(file, u"段"), true);
    EXPECT_EQ(KeyInSection(file, u"段", u"键"), true);
  }
}

TEST_F(ScanTest, LinesOfAnyLengthInsideTheSection) {
  const std::string longKeyLine = std::string(40000, 'x') + "=1";
  const std::string longPlainLine(100000, 'y');
  const auto file = Write("[s]\r\n" + longKeyLine + "\r\n" + longPlainLine + "\r\nk=1\r\n");
  EXPECT_EQ(KeyInSection(file, u"s", u"k"), true);
  const std::string longKey(70000, 'z');
  const auto keyFile = Write("[s]\r\n" + longKey + std::string(70000, ' ') + "=1\r\n");
  EXPECT_EQ(KeyInSection(keyFile, u"s", text::FromUtf8(longKey)), true);
  EXPECT_EQ(KeyInSection(keyFile, u"s", text::FromUtf8(longKey + "z")), false);
}

}  // namespace

// Every window size from the smallest on: lines, names and line breaks straddle the
// window's end at every offset.
TEST_F(ScanTest, SmallWindowsGiveTheSameAnswers) {
  using namespace std::string_literals;
  const std::string file = std::string(40, '\0') + "ec\0\0\r\n[sec]\r*o\nther=\x01\x03\x01\x03" "1\r\n\te\tkkyey=v\r\n;eX"s;
  const fileio::Path path = Write(file);
  for (std::size_t window = 1; window <= file.size() + 1; ++window) {
    SCOPED_TRACE(window);
    EXPECT_EQ(SectionExists(path, u"sec", window), true);
    EXPECT_EQ(KeyInSection(path, u"sec", u"*o\nther", window), true);
    EXPECT_EQ(KeyInSection(path, u"sec", u"\te\tkkyey", window), true);
    EXPECT_EQ(KeyInSection(path, u"sec", u"ther", window), false);
  }
  // A "[" inside the key, where the window's end cuts the key off.
  const std::string bracketKey = "\r\n[sec]\r*o\nk[er=1\r\n"s;
  const fileio::Path bracketPath = Write(std::string(20, '\0') + bracketKey);
  for (std::size_t window = 1; window <= 20 + bracketKey.size() + 1; ++window) {
    SCOPED_TRACE(window);
    EXPECT_EQ(KeyInSection(bracketPath, u"sec", u"*o\nk[er", window), true);
  }
}

// A header that ends a few bytes before the end of the first 1 MiB window: the bytes
// kept for the next window hold it, and they must not be taken for the line that ends
// the section.
TEST_F(ScanTest, AHeaderAtTheEndOfTheWindowDoesNotEndItsOwnSection) {
  for (std::size_t before = 1; before <= 12; ++before) {
    SCOPED_TRACE(before);
    const std::string filler = ";" + std::string(kScanWindow - before - 8, 'x') + "\r\n";
    const fileio::Path path = Write(filler + "[sec]\r\nlong-key=1\r\n");
    EXPECT_EQ(KeyInSection(path, u"sec", u"long-key"), true);
  }
}
