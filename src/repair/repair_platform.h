#pragma once
// What the repair run needs from its surroundings. The main window lends its message
// box; the platform binding (Win32, or fakes in tests) provides the rest. Each seam is
// small so that a fake is a few lines.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "repair/file_copy.h"

namespace repair {

// The main window's message box.
class Prompter {
 public:
  virtual ~Prompter() = default;
  // Shows a modal message box and returns the button pressed (IDYES = 6, ...).
  virtual int ShowMessage(std::u16string_view text, std::u16string_view title, int style) = 0;
};

// A process the run started. Dropping it closes its handle; the process runs on.
class StartedProcess {
 public:
  virtual ~StartedProcess() = default;
  // Waits at most `timeout` (zero: only looks) for the process to end; its exit code,
  // or nothing while it still runs.
  virtual std::optional<std::uint32_t> WaitForExit(std::chrono::milliseconds timeout) = 0;
};

// A file version from a version resource: major, minor, build and revision, 16 bits
// each, major in the highest bits, so that versions compare as numbers.
using FileVersion = std::uint64_t;

constexpr FileVersion MakeFileVersion(std::uint16_t major, std::uint16_t minor, std::uint16_t build,
                                      std::uint16_t revision) {
  return (FileVersion{major} << 48) | (FileVersion{minor} << 32) | (FileVersion{build} << 16) | revision;
}

class RepairPlatform {
 public:
  using Clock = std::chrono::steady_clock;

  virtual ~RepairPlatform() = default;
  // The folder of the running executable, as the platform reports it.
  virtual std::u16string ApplicationFolder() = 0;
  // FileCopyEx.
  virtual CopyStatus Copy(const fileio::Path& SouFileName, const fileio::Path& DestFileName) = 0;
  // RemoveAsideFiles: what earlier copies renamed aside from the destination.
  virtual void RemoveAsideFiles(const fileio::Path& destination) = 0;
  // RegisterAtNextLogOn, for a component that is replaced at the restart; false when
  // it cannot be scheduled.
  virtual bool RegisterAtNextLogOn(const fileio::Path& destination) = 0;
  // The file version of the file's version resource; nothing when the file is missing
  // or carries none.
  virtual std::optional<FileVersion> ReadFileVersion(const fileio::Path& path) = 0;
  // Starts the system's regsvr32 with `commandLine` (a row's RegisterCommand) and the
  // show-window state and returns at once; nothing when it could not be started.
  virtual std::unique_ptr<StartedProcess> StartProcess(std::u16string_view commandLine, int showWindow) = 0;
  virtual Clock::time_point Now() = 0;
};

}  // namespace repair
