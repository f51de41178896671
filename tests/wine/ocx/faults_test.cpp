// Tesvar.ocx on files it cannot use as asked, called through IDispatch as a host calls
// it: a read-only file, one that another handle holds open, a folder where the file
// should be, names the profile functions cannot take, and the limits of 数据缓冲. Every
// call ends with the control's error number (0x800A0000 + n) or its documented result,
// and a file that could not be written keeps its bytes.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <array>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "dispatch_call.h"
#include "wine/support/files.h"

namespace {

using namespace ocx_test;
using namespace ocx_test::members;
using wine_test::HoldOpen;

// The members a host calls on its file, each with 错误处理 False: no message box waits.
struct Member {
  const char* name;
  Invocation (*call)(IDispatch* control, const std::wstring& file);
};

const Member kMembers[] = {
    {"Load_Key",
     [](IDispatch* c, const std::wstring&) {
       return Invocation(c, kLoadKey, {Text(L"常规"), Text(L"用户名"), Long(256), Boolean(false)});
     }},
    {"Sav_Key",
     [](IDispatch* c, const std::wstring&) {
       return Invocation(c, kSavKey, {Text(L"常规"), Text(L"用户名"), Text(L"李四"), Boolean(false)});
     }},
    {"Sav_Key of a new section",
     [](IDispatch* c, const std::wstring&) {
       return Invocation(c, kSavKey, {Text(L"新段"), Text(L"键"), Text(L"值"), Boolean(false)});
     }},
    {"Dir扇区", [](IDispatch* c, const std::wstring&) { return Invocation(c, kDirSection, {Text(L"常规")}); }},
    {"Dir键值",
     [](IDispatch* c, const std::wstring&) { return Invocation(c, kDirKey, {Text(L"常规"), Text(L"用户名")}); }},
    {"Del扇区", [](IDispatch* c, const std::wstring&) { return Invocation(c, kDelSection, {Text(L"常规")}); }},
    {"Del键值",
     [](IDispatch* c, const std::wstring&) { return Invocation(c, kDelKey, {Text(L"常规"), Text(L"用户名")}); }},
    {"Del数据",
     [](IDispatch* c, const std::wstring&) { return Invocation(c, kDelData, {Text(L"常规"), Text(L"用户名")}); }},
    {"NewFile", [](IDispatch* c, const std::wstring& file) { return Invocation(c, kNewFile, {Text(file)}); }},
};

using Outcomes = std::array<std::wstring_view, std::size(kMembers)>;

// The bytes of a file, also beyond MAX_PATH; nothing when it cannot be read.
std::optional<std::string> Bytes(const std::wstring& path) { return wine_test::ReadBytes(L"\\\\?\\" + path); }

// A read-only file, and one another program keeps from writers, are read and never
// written: the profile write fails (False), and a section header that the file cannot
// be opened to take fails the call with the file system's error.
constexpr Outcomes kReadOnly = {L"\"张三\"", L"False", L"error 70", L"True", L"True",
                                L"done",      L"done",  L"done",     L"error 70"};

class Faults : public ControlOnAFile {
 protected:
  void SetUp() override {
    ControlOnAFile::SetUp();
    folder_ = dir_.path().wstring();
  }

  // Sets FileName to `file`, calls every member and compares what each gave.
  void ExpectOutcomes(const std::wstring& file, const Outcomes& expected) {
    Invocation put(dispatch_.get(), kFileName, {Text(file)}, DISPATCH_PROPERTYPUT);
    ASSERT_EQ(put.status, S_OK);
    for (std::size_t i = 0; i < std::size(kMembers); ++i) {
      const Invocation call = kMembers[i].call(dispatch_.get(), file);
      EXPECT_EQ(Outcome(call), expected[i]) << kMembers[i].name;
    }
  }

  std::wstring folder_;
};

TEST_F(Faults, ReadOnlyFileIsReadAndNeverWritten) {
  ASSERT_TRUE(SetFileAttributesW(file_.c_str(), FILE_ATTRIBUTE_READONLY));
  win::unique_handle writer = HoldOpen(file_, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (writer) {
    writer.reset();
    SetFileAttributesW(file_.c_str(), FILE_ATTRIBUTE_NORMAL);
    GTEST_SKIP() << "this system opens a read-only file for writing (Wine run as root does)";
  }
  ExpectOutcomes(file_, kReadOnly);
  SetFileAttributesW(file_.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(Bytes(file_), kContent);
}

// Another program reads the file and lets nobody write it: the same refusal as a
// read-only file, also for a process that the read-only attribute does not stop.
TEST_F(Faults, FileKeptFromWritersIsReadAndNeverWritten) {
  win::unique_handle reader = HoldOpen(file_, GENERIC_READ, FILE_SHARE_READ);
  ASSERT_TRUE(reader);
  ExpectOutcomes(file_, kReadOnly);
  reader.reset();
  EXPECT_EQ(Bytes(file_), kContent);
}

TEST_F(Faults, FileLockedWithoutSharingFailsCleanly) {
  win::unique_handle lock = HoldOpen(file_, GENERIC_READ | GENERIC_WRITE, 0);
  ASSERT_TRUE(lock);
  ExpectOutcomes(file_, {L"\"\"", L"error 70", L"error 70", L"error 70", L"error 70", L"done", L"done", L"done",
                         L"error 70"});
  lock.reset();
  EXPECT_EQ(Bytes(file_), kContent);
}

TEST_F(Faults, FolderWhereTheFileShouldBe) {
  const std::wstring folder = folder_ + L"\\folder.ini";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ExpectOutcomes(folder, {L"\"\"", L"error 75", L"error 75", L"error 75", L"error 75", L"done", L"done", L"done",
                          L"error 75"});
  EXPECT_TRUE(std::filesystem::is_directory(dir_.path() / "folder.ini"));
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path() / "folder.ini"));
}

// kernel32's profile functions take a full path of fewer than MAX_PATH characters; a
// longer name, like one with a NUL or one outside the ANSI code page, is refused by
// every member that uses them or scans (52) and touches nothing. NewFile uses the file
// system alone.
TEST_F(Faults, NamesTheProfileFunctionsCannotTakeAreRefused) {
  // settings.ini again, in folders that take the path beyond MAX_PATH.
  std::wstring deep = folder_;
  for (wchar_t letter = L'a'; deep.size() <= MAX_PATH; ++letter) {
    deep += L"\\" + std::wstring(50, letter);
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
  }
  const std::wstring deepFile = deep + L"\\settings.ini";
  ASSERT_TRUE(CopyFileW(file_.c_str(), (L"\\\\?\\" + deepFile).c_str(), TRUE));
  // Hangul is not in code page 936: the profile functions would get "??.ini".
  const std::wstring hangulFile = folder_ + L"\\한글.ini";
  ASSERT_TRUE(CopyFileW(file_.c_str(), hangulFile.c_str(), TRUE));

  const struct {
    const char* name;
    std::wstring file;
    std::wstring_view newFile;
  } cases[] = {
      {"a NUL inside the name", file_ + L'\0' + L"x", L"error 52"},
      {"a full path beyond MAX_PATH", deepFile, L"True"},
      {"a name outside the ANSI code page", hangulFile, L"True"},
      {"beyond 32,767 characters", folder_ + L"\\" + std::wstring(40000, L'n') + L".ini", L"error 76"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectOutcomes(c.file, {L"error 52", L"error 52", L"error 52", L"error 52", L"error 52", L"error 52",
                            L"error 52", L"error 52", c.newFile});
  }
  EXPECT_EQ(Bytes(file_), kContent);
  EXPECT_EQ(Bytes(deepFile), kContent);
  EXPECT_EQ(Bytes(hangulFile), kContent);
  // Nothing was created under the name the code page makes of it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 3)
      << "settings.ini, 한글.ini and the deep folder";
}

// Files as other programs leave them, with kernel32 behind the control: a last line
// without its line break, a lone LF at the end, UTF-16LE with its byte-order mark. Two
// Sav_Key of a section the file lacks leave one header, which the scans then find.
TEST_F(Faults, FilesOtherProgramsLeave) {
  using namespace std::string_literals;
  const std::string ansiHeader = "[\xD0\xC2\xB6\xCE]";                    // [新段] in code page 936
  const std::string wideHeader = "[\0\xB0\x65\xB5\x6B]\0"s;              // [新段] in UTF-16LE
  const struct {
    const char* what;
    std::string bytes;
    bool utf16;
  } cases[] = {
      {"no line break at the end", "x=1", false},
      {"a lone LF at the end", "x=1\n", false},
      {"UTF-16LE, no line break at the end", "\xFF\xFEx\0=\0\x31\0"s, true},
      {"UTF-16LE, a lone LF at the end", "\xFF\xFEx\0=\0\x31\0\n\0"s, true},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // A name per case: Wine keeps recently used profile files parsed in memory.
    const std::wstring file = wine_test::WideFromUtf8(dir_.Write("other" + std::to_string(n++) + ".ini", c.bytes));
    ASSERT_EQ(Invocation(dispatch_.get(), kFileName, {Text(file)}, DISPATCH_PROPERTYPUT).status, S_OK);
    for (int round = 0; round < 2; ++round) {
      const Invocation saved(dispatch_.get(), kSavKey, {Text(L"新段"), Text(L"键"), Text(L"值"), Boolean(false)});
      EXPECT_EQ(Outcome(saved), L"True");
    }
    EXPECT_EQ(Outcome(Invocation(dispatch_.get(), kDirSection, {Text(L"新段")})), L"True");
    EXPECT_EQ(Outcome(Invocation(dispatch_.get(), kDirKey, {Text(L"新段"), Text(L"键")})), L"True");
    const Invocation read(dispatch_.get(), kLoadKey, {Text(L"新段"), Text(L"键"), Long(64), Boolean(false)});
    EXPECT_EQ(Outcome(read), L"\"值\"");

    const std::string bytes = Bytes(file).value_or("");
    const auto count = [&](const std::string& what) {
      std::size_t found = 0;
      for (auto at = bytes.find(what); at != std::string::npos; at = bytes.find(what, at + 1)) ++found;
      return found;
    };
    EXPECT_EQ(count(c.utf16 ? wideHeader : ansiHeader), 1u) << "one header";
    if (c.utf16) {
      EXPECT_TRUE(bytes.starts_with("\xFF\xFE"));
      EXPECT_EQ(bytes.size() % 2, 0u);
      EXPECT_EQ(count(ansiHeader), 0u) << "no ANSI bytes in a UTF-16LE file";
    }
  }
}

// 数据缓冲 counts bytes of code page 936 with the closing NUL: 32,767 returns up to
// 32,766 bytes and drops a double-byte character that would be cut in half.
TEST_F(Faults, BufferSizeLimits) {
  const std::wstring longValue = L"a" + std::wstring(20000, L'数');  // 40,001 bytes
  const std::wstring fullValue(16383, L'数');                          // 32,766 bytes
  ASSERT_EQ(Invocation(dispatch_.get(), kFileName, {Text(file_)}, DISPATCH_PROPERTYPUT).status, S_OK);
  for (const auto& [key, value] : {std::pair{L"长", &longValue}, std::pair{L"满", &fullValue}}) {
    const Invocation saved(dispatch_.get(), kSavKey, {Text(L"常规"), Text(key), Text(*value), Boolean(false)});
    ASSERT_EQ(Outcome(saved), L"True");
  }

  const struct {
    LONG size;
    const wchar_t* key;
    std::wstring expected;
  } cases[] = {
      {32767, L"长", L"\"a" + std::wstring(16382, L'数') + L"\""},
      {32767, L"满", L"\"" + fullValue + L"\""},
      {1, L"用户名", L"\"\""},
      {0, L"用户名", L"error 5"},
      {-1, L"用户名", L"error 5"},
  };
  for (const auto& c : cases) {
    const Invocation read(dispatch_.get(), kLoadKey, {Text(L"常规"), Text(c.key), Long(c.size), Boolean(false)});
    const std::wstring got = Outcome(read);
    EXPECT_TRUE(got == c.expected) << "数据缓冲 " << c.size << " for " << c.key << ": " << got.size()
                                   << " characters back, " << c.expected.size() << " expected";
  }
}

}  // namespace
