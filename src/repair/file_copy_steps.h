#pragma once
// What the two platform copies of FileCopyEx (file_copy_posix.cpp, file_copy_win32.cpp)
// share: the size of their buffers, their failure value, the platform step that
// file_copy.cpp wraps and the install step that ends it.
#include <cstddef>
#include <expected>

#include "repair/file_copy.h"

namespace repair::copy_steps {

// Each copy and each comparison goes through buffers of this size.
inline constexpr std::size_t kChunk = std::size_t{1} << 20;

inline std::unexpected<CopyFailure> Fail(CopyFailure::Side side, fileio::Error error) noexcept {
  return std::unexpected(CopyFailure{side, error});
}

// The copy itself, in the platform's file calls. May throw std::bad_alloc.
CopyStatus CopyOnPlatform(const fileio::Path& source, const fileio::Path& destination, InstallCalls& calls);

// Puts `newFile`, complete and closed, in the place of `destination`: in one step, or
// past a destination in use as file_copy.h describes. Unless it was left for the
// restart, `newFile` is gone afterwards, moved or removed.
CopyStatus InstallNewFile(InstallCalls& calls, const fileio::Path& newFile, const fileio::Path& destination);

}  // namespace repair::copy_steps
