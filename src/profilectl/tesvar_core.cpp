#include "profilectl/tesvar_core.h"

#include "profilectl/ini_scan.h"
#include "profilectl/utf16le.h"
#include "text/codepage.h"

namespace profilectl {
namespace {

bool HasNul(std::u16string_view path) { return path.find(u'\0') != std::u16string_view::npos; }

std::u16string Quoted(std::u16string_view what, std::u16string_view name) {
  return u"指定的" + std::u16string(what) + u" [ " + std::u16string(name) + u" ] 不存在！";
}

}  // namespace

Outcome<fileio::Path> TesvarCore::WorkingFile() const {
  // Every method refuses a name the profile operations cannot take, so that the scans
  // and the header append never act on a file that the read or write then misses: one
  // with a NUL, one the ANSI code page cannot hold (the profile operations would get
  // '?' in its place, another file, D16), one they find too long.
  const std::optional<std::string> ansi = text::ToAnsiExact(fileName_);
  if (HasNul(fileName_) || !ansi || !store_.TakesFile(*ansi)) return Fail(ErrorNumber::kBadFileName);
  return fileName_;
}

std::string TesvarCore::AnsiFileName() const { return text::ToAnsi(fileName_); }

Outcome<std::u16string> TesvarCore::Load_Key(std::u16string_view 扇区, std::u16string_view 键值,
                                             std::int16_t 数据缓冲, std::int16_t 错误处理) {
  auto file = WorkingFile();
  if (!file) return std::unexpected(file.error());

  if (错误处理 == kAutomationTrue) {
    constexpr std::u16string_view kTitle = u"错误";
    if (!fileio::IsFile(*file)) {
      messages_.Show(Quoted(u"文件", fileName_), kTitle, MessageSink::kCritical);
      return u"";
    }
    auto section = inimd::SectionExists(*file, 扇区);
    if (!section) return std::unexpected(section.error());
    if (!*section) {
      messages_.Show(Quoted(u"扇区", 扇区), kTitle, MessageSink::kCritical);
      return u"";
    }
    auto key = inimd::KeyInSection(*file, 扇区, 键值);
    if (!key) return std::unexpected(key.error());
    if (!*key) {
      messages_.Show(Quoted(u"键值", 键值), kTitle, MessageSink::kCritical);
      return u"";
    }
  }

  // The buffer must hold at least its terminating NUL.
  if (数据缓冲 <= 0) return Fail(ErrorNumber::kInvalidCall);
  const auto size = static_cast<std::size_t>(数据缓冲);
  std::string value = store_.Read(AnsiFileName(), text::ToAnsi(扇区), text::ToAnsi(键值), size);
  value.resize(std::min(value.find('\0'), value.size()));
  // A value cut to size - 1 bytes inside a double-byte character keeps no half of it.
  if (value.size() == size - 1) value.resize(text::LengthWithoutDanglingLeadByte(value));
  return text::FromAnsi(value);
}

Outcome<bool> TesvarCore::Sav_Key(std::u16string_view 扇区, std::u16string_view 键值, std::u16string_view 数据,
                                  std::int16_t 错误处理) {
  auto file = WorkingFile();
  if (!file) return std::unexpected(file.error());

  if (错误处理 == kAutomationTrue && !fileio::IsFile(*file)) {
    messages_.Show(Quoted(u"文件", fileName_), u"错误警告", MessageSink::kCritical);
    return false;
  }
  auto section = inimd::SectionExists(*file, 扇区);
  if (!section) return std::unexpected(section.error());
  // The file could be read. One that cannot be opened to append the header (a read-only
  // file, one that another program keeps from writers) fails the call with the file
  // system's error, as a file that cannot be opened does; a header that could not be
  // written once the file was open is a failed write like the profile write's own.
  if (!*section) {
    auto appended = AppendSectionHeader(*file, 扇区);
    if (!appended) return std::unexpected(appended.error());
    if (!*appended) return false;
  }
  // Empty data sets an empty value; it never deletes the key.
  return store_.Write(AnsiFileName(), text::ToAnsi(扇区), text::ToAnsi(键值), text::ToAnsi(数据));
}

namespace {

// Whether text that ends in `last` (its last two characters or fewer) needs CR LF
// before a line is appended. For the scans only CR LF and a lone CR end a line: after
// a lone LF the appended line would still be inside the last line (D18).
template <class Char>
bool NeedsLineBreak(std::basic_string_view<Char> last) {
  if (last.empty() || last.back() == Char('\r')) return false;
  return !(last.size() >= 2 && last.back() == Char('\n') && last[last.size() - 2] == Char('\r'));
}

}  // namespace

Outcome<bool> TesvarCore::AppendSectionHeader(const fileio::Path& file, std::u16string_view section) {
  auto appender = fileio::Appender::Open(file);
  if (!appender) return std::unexpected(FromFileError(appender.error()));
  auto size = appender->Size();
  auto mark = appender->FirstBytes(kUtf16LeMark.size());
  if (!size || !mark) return false;

  // The profile operations get the section in the ANSI code page; the header carries
  // the name they look for.
  const std::string name = text::ToAnsi(section);
  if (*mark != kUtf16LeMark) {
    auto last = appender->LastBytes(2);
    if (!last) return false;
    std::string line = NeedsLineBreak<char>(*last) ? "\r\n" : "";
    line.append(1, '[').append(name).append("]\r\n");
    return appender->Write(line).has_value();
  }

  // A UTF-16LE file stays UTF-16LE (D17). After a stray last byte the header's
  // characters would lie across two of the file's: such a file gets no header.
  const std::uint64_t body = *size - kUtf16LeMark.size();
  if (body % 2 != 0) return false;
  auto last = appender->LastBytes(std::min<std::uint64_t>(body, 4));
  if (!last) return false;
  std::u16string line = NeedsLineBreak<char16_t>(DecodeUtf16Le(*last)) ? u"\r\n" : u"";
  line.append(1, u'[').append(text::FromAnsi(name)).append(u"]\r\n");
  return appender->Write(EncodeUtf16Le(line)).has_value();
}

Outcome<bool> TesvarCore::Dir扇区(std::u16string_view 扇区) {
  auto file = WorkingFile();
  if (!file) return std::unexpected(file.error());
  return inimd::SectionExists(*file, 扇区);
}

Outcome<bool> TesvarCore::Dir键值(std::u16string_view 扇区, std::u16string_view 键值) {
  auto file = WorkingFile();
  if (!file) return std::unexpected(file.error());
  return inimd::KeyInSection(*file, 扇区, 键值);
}

Outcome<void> TesvarCore::Del扇区(std::u16string_view 扇区) {
  if (auto file = WorkingFile(); !file) return std::unexpected(file.error());
  store_.DeleteSection(AnsiFileName(), text::ToAnsi(扇区));
  return {};
}

Outcome<void> TesvarCore::Del键值(std::u16string_view 扇区, std::u16string_view 键值) {
  if (auto file = WorkingFile(); !file) return std::unexpected(file.error());
  store_.DeleteKey(AnsiFileName(), text::ToAnsi(扇区), text::ToAnsi(键值));
  return {};
}

Outcome<void> TesvarCore::Del数据(std::u16string_view 扇区, std::u16string_view 键值) {
  if (auto file = WorkingFile(); !file) return std::unexpected(file.error());
  store_.Write(AnsiFileName(), text::ToAnsi(扇区), text::ToAnsi(键值), "");
  return {};
}

Outcome<bool> TesvarCore::NewFile(std::u16string_view nPathName) {
  if (HasNul(nPathName)) return Fail(ErrorNumber::kBadFileName);
  const fileio::Path path(nPathName);
  if (auto created = fileio::CreateIfMissing(path); !created) return std::unexpected(FromFileError(created.error()));
  return fileio::IsFile(path);
}

Outcome<bool> TesvarCore::SectionNames(std::size_t size, ListSink& sink) {
  return ListTo(ListKind::kSectionNames, {}, size, sink);
}

Outcome<bool> TesvarCore::KeyNames(std::u16string_view 扇区, std::size_t size, ListSink& sink) {
  return ListTo(ListKind::kKeyNames, 扇区, size, sink);
}

Outcome<bool> TesvarCore::SectionLines(std::u16string_view 扇区, std::size_t size, ListSink& sink) {
  return ListTo(ListKind::kSectionLines, 扇区, size, sink);
}

namespace {

// An entry of a list in the code page, as the sink takes it: in UTF-8.
void ToSink(std::string_view entry, TesvarCore::ListSink& sink) {
  // ASCII is the same in the code page and in UTF-8.
  unsigned char bits = 0;
  for (char c : entry) bits |= static_cast<unsigned char>(c);
  if (bits < 0x80) {
    sink.Entry(entry);
  } else {
    sink.Entry(text::ToUtf8(text::FromAnsi(entry)));
  }
}

// Passes a store's entries on, converted, and counts them.
class EntryConverter final : public ListVisitor {
 public:
  explicit EntryConverter(TesvarCore::ListSink& sink) : sink_(sink) {}
  bool Entry(std::string_view entry) override {
    ++count;
    ToSink(entry, sink_);
    return true;
  }
  std::size_t count = 0;

 private:
  TesvarCore::ListSink& sink_;
};

}  // namespace

Outcome<bool> TesvarCore::ListTo(ListKind kind, std::u16string_view section, std::size_t size, ListSink& sink) {
  if (auto file = WorkingFile(); !file) return std::unexpected(file.error());
  const std::string file = AnsiFileName();
  const std::string ansiSection = text::ToAnsi(section);
  const bool ofSection = kind != ListKind::kSectionNames;

  if (size == ProfileStore::kWholeList) {
    EntryConverter converter(sink);
    bool there = true;
    switch (kind) {
      case ListKind::kSectionNames: there = store_.VisitSectionNames(file, converter); break;
      case ListKind::kKeyNames: there = store_.VisitKeyNames(file, ansiSection, converter); break;
      case ListKind::kSectionLines: there = store_.VisitSectionLines(file, ansiSection, converter); break;
    }
    // An empty list leaves open whether the file or the section is there.
    if (converter.count > 0) return true;
    return fileio::IsFile(fileName_) && (!ofSection || there);
  }

  std::string list;
  switch (kind) {
    case ListKind::kSectionNames: list = store_.SectionNames(file, size); break;
    case ListKind::kKeyNames: list = store_.KeyNames(file, ansiSection, size); break;
    case ListKind::kSectionLines: list = store_.SectionLines(file, ansiSection, size); break;
  }
  if (list.empty()) {
    if (!fileio::IsFile(fileName_)) return false;
    if (ofSection && !store_.HasSection(file, ansiSection)) return false;
  }
  std::vector<std::string> entries = ListEntries(list);
  // A list cut to its buffer ends without a NUL; its last entry keeps no half of a
  // double-byte character.
  if (!entries.empty() && list.back() != '\0') {
    entries.back().resize(text::LengthWithoutDanglingLeadByte(entries.back()));
  }
  for (const std::string& entry : entries) ToSink(entry, sink);
  return true;
}

}  // namespace profilectl
