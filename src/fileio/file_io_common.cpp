#include "fileio/file_io.h"

namespace fileio {

Result<std::string> ReadAll(const Path& path) {
  auto reader = Reader::Open(path);
  if (!reader) return std::unexpected(reader.error());
  std::string content;
  char buffer[64 * 1024];
  for (;;) {
    auto n = reader->Read(buffer, sizeof buffer);
    if (!n) return std::unexpected(n.error());
    if (*n == 0) return content;
    content.append(buffer, *n);
  }
}

}  // namespace fileio
