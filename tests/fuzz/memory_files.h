#pragma once
// The fuzz targets' files: fileio's interface implemented on files held in this
// process's memory (memory_file_io.cpp, linked instead of the POSIX implementation),
// so that an input costs no system calls. A file opened for reading keeps the content
// it had, as an open file does when another replaces it; an appender writes into the
// file as it is. There are no folders: every name is a file or missing.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace memory_files {

// Puts a file with these bytes under `path` (UTF-8), replacing any; `readOnly` makes
// it refuse changes as a read-only file does.
void Put(const std::string& path, std::string_view bytes, bool readOnly = false);
// The bytes of the file, or nothing when it is missing.
std::optional<std::string> Get(const std::string& path);
void Remove(const std::string& path);
// How many files there are; Clear removes them all.
std::size_t Count();
void Clear();

// The files of one input, all removed when it ends: an input sees none of the last
// one's files, and frees all it allocated (what libFuzzer's leak check counts).
class InputFiles {
 public:
  InputFiles() { Clear(); }
  ~InputFiles() { Clear(); }
  InputFiles(const InputFiles&) = delete;
  InputFiles& operator=(const InputFiles&) = delete;
};

}  // namespace memory_files
