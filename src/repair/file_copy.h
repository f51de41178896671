#pragma once
// FileCopyEx: the repair tool's only copy routine.
//
// When the destination already holds exactly the source's bytes, nothing is written.
// Otherwise the source's bytes go into a fileio::Replacement, a new temporary file in
// the destination's folder, which then replaces the destination in one step
// (MoveFileExW with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH on Windows,
// rename on POSIX; a link in the destination's place is replaced itself). On
// failure the temporary file is removed and the destination is left as it was; no file
// stays open either way. The bytes pass through a buffer of bounded size, so memory
// does not grow with the file. Both paths go to the platform exactly as given, whatever
// mix of "\" and "/" they hold.

#include <expected>

#include "fileio/file_io.h"

namespace repair {

// Which of the two files a copy failed on, and why.
struct CopyFailure {
  enum class Side { kSource, kDestination };
  Side side;
  fileio::Error error;

  friend bool operator==(const CopyFailure&, const CopyFailure&) = default;
};

using CopyStatus = std::expected<void, CopyFailure>;

[[nodiscard]] CopyStatus FileCopyEx(const fileio::Path& SouFileName, const fileio::Path& DestFileName) noexcept;

}  // namespace repair
