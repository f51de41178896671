// FileCopyEx and the version resource reader on the Win32 binding.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "repair/file_copy.h"
#include "repair/repair_win32_binding.h"
#include "install_faults.h"
#include "win32/module.h"
#include "support/temp_dir.h"
#include "wine/support/files.h"
#include "wine/support/program.h"

namespace repair {
namespace {

namespace fs = std::filesystem;
using fileio::Error;
using Side = CopyFailure::Side;
using testing_support::TempDir;
using wine_test::HoldOpen;
using wine_test::Names;
using wine_test::Path16;
using wine_test::ReadBytes;
using wine_test::WriteBytes;

std::string Bytes(std::size_t n, char first) {
  std::string bytes(n, '\0');
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>(first + i * 7 + (i >> 9));
  return bytes;
}

TEST(FileCopyExWin32, CopiesWithPathsMixingSeparators) {
  struct Case {
    const char* name;
    std::string source;
    std::optional<std::string> destination;
  };
  const std::vector<Case> cases = {
      {"new destination", Bytes(3 * 1024 * 1024 + 11, 1), std::nullopt},
      {"empty source", "", std::nullopt},
      {"longer destination shrinks", "short", Bytes(200000, 2)},
      {"same length, other bytes", Bytes(5000, 3), Bytes(5000, 4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    fs::create_directories(dir.path() / "ocx");
    fs::create_directories(dir.path() / "System32");
    WriteBytes(dir.path() / "ocx" / "image.ocx", c.source);
    if (c.destination) WriteBytes(dir.path() / "System32" / "image.ocx", *c.destination);
    // As the component table writes them: "\" inside the folders, "/" before the name.
    const std::wstring root = dir.path().wstring();
    ASSERT_TRUE(FileCopyEx(Path16(root + L"\\ocx\\image.ocx"), Path16(root + L"\\System32/image.ocx")));
    EXPECT_EQ(ReadBytes(dir.path() / "System32" / "image.ocx"), c.source);
    EXPECT_EQ(Names(dir.path() / "System32"), std::set<std::wstring>{L"image.ocx"});
  }
}

struct FileStamp {
  FILETIME written;
  DWORD indexHigh, indexLow;
};

FileStamp Stamp(const fs::path& path) {
  const win::unique_handle file = HoldOpen(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  BY_HANDLE_FILE_INFORMATION info{};
  EXPECT_TRUE(file && GetFileInformationByHandle(file.get(), &info));
  return {info.ftLastWriteTime, info.nFileIndexHigh, info.nFileIndexLow};
}

TEST(FileCopyExWin32, IdenticalDestinationIsNotWritten) {
  TempDir dir;
  const std::string content = Bytes(2 * 1024 * 1024 + 5, 5);
  WriteBytes(dir.path() / "source.ocx", content);
  WriteBytes(dir.path() / "dest.ocx", content);
  {
    // An old time stamp that any write would change.
    const win::unique_handle file = HoldOpen(dir.path() / "dest.ocx", FILE_WRITE_ATTRIBUTES, 0);
    FILETIME old{0xD53E8000, 0x01BF53EB};  // 2000-01-01
    ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &old));
  }
  const FileStamp before = Stamp(dir.path() / "dest.ocx");
  ASSERT_TRUE(FileCopyEx(Path16(dir.path() / "source.ocx"), Path16(dir.path() / "dest.ocx")));
  const FileStamp after = Stamp(dir.path() / "dest.ocx");
  EXPECT_EQ(CompareFileTime(&before.written, &after.written), 0);
  EXPECT_EQ(before.indexLow, after.indexLow);
  EXPECT_EQ(before.indexHigh, after.indexHigh);

  // Onto itself: nothing changes either.
  ASSERT_TRUE(FileCopyEx(Path16(dir.path() / "dest.ocx"), Path16(dir.path() / "dest.ocx")));
  EXPECT_EQ(ReadBytes(dir.path() / "dest.ocx"), content);
  EXPECT_EQ(Names(dir.path()), (std::set<std::wstring>{L"dest.ocx", L"source.ocx"}));
}

// Without the rights to schedule the replacement for the restart.
TEST(FileCopyExWin32, DestinationHeldOpenWithoutSharingStaysAsItWas) {
  TempDir dir;
  WriteBytes(dir.path() / "source.ocx", "the new component");
  WriteBytes(dir.path() / "dest.ocx", "the installed component");
  {
    const win::unique_handle holder = HoldOpen(dir.path() / "dest.ocx", GENERIC_READ | GENERIC_WRITE, 0);
    ASSERT_TRUE(holder);
    FaultyInstallCalls calls;
    calls.refuseSchedules = true;
    const CopyStatus status = FileCopyEx(Path16(dir.path() / "source.ocx"), Path16(dir.path() / "dest.ocx"), calls);
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error(), (CopyFailure{Side::kDestination, Error::kSharingViolation}));
  }
  EXPECT_EQ(ReadBytes(dir.path() / "dest.ocx"), "the installed component");
  EXPECT_EQ(Names(dir.path()), (std::set<std::wstring>{L"dest.ocx", L"source.ocx"}));
}

TEST(FileCopyExWin32, ReadOnlyDestinationIsRefusedAndStaysAsItWas) {
  TempDir dir;
  WriteBytes(dir.path() / "source.ocx", "the new component");
  WriteBytes(dir.path() / "dest.ocx", "the installed component");
  const std::wstring destination = (dir.path() / "dest.ocx").wstring();
  ASSERT_TRUE(SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_READONLY));
  const CopyStatus status = FileCopyEx(Path16(dir.path() / "source.ocx"), Path16(dir.path() / "dest.ocx"));
  ASSERT_FALSE(status);
  EXPECT_EQ(status.error(), (CopyFailure{Side::kDestination, Error::kReadOnly}));
  EXPECT_EQ(GetFileAttributesW(destination.c_str()) & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
  SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadBytes(dir.path() / "dest.ocx"), "the installed component");
  EXPECT_EQ(Names(dir.path()), (std::set<std::wstring>{L"dest.ocx", L"source.ocx"}));
}

TEST(FileCopyExWin32, SourceHeldOpenForWritingIsNotCopied) {
  TempDir dir;
  WriteBytes(dir.path() / "source.ocx", "being written");
  WriteBytes(dir.path() / "dest.ocx", "installed");
  const win::unique_handle writer = HoldOpen(dir.path() / "source.ocx", GENERIC_WRITE, FILE_SHARE_READ);
  ASSERT_TRUE(writer);
  const CopyStatus status = FileCopyEx(Path16(dir.path() / "source.ocx"), Path16(dir.path() / "dest.ocx"));
  ASSERT_FALSE(status);
  EXPECT_EQ(status.error(), (CopyFailure{Side::kSource, Error::kSharingViolation}));
  EXPECT_EQ(ReadBytes(dir.path() / "dest.ocx"), "installed");
}

TEST(FileCopyExWin32, FailuresLeaveTheDestinationUntouched) {
  struct Case {
    const char* name;
    const wchar_t* source;
    const wchar_t* destination;
    CopyFailure failure;
  };
  const Case cases[] = {
      {"missing source", L"\\ocx\\missing.ocx", L"\\dest.ocx", {Side::kSource, Error::kNotFound}},
      {"missing ocx folder", L"\\nowhere\\image.ocx", L"\\dest.ocx", {Side::kSource, Error::kPathNotFound}},
      {"missing destination folder", L"\\ocx\\image.ocx", L"\\nowhere/dest.ocx",
       {Side::kDestination, Error::kPathNotFound}},
      {"folder where the destination should be", L"\\ocx\\image.ocx", L"\\folder",
       {Side::kDestination, Error::kIsDirectory}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    fs::create_directories(dir.path() / "ocx");
    fs::create_directories(dir.path() / "folder");
    WriteBytes(dir.path() / "ocx" / "image.ocx", "component");
    WriteBytes(dir.path() / "dest.ocx", "installed");
    const auto before = Names(dir.path());
    const std::wstring root = dir.path().wstring();
    const CopyStatus status = FileCopyEx(Path16(root + c.source), Path16(root + c.destination));
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error(), c.failure);
    EXPECT_EQ(ReadBytes(dir.path() / "dest.ocx"), "installed");
    EXPECT_TRUE(fs::is_empty(dir.path() / "folder"));
    EXPECT_EQ(Names(dir.path()), before);
  }
}

TEST(VersionResource, ReadsTheFixedFileVersion) {
  const fs::path folder = wine_test::ProgramFolder();
  TempDir dir;
  WriteBytes(dir.path() / "plain.ocx", "no version resource here");
  struct Case {
    fs::path file;
    std::optional<FileVersion> version;
  };
  const Case cases[] = {
      {folder / "version_old.dll", MakeFileVersion(1, 2, 3, 4)},
      {folder / "version_new.dll", MakeFileVersion(2, 0, 0, 1)},
      {dir.path() / "plain.ocx", std::nullopt},
      {dir.path() / "missing.ocx", std::nullopt},
  };
  const auto platform = MakeWin32RepairPlatform();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file.string());
    FileVersion version = 0;
    EXPECT_EQ(SUCCEEDED(win::GetFileVersion(Path16(c.file), version)), c.version.has_value());
    if (c.version) {
      EXPECT_EQ(version, *c.version);
    }
    EXPECT_EQ(platform->ReadFileVersion(Path16(c.file)), c.version);
  }
}

}  // namespace
}  // namespace repair
