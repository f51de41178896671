// Our portable profile store against kernel32's profile functions on the same files.
//
// Each case runs through both stores, each on its own copy of the file, and compares
// what they return and the bytes they leave. Where Wine's kernel32 is known to differ
// from Windows, the case carries Windows' answer instead, which our store must give,
// and says why Wine is not asked.
#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "profilectl/profile_store.h"
#include "support/files.h"
#include "support/temp_dir.h"
#include "text/codepage.h"

namespace profilectl {
namespace {

using namespace std::string_literals;

enum class Op { kRead, kWrite, kDeleteKey, kDeleteSection, kSectionNames, kKeyNames, kSectionLines };

struct Case {
  const char* what;
  std::optional<std::string> before;  // none: no file
  Op op;
  std::string section{}, key{}, value{};  // value: for kWrite
  std::size_t size = 256;             // for kRead and the lists
  std::optional<std::string> windows = std::nullopt;  // set where Wine differs: the read or the file after
};

// Sections, keys and values in Chinese, as code page 936 bytes.
const std::string kSettings = text::ToAnsi(u"设置");
const std::string kName = text::ToAnsi(u"名称");
const std::string kValue = text::ToAnsi(u"测试值");
// The file of Windows' conformance expectations for the lists.
const std::string kListed =
    "[ section1 ]\r\nname1=val1\r\nname2=\r\nname3\r\nname4=val4\r\n[section2]\r\n[section3]\r\n=val5\r\n";
const std::string kCanonical = "[a]\r\nx=1\r\ny=2\r\n[" + kSettings + "]\r\n" + kName + "=" + kValue + "\r\nz=3\r\n[c]\r\nw=4\r\n";

const Case kCases[] = {
    {"read", kCanonical, Op::kRead, "a", "y"},
    {"read, other case", kCanonical, Op::kRead, "A", "Y"},
    {"read Chinese", kCanonical, Op::kRead, kSettings, kName},
    {"read cut", kCanonical, Op::kRead, kSettings, "z", "", 1},
    {"read cut Chinese", kCanonical, Op::kRead, kSettings, kName, "", 5},
    {"read missing key", kCanonical, Op::kRead, "a", "w"},
    {"read missing section", kCanonical, Op::kRead, "b", "x"},
    {"read missing file", std::nullopt, Op::kRead, "a", "x"},
    {"read blanks", "[ s ]\r\n\tk \t= \t x y \r\n", Op::kRead, "s", "k"},
    {"read quotes", "[s]\r\nk=\" x \"\r\nj='y\"\r\n", Op::kRead, "s", "k"},
    {"read mismatched quotes", "[s]\r\nk=\" x \"\r\nj='y\"\r\n", Op::kRead, "s", "j"},
    {"read comment and inline ;", "[s]\r\n;k=1\r\nk=2 ;3\r\n", Op::kRead, "s", "k"},
    {"read first key", "[s]\r\nk=1\r\nk=2\r\n", Op::kRead, "s", "k"},
    {"read first section", "[s]\r\nj=1\r\n[t]\r\n[s]\r\nk=2\r\n", Op::kRead, "s", "k"},
    {"read lone LF and CR", "[s]\nj=1\rk=2", Op::kRead, "s", "k"},
    {"read trail ] in section", "[\x81]x]\r\nk=1\r\n", Op::kRead, "\x81]x", "k"},
    // Wine 8 reaches the key lines before the first header through the section "" and
    // does not take [] for it; on Windows those lines belong to no section and [] is the
    // section "" (D19). Only Windows' answers are checked here.
    {"read []", ";c\r\n[]\r\nk=2\r\n", Op::kRead, "", "k", "", 256, "2"},
    {"read before first header", "k=1\r\n[s]\r\n", Op::kRead, "", "k", "", 256, ""},
    {"read [] after keys before first header", "k=1\r\n[]\r\nk=2\r\nj=3\r\n", Op::kRead, "", "k", "", 256, "2"},
    {"write before first header", "k=1\r\n[s]\r\n", Op::kWrite, "", "j", "2", 256, "k=1\r\n[s]\r\n[]\r\nj=2\r\n"},
    {"read empty key name", "[s]\r\nk=1\r\n=2\r\n", Op::kRead, "s", ""},
    {"read UTF-16", "\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0\x3C\x50\r\0\n\0"s, Op::kRead, "s", "k"},
    // Wine rejects a header without ']'.
    {"read header without ]", "[s\r\nk=1\r\n", Op::kRead, "s", "k", "", 256, "1"},
    // Wine ends a section name at the last ']' of the line.
    {"read name ends at first ]", "[s]x]\r\nk=1\r\n", Op::kRead, "s", "k", "", 256, "1"},
    // Wine ignores case only in ASCII letters; Windows compares names in Unicode.
    {"read Greek, other case", "[\xA6\xC1]\r\nk=1\r\n", Op::kRead, "\xA6\xA1", "k", "", 256, "1"},
    {"read full-width, other case", "[s]\r\n\xA3\xE1=1\r\n", Op::kRead, "s", "\xA3\xC1", "", 256, "1"},
    // Wine returns size - 1 bytes too, but with a NUL in place of a lead byte whose
    // trail byte is cut off.
    {"read cut inside a character", "[s]\r\nk=" + kValue + "\r\n", Op::kRead, "s", "k", "", 4, kValue.substr(0, 3)},
    // Wine recognises the UTF-8 byte-order mark; Windows reads it as part of the first line.
    {"read UTF-8 mark", "\xEF\xBB\xBF[s]\r\nk=1\r\n", Op::kRead, "s", "k", "", 256, ""},

    {"section names", kCanonical, Op::kSectionNames},
    {"key names", kCanonical, Op::kKeyNames, kSettings},
    {"section lines", kCanonical, Op::kSectionLines, kSettings},
    {"section names, trimmed", kListed, Op::kSectionNames},
    {"section names, room to spare", kListed, Op::kSectionNames, "", "", "", 29},
    {"key names, other case", kListed, Op::kKeyNames, "SECTION1"},
    {"key names of a section without keys", kListed, Op::kKeyNames, "section2"},
    {"section lines, line without =", kListed, Op::kSectionLines, "section1"},
    {"section lines, empty name", kListed, Op::kSectionLines, "section3"},
    {"section lines cut", kListed, Op::kSectionLines, "section1", "", "", 24},
    {"section lines of a missing section", kListed, Op::kSectionLines, "section4"},
    {"section names of a missing file", std::nullopt, Op::kSectionNames},
    {"lists leave comments out", "[s]\r\n;c=1\r\n\r\nk=1\r\n;d\r\n", Op::kSectionLines, "s"},
    {"lists trim blanks", "[s]\r\n \tk \t= \t v w \r\n", Op::kSectionLines, "s"},
    {"key names, duplicates", "[s]\r\nk=1\r\nK=2\r\n", Op::kKeyNames, "s"},
    {"key names, first of two sections", "[s]\r\na=1\r\n[t]\r\n[s]\r\nb=2\r\n", Op::kKeyNames, "s"},
    {"section lines, UTF-16", "\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0\x3C\x50\r\0\n\0"s, Op::kSectionLines, "s"},
    // Wine 8 lists the lines above the first header as the section "" and does not take
    // [] for it (D19). Only Windows' answers are checked here.
    {"section names, []", "k=0\r\n[]\r\nj=1\r\n[s]\r\n", Op::kSectionNames, "", "", "", 256, "\0s\0"s},
    {"key names of \"\"", "k=0\r\n[]\r\nj=1\r\n", Op::kKeyNames, "", "", "", 256, "j\0"s},
    // A list that does not fit: the stores give the buffer up to the return value, where
    // Wine agrees with Windows (it differs only in the bytes after it, which Windows sets
    // to the closing second NUL).
    {"section names cut", kListed, Op::kSectionNames, "", "", "", 16},
    {"key names cut", kListed, Op::kKeyNames, "section1", "", "", 16},
    {"section names filling the buffer", kListed, Op::kSectionNames, "", "", "", 28},
    {"section names cut in the last", kListed, Op::kSectionNames, "", "", "", 27},

    {"replace", kCanonical, Op::kWrite, "A", "Y", "9"},
    {"replace Chinese", kCanonical, Op::kWrite, kSettings, kName, kValue + kValue},
    {"new key", kCanonical, Op::kWrite, kSettings, "n", "5"},
    {"new Chinese key", kCanonical, Op::kWrite, "c", kName, kValue},
    {"new section", kCanonical, Op::kWrite, "d", "k", "1"},
    {"new Chinese section", kCanonical, Op::kWrite, kName, kName, kValue},
    {"empty value", kCanonical, Op::kWrite, "a", "x", ""},
    {"new file", std::nullopt, Op::kWrite, kSettings, kName, kValue},
    {"UTF-16 file", "\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0\x3C\x50\r\0\n\0"s, Op::kWrite, "s", "j", kValue},
    {"delete key", kCanonical, Op::kDeleteKey, kSettings, kName},
    {"delete last key", "[s]\r\nk=1\r\n[t]\r\n", Op::kDeleteKey, "s", "k"},
    {"delete missing key", kCanonical, Op::kDeleteKey, "a", "q"},
    {"delete section", kCanonical, Op::kDeleteSection, kSettings},
    {"delete missing section", kCanonical, Op::kDeleteSection, "q"},
    // Wine rewrites the file: it drops blank lines and the spacing around '='.
    {"replace keeps the rest", "[s]\r\n\r\n k = 1\r\n", Op::kWrite, "s", "k", "2", 256, "[s]\r\n\r\n k =2\r\n"},
    // Wine puts a new key after the comments that follow the last key.
    {"new key before comment", "[s]\r\nk=1\r\n;c\r\n", Op::kWrite, "s", "j", "2", 256, "[s]\r\nk=1\r\nj=2\r\n;c\r\n"},
    // Wine strips the leading blanks of the value it writes.
    {"value as given", kCanonical, Op::kWrite, "c", "w", "  v", 256, "[a]\r\nx=1\r\ny=2\r\n[" + kSettings + "]\r\n" + kName + "=" + kValue + "\r\nz=3\r\n[c]\r\nw=  v\r\n"},
    // Wine rewrites the file and with it the comments inside the section.
    {"delete section keeps comments", "[s]\r\n;c\r\nk=1\r\n[t]\r\n", Op::kDeleteSection, "s", "", "", 256, ";c\r\n[t]\r\n"},
    // Wine does not create the file.
    {"delete in missing file", std::nullopt, Op::kDeleteKey, "s", "k", "", 256, ""},
};

std::string RunCase(ProfileStore& store, const Case& c, const std::string& file) {
  switch (c.op) {
    case Op::kRead: return store.Read(file, c.section, c.key, c.size);
    case Op::kWrite: return store.Write(file, c.section, c.key, c.value) ? "true" : "false";
    case Op::kDeleteKey: return store.DeleteKey(file, c.section, c.key) ? "true" : "false";
    case Op::kDeleteSection: return store.DeleteSection(file, c.section) ? "true" : "false";
    case Op::kSectionNames: return store.SectionNames(file, c.size);
    case Op::kKeyNames: return store.KeyNames(file, c.section, c.size);
    case Op::kSectionLines: return store.SectionLines(file, c.section, c.size);
  }
  return {};
}

class ProfileCompareTest : public ::testing::Test {
 protected:
  // The ANSI path of `name` in the test folder, with `bytes` in it when given.
  std::string File(const std::string& name, const std::optional<std::string>& bytes) {
    if (bytes) dir.Write(name, *bytes);
    return text::ToAnsi(dir.path().u16string()) + "\\" + name;
  }
  // The bytes of `name`, or "(none)" when it is missing.
  std::string Bytes(const std::string& name) { return testing_support::ReadBytes(dir.path() / name).value_or("(none)"); }

  testing_support::TempDir dir;
  std::unique_ptr<ProfileStore> ours = MakePortableProfileStore();
  std::unique_ptr<ProfileStore> kernel32 = MakeKernel32ProfileStore();
};

TEST_F(ProfileCompareTest, AgreesWithKernel32) {
  int n = 0;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    // A name per case and store: Wine keeps recently used files parsed in memory.
    const std::string oursName = "ours" + std::to_string(n) + ".ini";
    const std::string wineName = "wine" + std::to_string(n++) + ".ini";
    const std::string oursResult = RunCase(*ours, c, File(oursName, c.before));
    const std::string oursAfter = Bytes(oursName);
    if (c.windows) {
      EXPECT_EQ(c.op == Op::kWrite || c.op == Op::kDeleteKey || c.op == Op::kDeleteSection ? oursAfter : oursResult,
                *c.windows);
      continue;
    }
    const std::string wineResult = RunCase(*kernel32, c, File(wineName, c.before));
    EXPECT_EQ(oursResult, wineResult);
    EXPECT_EQ(oursAfter, Bytes(wineName));
  }
}

TEST_F(ProfileCompareTest, FailuresAgree) {
  std::filesystem::create_directory(dir.path() / "folder.ini");
  for (const std::string& name : {"missing\\p.ini"s, "folder.ini"s}) {
    SCOPED_TRACE(name);
    const std::string file = File(name, std::nullopt);
    EXPECT_FALSE(ours->Write(file, "s", "k", "1"));
    EXPECT_FALSE(kernel32->Write(file, "s", "k", "1"));
    EXPECT_EQ(ours->Read(file, "s", "k", 64), kernel32->Read(file, "s", "k", 64));
  }
}

TEST_F(ProfileCompareTest, ChineseFileName) {
  std::filesystem::create_directory(dir.path() / "a");
  std::filesystem::create_directory(dir.path() / "b");
  const std::string name = text::ToAnsi(u"中文.ini");
  const std::string base = text::ToAnsi(dir.path().u16string());
  ASSERT_TRUE(ours->Write(base + "\\a\\" + name, kSettings, kName, kValue));
  ASSERT_TRUE(kernel32->Write(base + "\\b\\" + name, kSettings, kName, kValue));
  EXPECT_EQ(kernel32->Read(base + "\\a\\" + name, kSettings, kName, 64), kValue);
  EXPECT_EQ(ours->Read(base + "\\b\\" + name, kSettings, kName, 64), kValue);
}

}  // namespace
}  // namespace profilectl
