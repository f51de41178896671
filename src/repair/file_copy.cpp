#include <new>

#include "repair/file_copy.h"
#include "repair/file_copy_steps.h"

namespace repair {

CopyStatus FileCopyEx(const fileio::Path& SouFileName, const fileio::Path& DestFileName) noexcept {
  try {
    return copy_steps::CopyOnPlatform(SouFileName, DestFileName);
  } catch (const std::bad_alloc&) {
    return copy_steps::Fail(CopyFailure::Side::kSource, fileio::Error::kOther);
  }
}

}  // namespace repair
