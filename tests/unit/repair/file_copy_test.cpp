#include "repair/file_copy.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>

#include "support/temp_dir.h"
#include "text/codepage.h"

namespace repair {
namespace {

namespace fs = std::filesystem;
using fileio::Error;
using Side = CopyFailure::Side;
using testing_support::TempDir;

fileio::Path P(const std::string& utf8) { return text::FromUtf8(utf8); }

std::string RandomBytes(std::size_t n, unsigned stream) {
  std::mt19937 random(stream);
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

struct stat Stat(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st;
}

TEST(FileCopyEx, CopiesOntoANewOrExistingDestination) {
  struct Case {
    const char* name;
    std::string source;
    std::optional<std::string> destination;  // before the copy; nothing: missing
  };
  const std::string big = RandomBytes(300 * 1024 + 7, 1);
  const std::vector<Case> cases = {
      {"new destination", big, std::nullopt},
      {"bytes with NUL and CR LF", std::string("a\0b\r\nc\x1a", 7), std::nullopt},
      {"empty source, new destination", "", std::nullopt},
      {"empty source over content", "", "old content"},
      {"longer destination shrinks", "short", RandomBytes(100000, 2)},
      {"shorter destination grows", big, "x"},
      {"same length, other bytes", RandomBytes(4096, 3), RandomBytes(4096, 4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string source = dir.Write("source.ocx", c.source);
    const std::string destination = dir.File("dest.ocx");
    if (c.destination) dir.Write("dest.ocx", *c.destination);
    ASSERT_TRUE(FileCopyEx(P(source), P(destination)));
    EXPECT_EQ(dir.Read("dest.ocx"), c.source);
    EXPECT_EQ(dir.Read("source.ocx"), c.source);
    // Nothing else is left in the folder.
    EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"source.ocx", "dest.ocx"}));
  }
}

TEST(FileCopyEx, CopyOntoItselfLeavesTheFileAsItWas) {
  TempDir dir;
  const std::string content = RandomBytes(5000, 5);
  const std::string path = dir.Write("self.ocx", content);
  const ino_t inode = Stat(path).st_ino;
  ASSERT_TRUE(FileCopyEx(P(path), P(path)));
  EXPECT_EQ(dir.Read("self.ocx"), content);
  EXPECT_EQ(Stat(path).st_ino, inode);
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{"self.ocx"});
}

TEST(FileCopyEx, IdenticalDestinationIsNotWritten) {
  TempDir dir;
  const std::string content = RandomBytes(2 * 1024 * 1024 + 3, 6);  // more than one compare chunk
  const std::string source = dir.Write("source.ocx", content);
  const std::string destination = dir.Write("dest.ocx", content);
  // An old modification time that any write would change.
  const struct timespec old[2] = {{946684800, 0}, {946684800, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, destination.c_str(), old, 0), 0);
  const struct stat before = Stat(destination);

  ASSERT_TRUE(FileCopyEx(P(source), P(destination)));
  const struct stat after = Stat(destination);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mtim.tv_sec, 946684800);
  EXPECT_EQ(dir.Read("dest.ocx"), content);
}

TEST(FileCopyEx, DestinationDifferingOnlyInTheLastByteIsReplaced) {
  TempDir dir;
  std::string content = RandomBytes(2 * 1024 * 1024 + 3, 7);
  const std::string source = dir.Write("source.ocx", content);
  std::string almost = content;
  almost.back() ^= 1;
  const std::string destination = dir.Write("dest.ocx", almost);
  ASSERT_TRUE(FileCopyEx(P(source), P(destination)));
  EXPECT_EQ(dir.Read("dest.ocx"), content);
}

TEST(FileCopyEx, ReplacedFileKeepsItsPermissionBits) {
  TempDir dir;
  const std::string source = dir.Write("source.ocx", "new");
  const std::string destination = dir.Write("dest.ocx", "old");
  ASSERT_EQ(chmod(destination.c_str(), 0640), 0);
  ASSERT_TRUE(FileCopyEx(P(source), P(destination)));
  EXPECT_EQ(Stat(destination).st_mode & 07777, 0640u);
  EXPECT_EQ(dir.Read("dest.ocx"), "new");
}

TEST(FileCopyEx, FailuresLeaveTheDestinationUntouched) {
  struct Case {
    const char* name;
    std::string source, destination;  // inside the folder
    CopyFailure failure;
  };
  const std::vector<Case> cases = {
      {"missing source", "missing.ocx", "dest.ocx", {Side::kSource, Error::kNotFound}},
      {"missing source folder", "ocx/missing.ocx", "dest.ocx", {Side::kSource, Error::kNotFound}},
      {"source is a folder", "folder", "dest.ocx", {Side::kSource, Error::kIsDirectory}},
      {"missing destination folder", "source.ocx", "nowhere/dest.ocx", {Side::kDestination, Error::kPathNotFound}},
      {"folder where the destination should be", "source.ocx", "folder", {Side::kDestination, Error::kIsDirectory}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    dir.Write("source.ocx", "component");
    dir.Write("dest.ocx", "installed");
    fs::create_directory(dir.path() / "folder");
    const auto before = Names(dir.path());

    const CopyStatus status = FileCopyEx(P(dir.File(c.source)), P(dir.File(c.destination)));
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error(), c.failure);
    EXPECT_EQ(dir.Read("dest.ocx"), "installed");
    EXPECT_TRUE(fs::is_directory(dir.path() / "folder"));
    EXPECT_TRUE(fs::is_empty(dir.path() / "folder"));
    EXPECT_EQ(Names(dir.path()), before);  // no temporary file left behind
  }
}

TEST(FileCopyEx, UnwritableFolderIsNoRightsAndLeavesNothing) {
  if (geteuid() == 0) GTEST_SKIP() << "root may write any folder";
  TempDir dir;
  const std::string source = dir.Write("source.ocx", "component");
  fs::create_directory(dir.path() / "system");
  const std::string destination = dir.File("system/dest.ocx");
  {
    std::ofstream(destination) << "installed";
  }
  fs::permissions(dir.path() / "system", fs::perms::owner_read | fs::perms::owner_exec);
  const CopyStatus status = FileCopyEx(P(source), P(destination));
  fs::permissions(dir.path() / "system", fs::perms::owner_all);
  ASSERT_FALSE(status);
  EXPECT_EQ(status.error(), (CopyFailure{Side::kDestination, Error::kAccessDenied}));
  EXPECT_EQ(dir.Read("system/dest.ocx"), "installed");
  EXPECT_EQ(Names(dir.path() / "system"), std::set<std::string>{"dest.ocx"});
}

TEST(FileCopyEx, UnusableNamesAreRefused) {
  TempDir dir;
  const std::string source = dir.Write("source.ocx", "component");
  EXPECT_EQ(FileCopyEx(u"", P(dir.File("dest.ocx"))).error(), (CopyFailure{Side::kSource, Error::kBadName}));
  EXPECT_EQ(FileCopyEx(P(source), fileio::Path(u"dest\0.ocx", 9)).error(),
            (CopyFailure{Side::kDestination, Error::kBadName}));
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{"source.ocx"});
}

}  // namespace
}  // namespace repair
