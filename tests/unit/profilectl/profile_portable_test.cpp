#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "profilectl/profile_store.h"
#include "profilectl/utf16le.h"
#include "support/temp_dir.h"
#include "text/codepage.h"

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

enum class ListKind { kSectionNames, kKeyNames, kSectionLines };

std::string ListOf(ProfileStore& store, ListKind kind, const std::string& file, const std::string& section,
                   std::size_t size) {
  switch (kind) {
    case ListKind::kSectionNames: return store.SectionNames(file, size);
    case ListKind::kKeyNames: return store.KeyNames(file, section, size);
    case ListKind::kSectionLines: return store.SectionLines(file, section, size);
  }
  return {};
}

// The lists Windows' conformance expectations describe: GetPrivateProfileSectionNamesA,
// GetPrivateProfileStringA with a NULL section or key, GetPrivateProfileSectionA.
TEST_F(PortableStoreTest, ListsAsWindowsConformanceExpects) {
  using enum ListKind;
  for (const char* end : {"\r\n", "\r"}) {
    SCOPED_TRACE(end == "\r"s ? "CR" : "CR LF");
    const std::string e = end;
    const std::string file = Put("[section1]" + e + "name1=val1" + e + "name2=" + e + "name3" + e + "name4=val4" + e +
                                 "[ section2 ]" + e + "[section3]" + e + "=val5" + e);
    const struct {
      ListKind kind;
      const char* section;
      std::size_t size;
      std::string expected;
    } cases[] = {
        {kSectionNames, "", 64, "section1\0section2\0section3\0"s},  // names trimmed
        {kSectionNames, "", 29, "section1\0section2\0section3\0"s},
        // A list that fills the buffer up to its last NUL counts as cut: size - 2.
        {kSectionNames, "", 28, "section1\0section2\0section3"s},
        {kSectionNames, "", 27, "section1\0section2\0section"s},
        {kSectionNames, "", 16, "section1\0secti"s},
        {kKeyNames, "section1", 64, "name1\0name2\0name4\0"s},  // a line without '=' is no key
        {kKeyNames, "section1", 16, "name1\0name2\0na"s},
        {kKeyNames, "SECTION1", 64, "name1\0name2\0name4\0"s},
        {kKeyNames, "section2", 64, ""},
        {kSectionLines, "section1", 64, "name1=val1\0name2=\0name3\0name4=val4\0"s},  // but a line
        {kSectionLines, "section1", 24, "name1=val1\0name2=\0name"s},
        {kSectionLines, "section1", 5, "nam"},
        {kSectionLines, "section2", 64, ""},
        {kSectionLines, "section3", 64, "=val5\0"s},
        {kSectionLines, "section4", 64, ""},
    };
    for (const auto& c : cases) {
      EXPECT_EQ(ListOf(*store, c.kind, file, c.section, c.size), c.expected)
          << static_cast<int>(c.kind) << "/" << c.section << "/" << c.size;
    }
  }
  EXPECT_EQ(store->SectionNames(dir.File("missing.ini"), 64), "");
  EXPECT_EQ(store->KeyNames(dir.File("missing.ini"), "s", 64), "");
}

TEST_F(PortableStoreTest, ListsFollowTheReadRules) {
  using enum ListKind;
  const struct {
    const char* what;
    std::string file;
    ListKind kind;
    std::string section, expected;
  } cases[] = {
      {"comments and blank lines left out", "[s]\r\n;c=1\r\n\r\n  ; d\r\nk=1\r\n", kSectionLines, "s", "k=1\0"s},
      {"comments are no keys", "[s]\r\n;c=1\r\n#h=2\r\n", kKeyNames, "s", "#h\0"s},
      {"blanks around names and values", "[s]\r\n \tk \v= \t v w \r\n x y \r\n", kSectionLines, "s",
       "k=v w\0x y\0"s},
      {"quotes stay in a line", "[s]\r\nk=\"v\"\r\n", kSectionLines, "s", "k=\"v\"\0"s},
      {"duplicate keys", "[s]\r\nk=1\r\nK=2\r\n", kKeyNames, "s", "k\0K\0"s},
      {"duplicate sections", "[s]\r\n[t]\r\n[S]\r\n", kSectionNames, "", "s\0t\0S\0"s},
      {"only the first of two sections", "[s]\r\na=1\r\n[t]\r\n[s]\r\nb=2\r\n", kKeyNames, "s", "a\0"s},
      {"name ends at first ]", "[s]x]\r\n[ t \r\n", kSectionNames, "", "s\0t\0"s},
      {"no header after text", "[s]\r\nv=[t]\r\n", kSectionNames, "", "s\0"s},
      {"trail ] of a Chinese name", "[\x81]x]\r\n", kSectionNames, "", "\x81]x\0"s},
      // D19: the lines above the first header are in no section; [] is the section "".
      {"[] is the section \"\"", "k=0\r\n[]\r\nk=1\r\n[s]\r\n", kSectionNames, "", "\0s\0"s},
      {"keys of \"\" are those under []", "k=0\r\n[]\r\nj=1\r\n", kKeyNames, "", "j\0"s},
      {"no [] and keys above the first header", "k=0\r\n[s]\r\n", kSectionLines, "", ""},
      {"UTF-16", "\xFF\xFE[\0s\0]\0\r\0\n\0\x3C\x50=\0\x3C\x50\r\0\n\0"s, kSectionLines, "s",
       "\xD6\xB5=\xD6\xB5\0"s},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ListOf(*store, c.kind, Put(c.file), c.section, ProfileStore::kWholeList), c.expected);
  }
}

TEST_F(PortableStoreTest, HasSectionByTheReadRules) {
  const std::string file = Put("k=1\r\n[ Main ]\r\n[]\r\n");
  EXPECT_TRUE(store->HasSection(file, "main"));
  EXPECT_TRUE(store->HasSection(file, " MAIN "));
  EXPECT_TRUE(store->HasSection(file, ""));
  EXPECT_FALSE(store->HasSection(Put("k=1\r\n[s]\r\n"), ""));
  EXPECT_FALSE(store->HasSection(dir.File("missing.ini"), "Main"));
}

// What a visit hands over, joined as the whole buffer list holds it.
class JoinedEntries final : public ListVisitor {
 public:
  bool Entry(std::string_view entry) override {
    text.append(entry).push_back('\0');
    return true;
  }
  std::string text;
};

// The lists the tool streams are the lists of the buffer form, entry for entry, and a
// visit finds the section where HasSection does.
TEST_F(PortableStoreTest, VisitedListsAreTheWholeLists) {
  std::string many;  // headers and entries across the edges of the read pieces
  for (int s = 0; many.size() < 1100 * 1024; ++s) {
    many += (s % 3 == 0 ? " [S" : "[s") + std::to_string(s % 500) + "]\r\n";
    for (int k = 0; k < s % 7; ++k) many += "k" + std::to_string(k) + " = v" + std::string(k * 13, 'x') + "\r\n";
    if (s % 5 == 0) many += "loose text\r\n;c=1\r\n\r\n";
  }
  const std::string chinese = "x=0\r\n[\x81]x]\r\n\xBC\xFC=\xD6\xB5\r\n";  // trail ']' in a name
  const std::string files[] = {
      "k=0\r\nj=1\r\n[]\r\nk=1\r\nk=2\r\n[s]\r\na=1\r\n[S]\r\nb=2\r\n[]\r\nz=3\r\n",
      "before\r\n[ s ]\r\n ; c\r\nname only\r\n=v\r\nk = v \r\n[t]\n[s]\rk=2",
      chinese,
      many,
      "",
      std::string(kUtf16LeMark) + EncodeUtf16Le(text::FromAnsi(chinese + "[s]\r\n\xBC\xFC = 1\r\n[]\r\n")),
      std::string(kUtf16LeMark) + EncodeUtf16Le(text::FromAnsi(many)),
  };
  for (const std::string& content : files) {
    SCOPED_TRACE(content.substr(0, 40));
    const std::string file = Put(content);
    JoinedEntries names;
    EXPECT_TRUE(store->VisitSectionNames(file, names));
    EXPECT_EQ(names.text, store->SectionNames(file, ProfileStore::kWholeList));
    for (const std::string section : {"", "s", " S ", "S1", "\x81]x", "missing"}) {
      SCOPED_TRACE(section);
      JoinedEntries keys, lines;
      const bool hasSection = store->HasSection(file, section);
      EXPECT_EQ(store->VisitKeyNames(file, section, keys), hasSection);
      EXPECT_EQ(store->VisitSectionLines(file, section, lines), hasSection);
      EXPECT_EQ(keys.text, store->KeyNames(file, section, ProfileStore::kWholeList));
      EXPECT_EQ(lines.text, store->SectionLines(file, section, ProfileStore::kWholeList));
    }
  }
  JoinedEntries none;
  EXPECT_FALSE(store->VisitSectionNames(dir.File("missing.ini"), none));
  EXPECT_FALSE(store->VisitKeyNames(dir.File("missing.ini"), "s", none));
  EXPECT_EQ(none.text, "");
}

TEST(ListEntries, SplitsWholeAndCutLists) {
  EXPECT_EQ(ListEntries("a\0\0b\0"s), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(ListEntries("a\0bc"s), (std::vector<std::string>{"a", "bc"}));
  EXPECT_TRUE(ListEntries("").empty());
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

// A change puts a new file in place of the old one, and yet the file stays what it
// was: a link keeps naming it (the file it names gets the change) and it keeps its
// permission bits. Nothing else is left in the folder.
TEST_F(PortableStoreTest, ChangesKeepLinksAndPermissionBits) {
  const std::string target = dir.Write("real.ini", "[s]\r\nk=1\r\n");
  ASSERT_EQ(chmod(target.c_str(), 0600), 0);
  const std::string link = dir.File("link.ini");
  ASSERT_EQ(symlink("real.ini", link.c_str()), 0);
  ASSERT_TRUE(store->Write(link, "s", "k", "2"));
  ASSERT_TRUE(store->DeleteKey(link, "s", "k"));
  EXPECT_EQ(dir.Read("real.ini"), "[s]\r\n");
  struct stat st {};
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) names.insert(entry.path().filename());
  EXPECT_EQ(names, (std::set<std::string>{"link.ini", "real.ini"}));
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
