// fileio on files in memory: see memory_files.h.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

#include "fileio/file_io.h"
#include "memory_files.h"
#include "text/codepage.h"

namespace {

struct File {
  std::string bytes;
  bool readOnly = false;
};

// An open file: the file it was opened on and, for reading, where it has got to.
struct Handle {
  std::shared_ptr<File> file;
  std::size_t at = 0;
};

std::map<fileio::Path, std::shared_ptr<File>>& Files() {
  static std::map<fileio::Path, std::shared_ptr<File>> files;
  return files;
}

std::shared_ptr<File> Find(const fileio::Path& path) {
  const auto found = Files().find(path);
  return found == Files().end() ? nullptr : found->second;
}

fileio::Result<std::shared_ptr<File>> Open(const fileio::Path& path) {
  if (!fileio::IsUsableName(path)) return std::unexpected(fileio::Error::kBadName);
  auto file = Find(path);
  if (!file) return std::unexpected(fileio::Error::kNotFound);
  return file;
}

std::intptr_t NewHandle(std::shared_ptr<File> file) {
  return reinterpret_cast<std::intptr_t>(new Handle{std::move(file)});
}
Handle& At(const fileio::FileHandle& file) { return *reinterpret_cast<Handle*>(file.get()); }

}  // namespace

namespace memory_files {

void Put(const std::string& path, std::string_view bytes, bool readOnly) {
  Files()[text::FromUtf8(path)] = std::make_shared<File>(File{std::string(bytes), readOnly});
}

std::optional<std::string> Get(const std::string& path) {
  const auto file = Find(text::FromUtf8(path));
  if (!file) return std::nullopt;
  return file->bytes;
}

void Remove(const std::string& path) { Files().erase(text::FromUtf8(path)); }
std::size_t Count() { return Files().size(); }
void Clear() { Files().clear(); }

}  // namespace memory_files

namespace fileio {

Error ErrorFromSystem(unsigned long) { return Error::kOther; }

bool FileHandle::Close() noexcept {
  if (value_ != kNone) delete reinterpret_cast<Handle*>(release());
  return true;
}

bool IsFile(const Path& path) { return IsUsableName(path) && Find(path) != nullptr; }

Result<Reader> Reader::Open(const Path& path) {
  auto file = ::Open(path);
  if (!file) return std::unexpected(file.error());
  return Reader(FileHandle(NewHandle(std::move(*file))));
}

Result<std::size_t> Reader::Read(char* buffer, std::size_t size) {
  Handle& h = At(file_);
  const std::size_t n = std::min(size, h.file->bytes.size() - std::min(h.at, h.file->bytes.size()));
  if (n > 0) std::memcpy(buffer, h.file->bytes.data() + h.at, n);
  h.at += n;
  return n;
}
Result<std::uint64_t> Reader::Size() { return At(file_).file->bytes.size(); }

// A replaced file is a new file under the old name: readers of the old one keep it.
Status ReplaceContent(const Path& path, std::string_view content, bool) {
  if (!IsUsableName(path)) return std::unexpected(Error::kBadName);
  auto& slot = Files()[path];
  if (slot && slot->readOnly) return std::unexpected(Error::kReadOnly);
  slot = std::make_shared<File>(File{std::string(content), false});
  return {};
}

Result<Appender> Appender::Open(const Path& path) {
  auto file = ::Open(path);
  if (!file) return std::unexpected(file.error());
  if ((*file)->readOnly) return std::unexpected(Error::kAccessDenied);
  return Appender(FileHandle(NewHandle(std::move(*file))));
}

Result<std::uint64_t> Appender::Size() { return At(file_).file->bytes.size(); }
Result<std::string> Appender::ReadAt(std::uint64_t offset, std::size_t count) {
  const std::string& bytes = At(file_).file->bytes;
  if (offset >= bytes.size()) return std::string();
  return bytes.substr(static_cast<std::size_t>(offset), count);
}
Status Appender::Write(std::string_view bytes) {
  At(file_).file->bytes.append(bytes);
  return {};
}

Status CreateIfMissing(const Path& path) {
  if (!IsUsableName(path)) return std::unexpected(Error::kBadName);
  auto& slot = Files()[path];
  if (!slot) slot = std::make_shared<File>();
  return {};
}

}  // namespace fileio
