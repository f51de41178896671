#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "profilectl/profile_store.h"
#include "support/temp_dir.h"

namespace profilectl {
namespace {

using namespace std::string_literals;

class PortableStoreTest : public ::testing::Test {
 protected:
  std::string Put(const std::string& bytes) { return dir.Write("p.ini", bytes); }
  std::string Bytes() { return dir.Read("p.ini"); }

  testing_support::TempDir dir;
  std::unique_ptr<ProfileStore> store = MakePortableProfileStore();
};

struct ReadCase {
  const char* what;
  std::string file, section, key;
  std::string expected;
  std::size_t size = 64;
};

TEST_F(PortableStoreTest, Reads) {
  const ReadCase cases[] = {
      {"names ignore case", "[Sec]\r\nKey=v\r\n", "sEC", "kEY", "v"},
      {"blanks in the file", " \t[ \vs1\t ]\r\n\t k \v=\t x  y \v\r\n", "s1", "k", "x  y"},
      {"spaces of the arguments", "[s]\r\nk=v\r\n", "  s ", " k  ", "v"},
      {"tab in an argument", "[s]\r\nk=v\r\n", "\ts", "k", ""},
      {"quotes", "[s]\r\nk=\" a \" \r\n", "s", "k", " a "},
      {"single quotes", "[s]\r\nk='a'\r\n", "s", "k", "a"},
      {"mismatched quotes", "[s]\r\nk=\"a'\r\n", "s", "k", "\"a'"},
      {"lone quote", "[s]\r\nk=\"\r\n", "s", "k", "\""},
      {"no inline comment", "[s]\r\nk=x ;y\r\n", "s", "k", "x ;y"},
      {"comment line", "[s]\r\n  ;k=1\r\nk=2\r\n", "s", "k", "2"},
      {"hash is no comment", "[s]\r\n#k=1\r\n", "s", "#k", "1"},
      {"line without =", "[s]\r\nk\r\nk=2\r\n", "s", "k", "2"},
      {"empty name", "[s]\r\n=1\r\n", "s", " ", "1"},
      {"first key, even empty", "[s]\r\nk=\r\nk=2\r\n", "s", "k", ""},
      {"first section only", "[s]\r\na=1\r\n[S]\r\nb=2\r\n", "s", "b", ""},
      {"section ends at next header", "[s]\r\n[t]\r\nk=1\r\n", "s", "k", ""},
      {"name ends at first ]", "[s]x]\r\nk=1\r\n", "s", "k", "1"},
      {"header without ]", "[s \r\nk=1\r\n", "s", "k", "1"},
      // Key lines before the first header belong to no section; [] is the section "".
      {"[] is section \"\"", "[]\r\nk=1\r\n", "", "k", "1"},
      {"keys before the first header", "key=val_no_section\r\n[]\r\nkey=val_e_section\r\n", "", "key",
       "val_e_section"},
      {"keys before the first header, no []", "k=0\r\n[s]\r\nj=1\r\n", "", "k", ""},
      {"[ ] is section \"\" too", "k=0\r\n[ \t]\r\nk=1\r\n", "  ", "k", "1"},
      {"comments before the first header", ";x\r\n[]\r\nk=1\r\n", "", "k", "1"},
      {"[ after text is no header", "[s]\r\nv=[t]\r\nk=1\r\n", "t", "k", ""},
      {"lone CR", "[s]\rk=1\rj=2", "s", "j", "2"},
      {"lone LF", "x\n[s]\nk=1\n", "s", "k", "1"},
      {"CR LF mixed", "[t]\r\n\n\r[s]\r\r\nk=1", "s", "k", "1"},
      {"cut", "[s]\r\nk=abcdef\r\n", "s", "k", "abc", 4},
      {"quotes, then cut", "[s]\r\nk=\"abcdef\"\r\n", "s", "k", "abc", 4},
      {"size 1", "[s]\r\nk=abc\r\n", "s", "k", "", 1},
      {"size 0", "[s]\r\nk=abc\r\n", "s", "k", "", 0},
      // Code page 936: ']', '[' and letters as trail bytes.
      {"trail ]", "[\x81]x]\r\nk=1\r\n", "\x81]x", "k", "1"},
      {"trail [ at line start", "[s]\r\n\x81[u]=1\r\nk=2\r\n[u]\r\nk=3\r\n", "u", "k", "3"},
      {"trail [ in a section", "[s]\r\n\x81[u]=1\r\nk=2\r\n", "s", "k", "2"},
      {"trail letters keep case", "[s]\r\n\x81\x61=1\r\n\x81\x41=2\r\n", "s", "\x81\x41", "2"},
      {"Greek", "[\xA6\xC1]\r\nk=1\r\n", "\xA6\xA1", "k", "1"},
      {"Cyrillic yo", "[s]\r\n\xA7\xD7=1\r\n", "s", "\xA7\xA7", "1"},
      {"full-width", "[s]\r\n\xA3\xE1=1\r\n", "s", "\xA3\xC1", "1"},
      {"full-width is not ASCII", "[s]\r\n\xA3\xC1=1\r\n", "s", "A", ""},
      {"Roman numerals", "[s]\r\n\xA2\xA1=1\r\n", "s", "\xA2\xF1", "1"},
      {"Chinese", "[\xC9\xE8\xD6\xC3]\r\n\xC3\xFB=\xD6\xB5\r\n", "\xC9\xE8\xD6\xC3", "\xC3\xFB", "\xD6\xB5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(store->Read(Put(c.file), c.section, c.key, c.size), c.expected);
  }
  EXPECT_EQ(store->Read(dir.File("missing.ini"), "s", "k", 64), "");
  EXPECT_EQ(store->Read(dir.path().string(), "s", "k", 64), "");
}

// What Windows' GetPrivateProfileStringA gives on the files of its public conformance
// expectations, with CR LF and with lone CR line ends.
TEST_F(PortableStoreTest, ReadsAsWindowsConformanceExpects) {
  for (const char* end : {"\r\n", "\r"}) {
    SCOPED_TRACE(end == "\r"s ? "CR" : "CR LF");
    const std::string e = end;
    const std::string file =
        Put("[section1]" + e + "name1=val1" + e + "name2=\"val2\"" + e + "name3" + e + "name4=a" + e + "[section2]" + e);
    const struct {
      const char *section, *key;
      std::size_t size;
      const char* expected;
    } cases[] = {
        {"", "name1", 64, ""},             // no [] header: the section "" is missing
        {"notasection", "name1", 64, ""},
        {"section1", "", 64, ""},          // no line with an empty name
        {"section1", "notakey", 64, ""},
        {"section1", "name3", 64, ""},     // a line without '=' is no key
        {"section1", "name1", 4, "val"},   // size counts the NUL
        {"section1", "name1", 5, "val1"},
        {"section1", "name4", 64, "a"},
        {"section1", "name4", 1, ""},
        {"section1", "name2", 64, "val2"},  // the quotes go
        {"section1", "NaMe1", 64, "val1"},
        {"section2", "DoesntExist", 64, ""},  // a section without keys
    };
    for (const auto& c : cases) {
      EXPECT_EQ(store->Read(file, c.section, c.key, c.size), c.expected) << c.section << "/" << c.key << "/" << c.size;
    }
  }
  EXPECT_EQ(store->Read("", "section1", "name1", 64), "") << "an empty file name";
  // Keys above the first header are in no section; [] is the section "", and "=v" is
  // the key with the empty name.
  const std::string noSection =
      Put("\r\nkey=val_no_section\r\n[]\r\nkey=val_e_section\r\n[s]\r\n=val_no_key\r\n[t]\r\n");
  EXPECT_EQ(store->Read(noSection, "", "key", 64), "val_e_section");
  EXPECT_EQ(store->Read(noSection, "s", "", 64), "val_no_key");
  EXPECT_EQ(store->Read(noSection, "t", "key", 64), "");
}

TEST_F(PortableStoreTest, ReadsLongLinesAndHeadersAcrossBufferEdges) {
  const std::string value(70000, 'v');
  const std::string file = Put("[s]\r\nk=" + value + "\r\nj=2\r\n");
  EXPECT_EQ(store->Read(file, "s", "k", 65536), value.substr(0, 65535));
  EXPECT_EQ(store->Read(file, "s", "j", 64), "2");
  // Headers, their blanks and CR LF pairs falling on every position around the edges
  // of the read buffer.
  for (const std::size_t edge : {4096u, 4096u + 65536u}) {
    for (std::size_t pad = edge - 8; pad < edge + 2; ++pad) {
      SCOPED_TRACE(pad);
      const std::string text = "[a]\r\n;" + std::string(pad - 6, 'x') + "\r\n \t[t]\r\nk=1\r\n";
      EXPECT_EQ(store->Read(Put(text), "t", "k", 64), "1");
      EXPECT_EQ(store->Read(Put("[a]\r\n;" + std::string(pad - 6, 'x') + " [t]\r\nk=1\r\n"), "t", "k", 64), "");
    }
  }
}

TEST_F(PortableStoreTest, ReadsTheFileOnEveryCall) {
  const std::string file = Put("[s]\r\nk=1\r\n");
  EXPECT_EQ(store->Read(file, "s", "k", 64), "1");
  Put("[s]\r\nk=2\r\n");
  EXPECT_EQ(store->Read(file, "s", "k", 64), "2");
}

enum class Op { kWrite, kDeleteKey, kDeleteSection };

struct ChangeCase {
  const char* what;
  std::optional<std::string> before;  // none: no file
  Op op;
  std::string section, key, value;
  std::string after;
};

TEST_F(PortableStoreTest, ChangesOnlyWhatItMust) {
  const ChangeCase cases[] = {
      {"replace keeps spelling and bytes", "\0;c\n[S]\n  KEY = old \nx=1"s, Op::kWrite, "s", "key", "new",
       "\0;c\n[S]\n  KEY =new\nx=1"s},
      {"replace first of two", "[s]\r\nk=1\r\nk=2\r\n", Op::kWrite, "s", "k", "9", "[s]\r\nk=9\r\nk=2\r\n"},
      {"new key after last key line", "[s]\r\na=1\r\n;c\r\n\r\n[t]\r\n", Op::kWrite, "s", "b", "2",
       "[s]\r\na=1\r\nb=2\r\n;c\r\n\r\n[t]\r\n"},
      {"new key after header", "[s] x\n\n[t]\n", Op::kWrite, "s", "b", "2", "[s] x\nb=2\r\n\n[t]\n"},
      {"new key after unended line", "[s]\r\na=1", Op::kWrite, "s", "b", "2", "[s]\r\na=1\r\nb=2\r\n"},
      {"new section", "[s]\r\na=1\r\n\r\n", Op::kWrite, " t ", " b ", " 2", "[s]\r\na=1\r\n\r\n[t]\r\nb= 2\r\n"},
      {"new section after unended line", "[s]\r\na=1", Op::kWrite, "t", "b", "", "[s]\r\na=1\r\n[t]\r\nb=\r\n"},
      {"new file", std::nullopt, Op::kWrite, "s", "k", "v", "[s]\r\nk=v\r\n"},
      // Writes and deletes of the section "" agree with reads: they reach the lines under
      // [], never the key lines before the first header.
      {"section \"\" is appended as []", "k=1\r\n[s]\r\n", Op::kWrite, "", "k", "2",
       "k=1\r\n[s]\r\n[]\r\nk=2\r\n"},
      {"section \"\" is the one under []", "key=a\r\n[]\r\nkey=b\r\n", Op::kWrite, "", "key", "c",
       "key=a\r\n[]\r\nkey=c\r\n"},
      {"delete key of section \"\"", "k=1\r\n[]\r\nk=2\r\n", Op::kDeleteKey, "", "k", "",
       "k=1\r\n[]\r\n"},
      {"delete key before the first header", "k=1\r\n[s]\r\n", Op::kDeleteKey, "", "k", "", "k=1\r\n[s]\r\n"},
      {"trail ] in section name", "[\x81]x]\r\nk=1\r\n", Op::kWrite, "\x81]x", "j", "2",
       "[\x81]x]\r\nk=1\r\nj=2\r\n"},
      {"Chinese", "[\xC9\xE8]\r\n\xC3\xFB=1\r\n", Op::kWrite, "\xC9\xE8", "\xC3\xFB", "\xD6\xB5",
       "[\xC9\xE8]\r\n\xC3\xFB=\xD6\xB5\r\n"},
      {"delete key", "[s]\r\na=1\r\nb=2\r\n[t]\r\n", Op::kDeleteKey, "s", "a", "", "[s]\r\nb=2\r\n[t]\r\n"},
      {"delete unended key line", "[s]\r\na=1", Op::kDeleteKey, "s", "a", "", "[s]\r\n"},
      {"delete missing key", "[s]\na=1\n", Op::kDeleteKey, "s", "b", "", "[s]\na=1\n"},
      {"delete key in missing file", std::nullopt, Op::kDeleteKey, "s", "a", "", ""},
      {"delete section", "[a]\r\nx=1\r\n[s]\r\nk=1\r\n;c\r\n\r\nj=2\r\n[t]\r\ny=1", Op::kDeleteSection, "S", "",
       "", "[a]\r\nx=1\r\n;c\r\n\r\n[t]\r\ny=1"},
      {"delete section \"\"", "k=1\r\n[]\r\nj=2\r\n;c\r\n[s]\r\n", Op::kDeleteSection, "", "", "",
       "k=1\r\n;c\r\n[s]\r\n"},
      {"delete section \"\" without []", "k=1\r\n;c\r\n[s]\r\n", Op::kDeleteSection, "", "", "",
       "k=1\r\n;c\r\n[s]\r\n"},
      {"delete section in missing file", std::nullopt, Op::kDeleteSection, "s", "", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(dir.File("p.ini"));
    if (c.before) Put(*c.before);
    const std::string file = dir.File("p.ini");
    const bool ok = c.op == Op::kWrite       ? store->Write(file, c.section, c.key, c.value)
                    : c.op == Op::kDeleteKey ? store->DeleteKey(file, c.section, c.key)
                                             : store->DeleteSection(file, c.section);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Bytes(), c.after);
  }
}

// The sequences of writes and deletes that Windows' public conformance expectations
// check byte for byte.
TEST_F(PortableStoreTest, WritesAsWindowsConformanceExpects) {
  const std::string file = dir.File("w.ini");
  const auto bytes = [&] { return dir.Read("w.ini"); };
  ASSERT_TRUE(store->Write(file, "App", "key", ""));
  EXPECT_EQ(bytes(), "[App]\r\nkey=\r\n");
  std::filesystem::remove(file);

  for (const char* write : {"App1 key1", "App1 key2", "App1 key3", "App2 key4", "App3 key5"}) {
    const std::string section(write, 4), key(write + 5);
    ASSERT_TRUE(store->Write(file, section, key, "string" + key.substr(3)));
  }
  EXPECT_EQ(bytes(), "[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n"
                     "[App3]\r\nkey5=string5\r\n");
  for (int again = 0; again < 2; ++again) {
    EXPECT_TRUE(store->DeleteKey(file, "App1", "key2"));
    EXPECT_EQ(bytes(), "[App1]\r\nkey1=string1\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n[App3]\r\nkey5=string5\r\n");
  }
  EXPECT_TRUE(store->DeleteSection(file, "App1"));
  EXPECT_TRUE(store->DeleteSection(file, "App2"));
  EXPECT_EQ(bytes(), "[App3]\r\nkey5=string5\r\n");
  EXPECT_TRUE(store->DeleteKey(file, "App3", "key5"));
  EXPECT_EQ(bytes(), "[App3]\r\n") << "the header stays";

  // NUL bytes before the first header, and a last line without its line break.
  const std::string nuls("Data \0 before \0 first \0 section", 31);
  ASSERT_TRUE(store->Write(Put(nuls), "section1", "key1", "string1"));
  EXPECT_EQ(Bytes(), nuls + "\r\n[section1]\r\nkey1=string1\r\n");
  // A line without '=' is passed over: the new key goes after the last key line, and a
  // NUL after the last line break stays where it is.
  ASSERT_TRUE(store->Write(Put("[s]\r\nname1=val1\r\nname2=\r\nname3\r\nname4=val4\r\n\0"s), "s", "name5", "val5"));
  EXPECT_EQ(Bytes(), "[s]\r\nname1=val1\r\nname2=\r\nname3\r\nname4=val4\r\nname5=val5\r\n\0"s);
}

TEST_F(PortableStoreTest, FailedChangesReportFalseAndTouchNothing) {
  const std::string content = "[s]\r\nk=1\r\n";
  const std::string readOnly = dir.Write("ro.ini", content);
  chmod(readOnly.c_str(), 0444);
  std::filesystem::create_directory(dir.path() / "folder.ini");
  for (const std::string& file : {dir.File("no/p.ini"), readOnly, dir.File("folder.ini")}) {
    SCOPED_TRACE(file);
    EXPECT_FALSE(store->Write(file, "s", "k", "2"));
    EXPECT_FALSE(store->DeleteKey(file, "s", "k"));
    EXPECT_FALSE(store->DeleteSection(file, "s"));
  }
  EXPECT_EQ(dir.Read("ro.ini"), content);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "no"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "folder.ini"));
}

TEST_F(PortableStoreTest, Utf16FilesStayUtf16) {
  // "\xFF\xFE" then [设置] CR LF 名=Ё值 CR LF, in UTF-16LE.
  const std::string before = "\xFF\xFE[\0\xBE\x8B\x6E\x7F]\0\r\0\n\0\x0D\x54=\0\x01\x04\x3C\x50\r\0\n\0"s;
  const std::string file = Put(before);
  EXPECT_EQ(store->Read(file, "\xC9\xE8\xD6\xC3", "\xC3\xFB", 64), "\xA7\xA7\xD6\xB5");
  EXPECT_EQ(store->Read(file, "\xC9\xE8\xD6\xC3", "\xC3\xFB", 3), "\xA7\xA7");
  EXPECT_TRUE(store->Write(file, "\xC9\xE8\xD6\xC3", "k", "\xD6\xB5"));
  EXPECT_EQ(Bytes(), before + "k\0=\0\x3C\x50\r\0\n\0"s);
  EXPECT_TRUE(store->DeleteSection(file, "\xC9\xE8\xD6\xC3"));
  EXPECT_EQ(Bytes(), "\xFF\xFE"s);
  // A UTF-8 byte-order mark is only text at the start of the first line.
  EXPECT_EQ(store->Read(Put("\xEF\xBB\xBF[s]\r\nk=1\r\n"), "s", "k", 64), "");
}

// The profile functions work on the converted text, where a lead byte and the byte after
// it are one character: a trail byte '=' (0x94 0x3D, no character of the code page,
// reads as one '?') is part of the key name and does not end it.
TEST_F(PortableStoreTest, AnEqualsSignAfterALeadByteBelongsToTheKeyName) {
  const std::string file = Put("[s]\r\n\x94=a=b\r\n\xC3\xFB=c\r\n");
  EXPECT_EQ(store->Read(file, "s", "\x94=a", 64), "b");
  EXPECT_EQ(store->Read(file, "s", "\x94", 64), "");
  EXPECT_EQ(store->Read(file, "s", "\xC3\xFB", 64), "c");
  EXPECT_TRUE(store->Write(file, "s", "\x94=a", "x"));
  EXPECT_EQ(Bytes(), "[s]\r\n\x94=a=x\r\n\xC3\xFB=c\r\n");
  EXPECT_TRUE(store->Write(file, "s", "\x94", "y"));
  EXPECT_EQ(Bytes(), "[s]\r\n\x94=a=x\r\n\xC3\xFB=c\r\n\x94=y\r\n");
  EXPECT_TRUE(store->DeleteKey(file, "s", "\x94=a"));
  EXPECT_EQ(Bytes(), "[s]\r\n\xC3\xFB=c\r\n\x94=y\r\n");

  // Found by the profile_portable fuzz target (corpus file lead_byte_before_equals): a
  // write of this key appended a line that the next read did not find.
  const std::string key = "\x96\xFF\xCD\xFF\x94=\x18\x08" "d";
  const std::string before = std::string(14, '\xFF') + "\r_[s'\r\n";
  const std::string found = Put(before);
  EXPECT_TRUE(store->Write(found, "", key, "\x10S"));
  EXPECT_EQ(Bytes(), before + "[]\r\n" + key + "=\x10S\r\n");
  EXPECT_EQ(store->Read(found, "", key, 64), "\x10S");
  EXPECT_TRUE(store->Write(found, "", key, "2"));
  EXPECT_EQ(Bytes(), before + "[]\r\n" + key + "=2\r\n");
}

}  // namespace
}  // namespace profilectl
