#pragma once
// The control's error model: an error number that a host sees as the status
// 0x800A0000 + number, with a description.

#include <cstdint>
#include <expected>
#include <string>

#include "fileio/file_io.h"

namespace profilectl {

enum class ErrorNumber : int {
  kInvalidCall = 5,
  kOverflow = 6,
  kBadFileName = 52,
  kFileNotFound = 53,
  kFileAlreadyOpen = 55,
  kPermissionDenied = 70,
  kPathFileAccess = 75,
  kPathNotFound = 76,
};

struct ControlError {
  ErrorNumber number;

  int Number() const { return static_cast<int>(number); }
  std::int32_t Status() const { return static_cast<std::int32_t>(0x800A0000u + static_cast<unsigned>(number)); }
  std::u16string Description() const;
};

template <class T>
using Outcome = std::expected<T, ControlError>;

inline std::unexpected<ControlError> Fail(ErrorNumber number) { return std::unexpected(ControlError{number}); }

// The error a host sees when a file cannot be opened.
ControlError FromFileError(fileio::Error error);

}  // namespace profilectl
