#pragma once
// Tesvar's methods, free of COM: the automation layer converts its arguments and
// results and turns a ControlError into the status 0x800A0000 + number.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "profilectl/control_error.h"
#include "profilectl/profile_store.h"

namespace profilectl {

// An automation Boolean argument counts as True only when it is -1.
inline constexpr std::int16_t kAutomationTrue = -1;

// Message boxes the control shows when its caller asks for checks.
class MessageSink {
 public:
  static constexpr int kCritical = 16;  // critical icon, OK button
  virtual ~MessageSink() = default;
  // Shows a modal message box and returns when the user has closed it.
  virtual void Show(std::u16string_view text, std::u16string_view title, int style) = 0;
};

class TesvarCore {
 public:
  TesvarCore(ProfileStore& store, MessageSink& messages) : store_(store), messages_(messages) {}

  const std::u16string& FileName() const { return fileName_; }
  void SetFileName(std::u16string fileName) { fileName_ = std::move(fileName); }

  // The value of 键值 in 扇区, at most 数据缓冲 - 1 bytes of the ANSI code page.
  Outcome<std::u16string> Load_Key(std::u16string_view 扇区, std::u16string_view 键值, std::int16_t 数据缓冲,
                                   std::int16_t 错误处理);
  // Sets 键值 in 扇区 to 数据, appending the section header when the file lacks it.
  // False when the file is missing (with checks) or the header or the write failed;
  // the file system's error when the file lacks the section and cannot be opened to
  // append its header.
  Outcome<bool> Sav_Key(std::u16string_view 扇区, std::u16string_view 键值, std::u16string_view 数据,
                        std::int16_t 错误处理);
  Outcome<bool> Dir扇区(std::u16string_view 扇区);
  Outcome<bool> Dir键值(std::u16string_view 扇区, std::u16string_view 键值);
  Outcome<void> Del扇区(std::u16string_view 扇区);
  Outcome<void> Del键值(std::u16string_view 扇区, std::u16string_view 键值);
  Outcome<void> Del数据(std::u16string_view 扇区, std::u16string_view 键值);
  // Creates nPathName empty when missing, leaves an existing file as it is; True when
  // the file exists afterwards. FileName is not changed.
  Outcome<bool> NewFile(std::u16string_view nPathName);

  // The lists of the profile operations (not methods of the control; the tesvar tool
  // offers them), handed to `sink` entry by entry, each converted from the ANSI code
  // page to UTF-8, the tool's output. For a buffer of `size` bytes the list is cut as
  // the functions cut it, its last entry keeping no half of a double-byte character;
  // with ProfileStore::kWholeList every entry goes to `sink` as the store's scan meets
  // it, so that no list is held whole. False when the file is missing, or for a
  // section's lists the section.
  // FileName is refused as by the methods (52).
  class ListSink {
   public:
    virtual ~ListSink() = default;
    virtual void Entry(std::string_view utf8) = 0;
  };
  Outcome<bool> SectionNames(std::size_t size, ListSink& sink);
  Outcome<bool> KeyNames(std::u16string_view 扇区, std::size_t size, ListSink& sink);
  Outcome<bool> SectionLines(std::u16string_view 扇区, std::size_t size, ListSink& sink);

 private:
  enum class ListKind { kSectionNames, kKeyNames, kSectionLines };
  Outcome<bool> ListTo(ListKind kind, std::u16string_view section, std::size_t size, ListSink& sink);
  // The FileName the methods may work on: one with a NUL, one outside the ANSI code
  // page, or one that the profile operations cannot take, is refused (52).
  Outcome<fileio::Path> WorkingFile() const;
  std::string AnsiFileName() const;
  // True when the header line was written at the end of the file; false when it could
  // not be (a UTF-16LE file of odd length, D17; a failed read or write of the open
  // file); the file system's error when the file cannot be opened for it.
  Outcome<bool> AppendSectionHeader(const fileio::Path& file, std::u16string_view section);

  ProfileStore& store_;
  MessageSink& messages_;
  std::u16string fileName_;
};

}  // namespace profilectl
