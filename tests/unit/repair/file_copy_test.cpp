#include "repair/file_copy.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <thread>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

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

// A link in the destination's place is replaced by the component itself, as Windows
// replaces a link; the file it named stays as it was.
TEST(FileCopyEx, LinkAtTheDestinationIsReplacedAndItsTargetKept) {
  TempDir dir;
  const std::string source = dir.Write("source.ocx", "component");
  dir.Write("target.ocx", "installed");
  const std::string destination = dir.File("dest.ocx");
  ASSERT_EQ(symlink("target.ocx", destination.c_str()), 0);
  ASSERT_TRUE(FileCopyEx(P(source), P(destination)));
  struct stat st {};
  ASSERT_EQ(lstat(destination.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(dir.Read("dest.ocx"), "component");
  EXPECT_EQ(dir.Read("target.ocx"), "installed");
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"dest.ocx", "source.ocx", "target.ocx"}));
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

TEST(FileCopyEx, ReadOnlyDestinationIsRefusedUnlessItAlreadyHoldsTheBytes) {
  TempDir dir;
  const std::string source = dir.Write("source.ocx", "component");
  const std::string destination = dir.Write("dest.ocx", "installed");
  fs::permissions(destination, fs::perms::owner_read | fs::perms::group_read);
  EXPECT_EQ(FileCopyEx(P(source), P(destination)).error(), (CopyFailure{Side::kDestination, Error::kReadOnly}));
  EXPECT_EQ(dir.Read("dest.ocx"), "installed");
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"dest.ocx", "source.ocx"}));

  const std::string same = dir.Write("same.ocx", "component");
  fs::permissions(same, fs::perms::owner_read);
  EXPECT_TRUE(FileCopyEx(P(source), P(same)));
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

// Only files are copied or replaced: a device or a pipe on either side is refused at
// once, never read without end or replaced by a file.
TEST(FileCopyEx, DevicesAndPipesAreRefused) {
  TempDir dir;
  const std::string source = dir.Write("source.ocx", "component");
  dir.Write("dest.ocx", "installed");
  const std::string pipe = dir.File("pipe");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);

  EXPECT_EQ(FileCopyEx(u"/dev/zero", P(dir.File("dest.ocx"))).error(), (CopyFailure{Side::kSource, Error::kOther}));
  EXPECT_EQ(FileCopyEx(P(pipe), P(dir.File("dest.ocx"))).error(), (CopyFailure{Side::kSource, Error::kOther}));
  EXPECT_EQ(FileCopyEx(P(source), P(pipe)).error(), (CopyFailure{Side::kDestination, Error::kOther}));
  EXPECT_TRUE(S_ISFIFO(Stat(pipe).st_mode));
  EXPECT_EQ(dir.Read("dest.ocx"), "installed");
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"dest.ocx", "pipe", "source.ocx"}));
}

// A disk that fills up during the copy: the copy runs in a child process whose file
// size limit is far below the source's length.
TEST(FileCopyEx, FullDiskLeavesTheDestinationAndNoTemporaryFile) {
  TempDir dir;
  const std::string source = dir.Write("source.ocx", RandomBytes(256 * 1024, 8));
  const std::string destination = dir.Write("dest.ocx", "installed");
  const auto copyOnAFullDisk = [&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit limit = {64 * 1024, 64 * 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    const CopyStatus status = FileCopyEx(P(source), P(destination));
    const bool diskFull = !status && status.error() == CopyFailure{Side::kDestination, Error::kDiskFull};
    std::_Exit(diskFull ? 0 : 1);
  };
  EXPECT_EXIT(copyOnAFullDisk(), testing::ExitedWithCode(0), "");
  EXPECT_EQ(dir.Read("dest.ocx"), "installed");
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"dest.ocx", "source.ocx"}));
}

// A source whose length is not what it was when it was opened was being written: it is
// not installed. A file of /proc reports no length and yet gives bytes.
TEST(FileCopyEx, SourceChangingLengthIsNotInstalled) {
  TempDir dir;
  const std::string destination = dir.Write("dest.ocx", "installed");
  ASSERT_EQ(Stat("/proc/self/status").st_size, 0);
  EXPECT_EQ(FileCopyEx(u"/proc/self/status", P(destination)).error(),
            (CopyFailure{Side::kSource, Error::kSharingViolation}));
  EXPECT_EQ(dir.Read("dest.ocx"), "installed");
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{"dest.ocx"});
}

// While another process keeps appending to the source, every copy either fails and
// leaves the destination as it was, or installs exactly the bytes the source held
// from its start: never a mix, never a temporary file.
TEST(FileCopyEx, SourceBeingAppendedToGivesTheOldFileOrAWholeNewOne) {
  TempDir dir;
  constexpr std::size_t kStart = 8 * 1024 * 1024;
  const std::string source = dir.Write("source.ocx", std::string(kStart, 'a'));
  const std::string destination = dir.File("dest.ocx");
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    const int fd = open(source.c_str(), O_WRONLY | O_APPEND);
    while (!stop) (void)!write(fd, "b", 1);
    close(fd);
  });
  for (int i = 0; i < 10; ++i) {
    dir.Write("dest.ocx", "installed");
    const CopyStatus status = FileCopyEx(P(source), P(destination));
    const std::string installed = dir.Read("dest.ocx");
    if (status) {
      ASSERT_GE(installed.size(), kStart);
      EXPECT_EQ(installed.find_first_not_of('a'), installed.size() == kStart ? std::string::npos : kStart);
      EXPECT_EQ(installed.find_first_not_of('b', kStart), std::string::npos);
    } else {
      EXPECT_EQ(status.error(), (CopyFailure{Side::kSource, Error::kSharingViolation}));
      EXPECT_EQ(installed, "installed");
    }
    EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"dest.ocx", "source.ocx"}));
  }
  stop = true;
  writer.join();
}

TEST(FileCopyEx, UnusableNamesAreRefused) {
  TempDir dir;
  const std::string source = dir.Write("source.ocx", "component");
  EXPECT_EQ(FileCopyEx(u"", P(dir.File("dest.ocx"))).error(), (CopyFailure{Side::kSource, Error::kBadName}));
  EXPECT_EQ(FileCopyEx(P(source), fileio::Path(u"dest\0.ocx", 9)).error(),
            (CopyFailure{Side::kDestination, Error::kBadName}));
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{"source.ocx"});
}

// The real POSIX calls, with the answers Windows gives for a file that a running
// program holds: it cannot be replaced or deleted, and it can be renamed only when the
// program lets it (a loaded library does). The restart's schedule is kept here.
struct HeldFiles : InstallCalls {
  std::set<std::string> held;  // paths, as UTF-8
  bool renameAllowed = true, canSchedule = true, moveFailsAfterRename = false;
  std::vector<std::string> calls;  // "rename A B", "delete at restart A", "replace at restart A B"

  InstallCalls& real = SystemInstallCalls();
  bool renamed = false;

  bool Exists(const fileio::Path& path) override { return real.Exists(path); }
  fileio::Status Rename(const fileio::Path& from, const fileio::Path& to) override {
    calls.push_back("rename " + text::ToUtf8(from) + " " + text::ToUtf8(to));
    const bool isHeld = held.erase(text::ToUtf8(from)) > 0;
    if (isHeld && !renameAllowed) {
      held.insert(text::ToUtf8(from));
      return std::unexpected(Error::kSharingViolation);
    }
    if (isHeld) held.insert(text::ToUtf8(to));  // the hold goes with the file
    renamed = true;
    return real.Rename(from, to);
  }
  fileio::Status MoveOver(const fileio::Path& from, const fileio::Path& to) override {
    if (held.contains(text::ToUtf8(to))) return std::unexpected(Error::kSharingViolation);
    if (moveFailsAfterRename && renamed) return std::unexpected(Error::kDiskFull);
    return real.MoveOver(from, to);
  }
  fileio::Status Delete(const fileio::Path& path) override {
    if (held.contains(text::ToUtf8(path))) return std::unexpected(Error::kAccessDenied);
    return real.Delete(path);
  }
  fileio::Status DeleteAtRestart(const fileio::Path& path) override {
    calls.push_back("delete at restart " + text::ToUtf8(path));
    if (!canSchedule) return std::unexpected(Error::kAccessDenied);
    return {};
  }
  fileio::Status ReplaceAtRestart(const fileio::Path& from, const fileio::Path& to) override {
    calls.push_back("replace at restart " + text::ToUtf8(from) + " " + text::ToUtf8(to));
    if (!canSchedule) return std::unexpected(Error::kAccessDenied);
    return {};
  }
  std::vector<fileio::Path> AsideFiles(const fileio::Path& destination) override {
    return real.AsideFiles(destination);
  }
  unsigned long ProcessId() override { return 0x4d2; }
};

TEST(FileCopyEx, DestinationInUseIsRenamedAsideOrLeftForTheRestart) {
  struct Case {
    const char* name;
    bool renameAllowed, canSchedule, moveFails;
    CopyStatus status;
    const char* installed;      // dest.ocx afterwards
    const char* asideHolds;     // the renamed file, when one is left
    bool newFileWaits;          // the new file waits beside it for the restart
    std::vector<std::string> scheduled;  // in the order made, with the folder as "D"
  };
  const CopyFailure inUse{Side::kDestination, Error::kSharingViolation};
  const Case cases[] = {
      {"renamed aside", true, true, false, CopyOutcome::kReplacedInUse, "new", "old", false,
       {"rename D/dest.ocx ASIDE", "delete at restart ASIDE"}},
      {"rename refused", false, true, false, CopyOutcome::kAtRestart, "old", nullptr, true,
       {"rename D/dest.ocx ASIDE", "replace at restart NEW D/dest.ocx"}},
      {"rename and schedule refused", false, false, false, std::unexpected(inUse), "old", nullptr, false,
       {"rename D/dest.ocx ASIDE", "replace at restart NEW D/dest.ocx"}},
      {"no rights to schedule the deletion", true, false, false, std::unexpected(inUse), "old", nullptr, false,
       {"rename D/dest.ocx ASIDE", "delete at restart ASIDE", "rename ASIDE D/dest.ocx"}},
      {"the move into place fails", true, true, true,
       std::unexpected(CopyFailure{Side::kDestination, Error::kDiskFull}), "old", nullptr, false,
       {"rename D/dest.ocx ASIDE", "delete at restart ASIDE", "rename ASIDE D/dest.ocx"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string source = dir.Write("source.ocx", "new");
    const std::string destination = dir.Write("dest.ocx", "old");
    HeldFiles calls;
    calls.held = {destination};
    calls.renameAllowed = c.renameAllowed;
    calls.canSchedule = c.canSchedule;
    calls.moveFailsAfterRename = c.moveFails;

    EXPECT_EQ(FileCopyEx(P(source), P(destination), calls), c.status);
    EXPECT_EQ(dir.Read("dest.ocx"), c.installed);

    // The aside name is of the temporary files' family, with this process's id.
    ASSERT_FALSE(calls.calls.empty());
    const std::string first = calls.calls.front();
    const std::string aside = first.substr(first.rfind(' ') + 1);
    EXPECT_TRUE(aside.starts_with(destination + ".~old-4d2-") && aside.ends_with(".tmp")) << aside;
    std::set<std::string> names = {"dest.ocx", "source.ocx"};
    if (c.asideHolds) {
      names.insert(fs::path(aside).filename().string());
      EXPECT_EQ(dir.Read(fs::path(aside).filename().string()), c.asideHolds);
      EXPECT_TRUE(calls.held.contains(aside));  // the running program keeps the old file
    }
    // The new file the restart is to move, as scheduled.
    std::string waiting;
    for (const std::string& call : calls.calls)
      if (call.starts_with("replace at restart ")) waiting = call.substr(19, call.rfind(' ') - 19);
    if (c.newFileWaits) {
      ASSERT_FALSE(waiting.empty());
      EXPECT_EQ(dir.Read(fs::path(waiting).filename().string()), "new");
      names.insert(fs::path(waiting).filename().string());
    }
    EXPECT_EQ(Names(dir.path()), names);

    std::vector<std::string> made;
    for (std::string call : calls.calls) {
      for (const auto& [from, to] : {std::pair{aside, std::string("ASIDE")}, std::pair{waiting, std::string("NEW")},
                                     std::pair{dir.path().string(), std::string("D")}})
        for (std::size_t at; !from.empty() && (at = call.find(from)) != std::string::npos;) call.replace(at, from.size(), to);
      made.push_back(call);
    }
    EXPECT_EQ(made, c.scheduled);
  }
}

TEST(RemoveAsideFiles, DeletesLeftoversAndSchedulesThoseStillHeld) {
  TempDir dir;
  const std::string destination = dir.Write("dest.ocx", "component");
  const std::string free = dir.Write("dest.ocx.~old-1f-0.tmp", "old");
  const std::string held = dir.Write("dest.ocx.~old-2e-5.tmp", "older");
  // Not renamed aside from this destination: left alone.
  for (const char* other : {"dest.ocx.~1f-0.tmp", "dest.ocx.~old-.txt", "other.ocx.~old-1f-0.tmp"}) dir.Write(other, "x");
  HeldFiles calls;
  calls.held = {held};
  RemoveAsideFiles(P(destination), calls);
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"dest.ocx", "dest.ocx.~old-2e-5.tmp", "dest.ocx.~1f-0.tmp",
                                                      "dest.ocx.~old-.txt", "other.ocx.~old-1f-0.tmp"}));
  EXPECT_EQ(calls.calls, std::vector<std::string>{"delete at restart " + held});
}

}  // namespace
}  // namespace repair
