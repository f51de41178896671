#include "profilectl/tesvar_core.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include <memory>
#include <vector>

#include "profilectl/utf16le.h"
#include "support/temp_dir.h"
#include "text/codepage.h"

namespace {

using namespace std::string_literals;

using namespace profilectl;
using testing_support::TempDir;

// Records the profile operations the control asks for.
class RecordingStore final : public ProfileStore {
 public:
  std::string Read(const std::string& file, const std::string& section, const std::string& key,
                   std::size_t size) override {
    calls.push_back("read " + file + "|" + section + "|" + key + "|" + std::to_string(size));
    return readResult.substr(0, std::min(readResult.size(), size - 1));
  }
  bool Write(const std::string& file, const std::string& section, const std::string& key,
             const std::string& value) override {
    calls.push_back("write " + file + "|" + section + "|" + key + "|" + value);
    return writeResult;
  }
  bool DeleteKey(const std::string& file, const std::string& section, const std::string& key) override {
    calls.push_back("delete-key " + file + "|" + section + "|" + key);
    return true;
  }
  bool DeleteSection(const std::string& file, const std::string& section) override {
    calls.push_back("delete-section " + file + "|" + section);
    return true;
  }
  bool TakesFile(const std::string&) const override { return takesFile; }
  std::string SectionNames(const std::string& file, std::size_t size) override {
    calls.push_back("section-names " + file + "|" + std::to_string(size));
    return listResult;
  }
  std::string KeyNames(const std::string& file, const std::string& section, std::size_t size) override {
    calls.push_back("key-names " + file + "|" + section + "|" + std::to_string(size));
    return listResult;
  }
  std::string SectionLines(const std::string& file, const std::string& section, std::size_t size) override {
    calls.push_back("section-lines " + file + "|" + section + "|" + std::to_string(size));
    return listResult;
  }
  bool HasSection(const std::string&, const std::string&) override { return hasSection; }

  std::vector<std::string> calls;
  std::string listResult;
  bool hasSection = true;
  std::string readResult;
  bool writeResult = true;
  bool takesFile = true;
};

class RecordingMessages final : public MessageSink {
 public:
  void Show(std::u16string_view text, std::u16string_view title, int style) override {
    shown.push_back({std::u16string(text), std::u16string(title), style});
  }
  struct Message {
    std::u16string text, title;
    int style;
    bool operator==(const Message&) const = default;
  };
  std::vector<Message> shown;
};

constexpr std::int16_t kTrue = -1;
constexpr std::int16_t kFalse = 0;

class TesvarCoreTest : public testing::Test {
 protected:
  // Points FileName at `name` in the test folder, written with `content` when given.
  std::string Use(std::string_view name, std::optional<std::string_view> content = std::nullopt) {
    const std::string path = content ? dir_.Write(name, *content) : dir_.File(name);
    control_.SetFileName(text::FromUtf8(path));
    return path;
  }

  TempDir dir_;
  RecordingStore store_;
  RecordingMessages messages_;
  TesvarCore control_{store_, messages_};
};

TEST_F(TesvarCoreTest, LoadKeyChecksFileSectionAndKeyInTurnWhenAskedTo) {
  const std::string missing = Use("missing.ini");
  EXPECT_EQ(control_.Load_Key(u"s", u"k", 100, kTrue), u"");
  Use("t.ini", "[s]\r\nabc=1\r\n");
  EXPECT_EQ(control_.Load_Key(u"t", u"k", 100, kTrue), u"");
  EXPECT_EQ(control_.Load_Key(u"s", u"ab", 100, kTrue), u"") << "a key is not found by a longer key's line";
  const std::vector<RecordingMessages::Message> expected = {
      {u"指定的文件 [ " + text::FromUtf8(missing) + u" ] 不存在！", u"错误", 16},
      {u"指定的扇区 [ t ] 不存在！", u"错误", 16},
      {u"指定的键值 [ ab ] 不存在！", u"错误", 16},
  };
  EXPECT_EQ(messages_.shown, expected);
  EXPECT_TRUE(store_.calls.empty()) << "a failed check ends the method before the read";
}

TEST_F(TesvarCoreTest, LoadKeyWithoutChecksReadsWhateverIsThere) {
  const std::string path = Use("missing.ini");
  store_.readResult = "v";
  for (std::int16_t notTrue : {kFalse, std::int16_t{1}, std::int16_t{-2}}) {
    EXPECT_EQ(control_.Load_Key(u"s", u"k", 8, notTrue), u"v") << "only -1 counts as True";
  }
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_EQ(store_.calls.front(), "read " + path + "|s|k|8");
}

TEST_F(TesvarCoreTest, LoadKeyPassesChineseNamesInTheCodePageAndDecodesTheValue) {
  const std::string path = Use("t.ini", "[" + text::ToAnsi(u"扇区") + "]\r\n" + text::ToAnsi(u"键值") + "=x\r\n");
  store_.readResult = text::ToAnsi(u"数据");
  EXPECT_EQ(control_.Load_Key(u"扇区", u"键值", 100, kTrue), u"数据");
  EXPECT_EQ(store_.calls.front(), "read " + path + "|" + text::ToAnsi(u"扇区") + "|" + text::ToAnsi(u"键值") + "|100");
}

TEST_F(TesvarCoreTest, LoadKeyBufferSizeCountsBytesAndTheNul) {
  Use("t.ini", "");
  store_.readResult = "abcdefgh";
  EXPECT_EQ(control_.Load_Key(u"s", u"k", 1, kFalse), u"");
  EXPECT_EQ(control_.Load_Key(u"s", u"k", 6, kFalse), u"abcde");
  store_.readResult = std::string("ab\0cd", 5);
  EXPECT_EQ(control_.Load_Key(u"s", u"k", 10, kFalse), u"ab") << "the value ends at the first NUL";
  // Cut inside the third character: its lead byte is dropped, not decoded as '?'.
  store_.readResult = text::ToAnsi(u"数据缓冲");
  EXPECT_EQ(control_.Load_Key(u"s", u"k", 6, kFalse), u"数据");
  EXPECT_EQ(control_.Load_Key(u"s", u"k", 5, kFalse), u"数据");
}

TEST_F(TesvarCoreTest, LoadKeyRefusesABufferWithoutRoomForTheNul) {
  Use("t.ini", "[s]\r\nk=1\r\n");
  for (std::int16_t size : {std::int16_t{0}, std::int16_t{-1}, std::int16_t{-32768}}) {
    auto result = control_.Load_Key(u"s", u"k", size, kFalse);
    ASSERT_FALSE(result) << size;
    EXPECT_EQ(result.error().Number(), 5);
    EXPECT_EQ(result.error().Status(), static_cast<std::int32_t>(0x800A0005));
  }
  EXPECT_TRUE(store_.calls.empty());
  Use("missing.ini");
  EXPECT_EQ(control_.Load_Key(u"s", u"k", 0, kTrue), u"") << "the checks come before the buffer";
}

TEST_F(TesvarCoreTest, SaveKeyAppendsAMissingSectionHeaderThenWrites) {
  struct Case {
    const char* before;
    const char* after;
  } cases[] = {
      {"", "[Main]\r\n"},
      {"[Main]\r\nk=1\r\n", "[Main]\r\nk=1\r\n"},
      {"[main]\r\n", "[main]\r\n[Main]\r\n"},   // the scan compares exactly
      {"x=1\r\n", "x=1\r\n[Main]\r\n"},
      {"x=1", "x=1\r\n[Main]\r\n"},             // the last line keeps its own line
      {"x=1\r", "x=1\r[Main]\r\n"},
      {"x=1\n", "x=1\n\r\n[Main]\r\n"},   // a lone LF ends no line of the scans
      {"x=1\r\n\n", "x=1\r\n\n\r\n[Main]\r\n"},
  };
  for (const auto& c : cases) {
    const std::string path = Use("t.ini", c.before);
    store_.calls.clear();
    EXPECT_EQ(control_.Sav_Key(u"Main", u"k", u"v", kFalse), true);
    EXPECT_EQ(dir_.Read("t.ini"), c.after) << "before: " << c.before;
    EXPECT_EQ(store_.calls, std::vector<std::string>{"write " + path + "|Main|k|v"});
  }
}

TEST_F(TesvarCoreTest, SaveKeyWithEmptyDataSetsAnEmptyValue) {
  const std::string path = Use("t.ini", "[s]\r\n");
  EXPECT_EQ(control_.Sav_Key(u"s", u"k", u"", kTrue), true);
  EXPECT_EQ(store_.calls, std::vector<std::string>{"write " + path + "|s|k|"});
}

TEST_F(TesvarCoreTest, SaveKeyReportsAFailedWrite) {
  Use("t.ini", "[s]\r\n");
  store_.writeResult = false;
  EXPECT_EQ(control_.Sav_Key(u"s", u"k", u"v", kFalse), false);
}

TEST_F(TesvarCoreTest, SaveKeyNeverCreatesTheFile) {
  const std::string path = Use("missing.ini");
  EXPECT_EQ(control_.Sav_Key(u"s", u"k", u"v", kTrue), false);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].title, u"错误警告");
  EXPECT_EQ(messages_.shown[0].text, u"指定的文件 [ " + text::FromUtf8(path) + u" ] 不存在！");

  auto unchecked = control_.Sav_Key(u"s", u"k", u"v", kFalse);
  ASSERT_FALSE(unchecked);
  EXPECT_EQ(unchecked.error().Number(), 53);
  EXPECT_TRUE(store_.calls.empty());
  EXPECT_FALSE(fileio::IsFile(text::FromUtf8(path)));
}

// A file that can be read but not opened for writing, also by a process that no
// permission bit stops: a program that is running (Linux refuses to write it,
// ETXTBSY). Sav_Key of a section it lacks fails with the file system's error (70) and
// touches nothing; the header is never left to the profile write.
TEST_F(TesvarCoreTest, SaveKeyOfANewSectionFailsWhenTheFileCannotBeOpened) {
  const std::string path = dir_.File("running");
  std::filesystem::copy_file("/bin/sleep", path);
  const std::string before = dir_.Read("running");
  char arg0[] = "sleep", arg1[] = "60";
  char* argv[] = {arg0, arg1, nullptr};
  pid_t child = 0;
  ASSERT_EQ(posix_spawn(&child, path.c_str(), nullptr, nullptr, argv, environ), 0);
  // posix_spawn returns once the program runs.
  const int probe = open(path.c_str(), O_RDWR);
  if (probe >= 0) {
    close(probe);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    GTEST_SKIP() << "this system lets a running program be written";
  }
  ASSERT_EQ(errno, ETXTBSY);

  control_.SetFileName(text::FromUtf8(path));
  const auto saved = control_.Sav_Key(u"新段", u"k", u"v", kFalse);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error().Number(), 70);
  EXPECT_TRUE(store_.calls.empty()) << "no profile write";
  EXPECT_EQ(dir_.Read("running"), before);
}

TEST_F(TesvarCoreTest, ReadOnlyFileCountsAsExisting) {
  const std::string path = Use("t.ini", "[s]\r\nk=1\r\n");
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  store_.readResult = "1";
  EXPECT_EQ(control_.Load_Key(u"s", u"k", 10, kTrue), u"1");
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(TesvarCoreTest, ScansAnswerForTheFileName) {
  Use("t.ini", "[s]\r\nk=1\r\n");
  EXPECT_EQ(control_.Dir扇区(u"s"), true);
  EXPECT_EQ(control_.Dir扇区(u"S"), false);
  EXPECT_EQ(control_.Dir键值(u"s", u"k"), true);
  EXPECT_EQ(control_.Dir键值(u"s", u"x"), false);
  Use("missing.ini");
  EXPECT_EQ(control_.Dir扇区(u"s").error().Number(), 53);
  EXPECT_EQ(control_.Dir键值(u"s", u"k").error().Number(), 53);
}

// A list's entries, or nothing when the control reports the file or section missing.
using Entries = std::optional<std::vector<std::u16string>>;

class EntryRecorder final : public TesvarCore::ListSink {
 public:
  void Entry(std::string_view utf8) override { entries.push_back(text::FromUtf8(utf8)); }
  std::vector<std::u16string> entries;
};

template <class List>
Entries Listed(List list) {
  EntryRecorder recorder;
  const Outcome<bool> there = list(recorder);
  if (!there) {
    ADD_FAILURE() << "error " << there.error().Number();
    return std::nullopt;
  }
  if (!*there) {
    EXPECT_TRUE(recorder.entries.empty()) << "entries of a list reported missing";
    return std::nullopt;
  }
  return recorder.entries;
}

const Entries kNoEntries = std::vector<std::u16string>{};

TEST_F(TesvarCoreTest, ListsTellAMissingFileOrSectionFromAnEmptyList) {
  const std::string path = Use("t.ini", "");
  const std::string section = text::ToAnsi(u"扇区");
  store_.listResult = "a\0"s + text::ToAnsi(u"键值") + '\0';
  EXPECT_EQ(Listed([&](auto& sink) { return control_.KeyNames(u"扇区", 64, sink); }), Entries({u"a", u"键值"}));
  EXPECT_EQ(store_.calls.back(), "key-names " + path + "|" + section + "|64");

  store_.listResult = "";
  EXPECT_EQ(Listed([&](auto& sink) { return control_.SectionLines(u"扇区", 64, sink); }), kNoEntries);
  store_.hasSection = false;
  EXPECT_EQ(Listed([&](auto& sink) { return control_.SectionLines(u"扇区", 64, sink); }), std::nullopt);
  EXPECT_EQ(Listed([&](auto& sink) { return control_.SectionNames(64, sink); }), kNoEntries);
  Use("missing.ini");
  EXPECT_EQ(Listed([&](auto& sink) { return control_.SectionNames(64, sink); }), std::nullopt);
}

// A store without a scan of its own (kernel32) lists a whole list through its buffer
// form and answers for the section through HasSection.
TEST_F(TesvarCoreTest, WholeListsThroughAStoreThatOnlyFillsBuffers) {
  const std::string path = Use("t.ini", "");
  const std::size_t whole = ProfileStore::kWholeList;
  store_.listResult = "a\0\0"s + text::ToAnsi(u"键值") + '\0';
  EXPECT_EQ(Listed([&](auto& sink) { return control_.KeyNames(u"s", whole, sink); }), Entries({u"a", u"", u"键值"}));
  EXPECT_EQ(store_.calls.back(), "key-names " + path + "|s|" + std::to_string(whole));
  EXPECT_EQ(Listed([&](auto& sink) { return control_.SectionNames(whole, sink); }), Entries({u"a", u"", u"键值"}));

  store_.listResult = "";
  EXPECT_EQ(Listed([&](auto& sink) { return control_.SectionLines(u"s", whole, sink); }), kNoEntries);
  store_.hasSection = false;
  EXPECT_EQ(Listed([&](auto& sink) { return control_.SectionLines(u"s", whole, sink); }), std::nullopt);
  EXPECT_EQ(Listed([&](auto& sink) { return control_.SectionNames(whole, sink); }), kNoEntries);
  Use("missing.ini");
  EXPECT_EQ(Listed([&](auto& sink) { return control_.SectionNames(whole, sink); }), std::nullopt);
  store_.takesFile = false;
  EntryRecorder refused;
  EXPECT_EQ(control_.SectionNames(whole, refused).error().Number(), 52);
  EXPECT_TRUE(refused.entries.empty());
}

TEST_F(TesvarCoreTest, CutListKeepsNoHalfCharacter) {
  Use("t.ini", "");
  // 键值 cut after its first byte, and after its first character.
  const std::string name = text::ToAnsi(u"键值");
  store_.listResult = "a\0"s + name.substr(0, 1);
  EXPECT_EQ(Listed([&](auto& sink) { return control_.SectionNames(5, sink); }), Entries({u"a", u""}));
  store_.listResult = "a\0"s + name.substr(0, 3);
  EXPECT_EQ(Listed([&](auto& sink) { return control_.SectionNames(6, sink); }), Entries({u"a", u"键"}));
}

TEST_F(TesvarCoreTest, DeletesAreSingleProfileWrites) {
  const std::string path = Use("missing.ini");
  EXPECT_TRUE(control_.Del扇区(u"s"));
  EXPECT_TRUE(control_.Del键值(u"s", u"k"));
  EXPECT_TRUE(control_.Del数据(u"s", u"k"));
  const std::vector<std::string> expected = {
      "delete-section " + path + "|s",
      "delete-key " + path + "|s|k",
      "write " + path + "|s|k|",
  };
  EXPECT_EQ(store_.calls, expected);
  EXPECT_TRUE(messages_.shown.empty());
}

// A FileName with a NUL, one outside the ANSI code page, or one that the profile
// operations cannot take, fails every member with 52 before anything is read, appended
// or written.
TEST_F(TesvarCoreTest, UnusableFileNamesAreRefusedEverywhere) {
  const std::string path = Use("t.ini", "[s]\r\n");
  // Hangul is not in code page 936: the profile operations would get "??.ini".
  const std::string hangul = dir_.Write("한글.ini", "[s]\r\n");
  const int kBadFileName = 52;
  const struct {
    const char* why;
    std::u16string fileName;
    bool storeTakesIt;
  } cases[] = {
      {"a NUL inside", text::FromUtf8(path) + u'\0' + u"x", true},
      {"a name outside the code page", text::FromUtf8(hangul), true},
      {"a name the profile operations cannot take", text::FromUtf8(path), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    control_.SetFileName(c.fileName);
    store_.takesFile = c.storeTakesIt;
    EXPECT_EQ(control_.Load_Key(u"s", u"k", 10, kFalse).error().Number(), kBadFileName);
    EXPECT_EQ(control_.Load_Key(u"s", u"k", 10, kTrue).error().Number(), kBadFileName);
    EXPECT_EQ(control_.Sav_Key(u"new", u"k", u"v", kFalse).error().Number(), kBadFileName);
    EXPECT_EQ(control_.Dir扇区(u"s").error().Number(), kBadFileName);
    EXPECT_EQ(control_.Dir键值(u"s", u"k").error().Number(), kBadFileName);
    EXPECT_EQ(control_.Del扇区(u"s").error().Number(), kBadFileName);
    EXPECT_EQ(control_.Del键值(u"s", u"k").error().Number(), kBadFileName);
    EXPECT_EQ(control_.Del数据(u"s", u"k").error().Number(), kBadFileName);
    EXPECT_EQ(dir_.Read("t.ini"), "[s]\r\n") << "no section header appended";
    EXPECT_EQ(dir_.Read("한글.ini"), "[s]\r\n") << "no section header appended";
  }
  EXPECT_FALSE(fileio::IsFile(text::FromUtf8(dir_.File("??.ini"))));
  store_.takesFile = true;
  EXPECT_EQ(control_.NewFile(text::FromUtf8(dir_.File("n.ini")) + u'\0').error().Number(), kBadFileName);
  EXPECT_TRUE(store_.calls.empty());
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_FALSE(fileio::IsFile(text::FromUtf8(dir_.File("n.ini"))));
}

TEST_F(TesvarCoreTest, NewFileCreatesAnEmptyFileOrLeavesOneAlone) {
  const fileio::Path fresh = text::FromUtf8(dir_.File("new.ini"));
  EXPECT_EQ(control_.NewFile(fresh), true);
  EXPECT_EQ(dir_.Read("new.ini"), "");
  EXPECT_EQ(control_.FileName(), u"") << "NewFile does not set FileName";

  dir_.Write("old.ini", "[s]\r\nk=1\r\n");
  EXPECT_EQ(control_.NewFile(text::FromUtf8(dir_.File("old.ini"))), true);
  EXPECT_EQ(dir_.Read("old.ini"), "[s]\r\nk=1\r\n");

  EXPECT_EQ(control_.NewFile(text::FromUtf8(dir_.File("no/such/x.ini"))).error().Number(), 76);
  EXPECT_EQ(control_.NewFile(text::FromUtf8(dir_.path().string())).error().Number(), 75);
  EXPECT_EQ(control_.NewFile(u"").error().Number(), 52);
}

// The control over the portable profile store, on files as other programs leave them.
class TesvarOnFilesTest : public testing::Test {
 protected:
  void Use(std::string_view name, std::string_view content) {
    control_.SetFileName(text::FromUtf8(dir_.Write(name, content)));
  }

  TempDir dir_;
  std::unique_ptr<ProfileStore> store_ = MakePortableProfileStore();
  RecordingMessages messages_;
  TesvarCore control_{*store_, messages_};
};

TEST_F(TesvarOnFilesTest, LoneLfAtTheEndGetsOneHeaderOnly) {
  Use("t.ini", "x=1\n");
  EXPECT_EQ(control_.Sav_Key(u"Main", u"k", u"v1", kFalse), true);
  EXPECT_EQ(control_.Dir扇区(u"Main"), true);
  EXPECT_EQ(control_.Sav_Key(u"Main", u"k", u"v2", kFalse), true);
  EXPECT_EQ(dir_.Read("t.ini"), "x=1\n\r\n[Main]\r\nk=v2\r\n");
  EXPECT_EQ(control_.Load_Key(u"Main", u"k", 64, kTrue), u"v2");
  EXPECT_TRUE(messages_.shown.empty());
}

std::string Utf16File(std::u16string_view text) { return std::string(kUtf16LeMark) + EncodeUtf16Le(text); }

// A file that starts with the UTF-16LE mark is scanned and appended to as UTF-16LE, as
// the profile operations read and write it; no ANSI byte ever goes into it.
TEST_F(TesvarOnFilesTest, Utf16FilesStayUtf16) {
  const struct {
    const char* what;
    std::u16string before, after;
  } cases[] = {
      {"last line without a line break", u"[设置]\r\n名=1", u"[设置]\r\n名=1\r\n[常规]\r\n用户=张三\r\n"},
      {"lone LF at the end", u"x=1\n", u"x=1\n\r\n[常规]\r\n用户=张三\r\n"},
      {"lone CR at the end", u"x=1\r", u"x=1\r[常规]\r\n用户=张三\r\n"},
      {"only the mark", u"", u"[常规]\r\n用户=张三\r\n"},
      {"section present", u"[常规]\r\n用户=李四\r\n", u"[常规]\r\n用户=张三\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Use("u.ini", Utf16File(c.before));
    EXPECT_EQ(control_.Sav_Key(u"常规", u"用户", u"张三", kTrue), true);
    EXPECT_EQ(control_.Sav_Key(u"常规", u"用户", u"张三", kFalse), true) << "the second finds the header";
    EXPECT_EQ(dir_.Read("u.ini"), Utf16File(c.after));
    EXPECT_EQ(control_.Dir扇区(u"常规"), true);
    EXPECT_EQ(control_.Dir键值(u"常规", u"用户"), true);
    EXPECT_EQ(control_.Load_Key(u"常规", u"用户", 64, kTrue), u"张三");
    EXPECT_EQ(control_.NewFile(text::FromUtf8(dir_.File("u.ini"))), true);
    EXPECT_EQ(dir_.Read("u.ini"), Utf16File(c.after)) << "NewFile leaves the file as it is";
  }
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(TesvarOnFilesTest, Utf16FileWithAStrayLastByteGetsNoHeader) {
  const std::string before = Utf16File(u"[s]\r\n") + "x";
  Use("u.ini", before);
  EXPECT_EQ(control_.Sav_Key(u"常规", u"k", u"v", kFalse), false);
  EXPECT_EQ(dir_.Read("u.ini"), before);
  EXPECT_EQ(control_.Sav_Key(u"s", u"k", u"v", kFalse), true) << "a present section needs no header";
}

TEST_F(TesvarOnFilesTest, KeysAboveTheFirstHeaderAreInNoSection) {
  Use("t.ini", "key=val_no_section\r\n[]\r\nkey=val_e_section\r\n");
  EXPECT_EQ(control_.Load_Key(u"", u"key", 64, kTrue), u"val_e_section");
  EXPECT_EQ(control_.Sav_Key(u"", u"key", u"new", kTrue), true);
  EXPECT_EQ(dir_.Read("t.ini"), "key=val_no_section\r\n[]\r\nkey=new\r\n");
  Use("u.ini", "key=1\r\n[s]\r\n");
  EXPECT_EQ(control_.Dir键值(u"", u"key"), false);
  EXPECT_EQ(control_.Load_Key(u"", u"key", 64, kFalse), u"");
  EXPECT_EQ(control_.Sav_Key(u"", u"key", u"2", kFalse), true);
  EXPECT_EQ(dir_.Read("u.ini"), "key=1\r\n[s]\r\n[]\r\nkey=2\r\n") << "one [] only: the header the control appends";
  EXPECT_TRUE(messages_.shown.empty());
}

}  // namespace
