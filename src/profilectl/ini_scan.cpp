#include "profilectl/ini_scan.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "text/codepage.h"

namespace profilectl::inimd {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// What the scans need to know of one line, gathered while its bytes stream past in
// pieces of any size, so that no line is ever held whole.
class LineFacts {
 public:
  explicit LineFacts(std::string_view key = {})
      : key_(key), keyCanMatch_(key.empty() || !IsBlank(key.back())) {}

  void Add(std::string_view piece) {
    if (piece.empty()) return;
    if (length_ == 0) first_ = piece.front();
    if (!hasEquals_) TrackKey(piece);
    if (first_ == '[') TrackLastCharacter(piece);
    length_ += piece.size();
  }

  void Reset() { *this = LineFacts(key_); }

  bool HasEquals() const { return hasEquals_; }
  bool IsSectionLine() const { return length_ > 0 && first_ == '[' && lastIsBracket_; }
  // The text before the first "=", without its trailing blanks and tabs, is the key.
  bool KeyMatches() const { return hasEquals_ && keyCanMatch_ && beforeEqualsIsKey_; }

 private:
  // Before the first "=" the line must be the key followed by nothing but blanks.
  void TrackKey(std::string_view piece) {
    const auto equals = piece.find('=');
    const std::string_view before = piece.substr(0, equals);
    for (std::size_t i = 0; i < before.size() && beforeEqualsIsKey_; ++i) {
      const std::size_t at = length_ + i;
      beforeEqualsIsKey_ = at < key_.size() ? before[i] == key_[at] : IsBlank(before[i]);
    }
    if (equals != std::string_view::npos) {
      hasEquals_ = true;
      if (length_ + equals < key_.size()) beforeEqualsIsKey_ = false;
    }
  }

  // Whether the last character is "]": a "]" byte can also be the second half of a
  // double-byte character, so the bytes are walked character by character.
  void TrackLastCharacter(std::string_view piece) {
    for (char c : piece) {
      if (inTrailByte_) {
        inTrailByte_ = false;
        lastIsBracket_ = false;
      } else if (text::IsLeadByte(static_cast<unsigned char>(c))) {
        inTrailByte_ = true;
        lastIsBracket_ = false;
      } else {
        lastIsBracket_ = c == ']';
      }
    }
  }

  std::string_view key_;
  bool keyCanMatch_;
  std::size_t length_ = 0;
  char first_ = 0;
  bool hasEquals_ = false;
  bool beforeEqualsIsKey_ = true;
  bool inTrailByte_ = false;
  bool lastIsBracket_ = false;
};

// A file read front to back through a fixed window.
class LineStream {
 public:
  LineStream(fileio::Reader reader, std::size_t longestPattern)
      : reader_(std::move(reader)), buffer_(std::max(kBufferSize, 2 * (longestPattern + 3))) {}

  // Moves to just after the first line that equals `line`; false when no line does.
  Outcome<bool> SkipPast(std::string_view line) {
    std::size_t from = pos_;
    for (;;) {
      const char* data = buffer_.data();
      const std::size_t found = std::string_view(data + from, end_ - from).find(line);
      if (found == std::string_view::npos) {
        if (eof_) return false;
        const std::size_t keep = std::min(end_, line.size() + 2);
        if (auto filled = Refill(end_ - keep); !filled) return std::unexpected(filled.error());
        from = 0;
        continue;
      }
      const std::size_t at = from + found;
      const std::size_t after = at + line.size();
      if (after == end_ && !eof_) {  // the byte after the match is still unread
        const std::size_t keepFrom = at >= 2 ? at - 2 : 0;
        if (auto filled = Refill(keepFrom); !filled) return std::unexpected(filled.error());
        from = at - keepFrom;
        continue;
      }
      if (StartsLine(at) && (after == end_ || data[after] == '\r')) {
        pos_ = after;
        return true;
      }
      from = at + 1;
    }
  }

  // Hands the following lines to `visit` until it returns false or the file ends.
  template <class Visit>
  Outcome<void> ForEachLine(LineFacts& facts, Visit visit) {
    bool pendingLine = false;
    for (;;) {
      if (pos_ == end_) {
        if (!eof_) {
          if (auto filled = Refill(end_); !filled) return std::unexpected(filled.error());
          continue;
        }
        if (pendingLine) visit(facts);
        return {};
      }
      const char* data = buffer_.data();
      if (afterCr_) {
        afterCr_ = false;
        if (data[pos_] == '\n') {
          ++pos_;
          continue;
        }
      }
      const void* cr = std::memchr(data + pos_, '\r', end_ - pos_);
      const std::size_t stop = cr ? static_cast<const char*>(cr) - data : end_;
      facts.Add(std::string_view(data + pos_, stop - pos_));
      pendingLine = true;
      pos_ = stop;
      if (cr == nullptr) continue;
      ++pos_;
      afterCr_ = true;
      pendingLine = false;
      if (!visit(facts)) return {};
      facts.Reset();
    }
  }

 private:
  // A line starts at the file's start and after CR or CR LF; a lone LF is inside a line.
  bool StartsLine(std::size_t at) const {
    const char* data = buffer_.data();
    if (at == 0) return windowAtFileStart_;
    if (data[at - 1] == '\r') return true;
    return at >= 2 && data[at - 1] == '\n' && data[at - 2] == '\r';
  }

  // Drops the bytes before `keepFrom` and reads more behind the rest.
  Outcome<void> Refill(std::size_t keepFrom) {
    char* data = buffer_.data();
    std::memmove(data, data + keepFrom, end_ - keepFrom);
    end_ -= keepFrom;
    pos_ = pos_ > keepFrom ? pos_ - keepFrom : 0;
    if (keepFrom > 0) windowAtFileStart_ = false;
    auto n = reader_.Read(data + end_, buffer_.size() - end_);
    if (!n) return std::unexpected(FromFileError(n.error()));
    if (*n == 0) eof_ = true;
    end_ += *n;
    return {};
  }

  fileio::Reader reader_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  bool afterCr_ = false;
  bool windowAtFileStart_ = true;
};

Outcome<LineStream> Open(const fileio::Path& path, std::size_t longestPattern) {
  auto reader = fileio::Reader::Open(path);
  if (!reader) return std::unexpected(FromFileError(reader.error()));
  return LineStream(std::move(*reader), longestPattern);
}

}  // namespace

bool LineHasEquals(std::string_view line) {
  LineFacts facts;
  facts.Add(line);
  return facts.HasEquals();
}

bool IsSectionLine(std::string_view line) {
  LineFacts facts;
  facts.Add(line);
  return facts.IsSectionLine();
}

Outcome<bool> SectionExists(const fileio::Path& path, std::u16string_view section) {
  const auto header = text::ToAnsiExact(u"[" + std::u16string(section) + u"]");
  auto stream = Open(path, header ? header->size() : 0);
  if (!stream) return std::unexpected(stream.error());
  // A name the code page cannot hold cannot stand in the file.
  if (!header) return false;
  return stream->SkipPast(*header);
}

Outcome<bool> KeyInSection(const fileio::Path& path, std::u16string_view section, std::u16string_view key) {
  const auto header = text::ToAnsiExact(u"[" + std::u16string(section) + u"]");
  const auto keyBytes = text::ToAnsiExact(key);
  auto stream = Open(path, header ? header->size() : 0);
  if (!stream) return std::unexpected(stream.error());
  if (!header || !keyBytes) return false;

  auto inSection = stream->SkipPast(*header);
  if (!inSection || !*inSection) return inSection;

  bool found = false;
  LineFacts facts(*keyBytes);
  auto scanned = stream->ForEachLine(facts, [&found](const LineFacts& line) {
    if (line.HasEquals()) {
      found = line.KeyMatches();
      return !found;
    }
    return !line.IsSectionLine();
  });
  if (!scanned) return std::unexpected(scanned.error());
  return found;
}

}  // namespace profilectl::inimd
