#include "fileio/file_io.h"

#include <algorithm>
#include <utility>

namespace fileio {

Result<std::string> ReadAll(const Path& path) {
  auto reader = Reader::Open(path);
  if (!reader) return std::unexpected(reader.error());
  auto size = reader->Size();
  if (!size) return std::unexpected(size.error());
  // Read straight into a string of the file's size; one byte more shows whether the
  // file grew meanwhile, and then the rest follows in chunks.
  std::string content(static_cast<std::size_t>(*size) + 1, '\0');
  std::size_t filled = 0;
  for (;;) {
    if (filled == content.size()) content.resize(content.size() + 64 * 1024);
    auto n = reader->Read(content.data() + filled, content.size() - filled);
    if (!n) return std::unexpected(n.error());
    if (*n == 0) break;
    filled += *n;
  }
  content.resize(filled);
  return content;
}

Replacement::Replacement(Replacement&& other) noexcept
    : destination_(std::move(other.destination_)),
      temp_(std::exchange(other.temp_, {})),
      file_(std::move(other.file_)),
      replaced_(other.replaced_) {}

Result<std::string> Appender::LastBytes(std::size_t count) {
  auto size = Size();
  if (!size) return std::unexpected(size.error());
  const std::uint64_t n = std::min<std::uint64_t>(count, *size);
  return ReadAt(*size - n, static_cast<std::size_t>(n));
}

}  // namespace fileio
