#pragma once
// The profile operations the control reads and writes keys through. All strings are in
// the ANSI code page; `file` is the control's FileName converted to it.
//
// On Windows the control uses kernel32's GetPrivateProfileStringA and
// WritePrivateProfileStringA. The portable store behaves like those functions and is
// what the native build uses; it is also built for Windows, where tests compare it with
// kernel32.

#include <cstddef>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace profilectl {

// Receives the entries of a list one at a time, as a scan meets them.
class ListVisitor {
 public:
  virtual ~ListVisitor() = default;
  // One entry in the ANSI code page, without its NUL; the view is valid during the call.
  // Returns false to end the list there.
  virtual bool Entry(std::string_view entry) = 0;
};

class ProfileStore {
 public:
  virtual ~ProfileStore() = default;

  // Whether the operations below can work on `file` at all. A name they cannot take
  // is never handed to them.
  virtual bool TakesFile(const std::string& /*file*/) const { return true; }

  // GetPrivateProfileStringA(section, key, "", buffer, size, file): the bytes the
  // function copied (its return value counts them), at most size - 1. A missing file,
  // section or key gives "". Size 0 gives "".
  virtual std::string Read(const std::string& file, const std::string& section, const std::string& key,
                           std::size_t size) = 0;

  // WritePrivateProfileStringA(section, key, value, file): sets key=value, creating the
  // section and the file when missing. An empty value leaves "key=". False when the
  // function reports failure.
  virtual bool Write(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& value) = 0;

  // WritePrivateProfileStringA(section, key, NULL, file): removes the key's line.
  virtual bool DeleteKey(const std::string& file, const std::string& section, const std::string& key) = 0;

  // WritePrivateProfileStringA(section, NULL, NULL, file): removes the section.
  virtual bool DeleteSection(const std::string& file, const std::string& section) = 0;

  // The lists. Each returns what the function leaves in a buffer of `size` bytes, up to
  // its return value: the entries, each ended by a NUL, in the order of the file. When
  // they do not fit, the entries that fit are followed by as much of the next as leaves
  // room for two NULs, and the return value is size - 2 (ListEntries splits either
  // form). kWholeList asks for a buffer large enough for everything. A missing file or
  // section gives "".

  // GetPrivateProfileSectionNamesA: the name of every section header, as trimmed when
  // looking for a section; one entry per header, duplicates included; "[]" gives "".
  virtual std::string SectionNames(const std::string& file, std::size_t size) = 0;

  // GetPrivateProfileStringA(section, NULL, ...): the name of every key line of the
  // section, duplicates included.
  virtual std::string KeyNames(const std::string& file, const std::string& section, std::size_t size) = 0;

  // GetPrivateProfileSectionA: the section's lines that are not blank or comments, as
  // "key=value" with the blanks around name and value removed; a line without "=" as
  // it stands, trimmed.
  virtual std::string SectionLines(const std::string& file, const std::string& section, std::size_t size) = 0;

  // The whole lists (what the three above return for kWholeList), handed to `visitor`
  // entry by entry. The portable store hands each entry over as its scan meets it, so a
  // list of any length costs bounded memory; the others list into a buffer first.
  // False when the list is known to be missing: a section's list when the file lacks the
  // section (as HasSection answers), any list when the file cannot be read. An empty
  // list of section names leaves open whether the file is there.
  virtual bool VisitSectionNames(const std::string& file, ListVisitor& visitor);
  virtual bool VisitKeyNames(const std::string& file, const std::string& section, ListVisitor& visitor);
  virtual bool VisitSectionLines(const std::string& file, const std::string& section, ListVisitor& visitor);

  // Whether the file holds the section, by the rules of the reads.
  virtual bool HasSection(const std::string& file, const std::string& section) = 0;

  static constexpr std::size_t kWholeList = std::numeric_limits<std::size_t>::max();
};

// The entries of a list as the list functions return it.
std::vector<std::string> ListEntries(std::string_view list);

std::unique_ptr<ProfileStore> MakePortableProfileStore();

#ifdef _WIN32
std::unique_ptr<ProfileStore> MakeKernel32ProfileStore();
#endif

// The store the control uses on this platform.
std::unique_ptr<ProfileStore> MakeSystemProfileStore();

}  // namespace profilectl
