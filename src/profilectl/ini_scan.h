#pragma once
// IniMD: the control's own tests for sections and keys. They read the file line by line
// and compare exactly and case-sensitively; nothing is trimmed. A line ends at CR LF or
// a lone CR; a lone LF belongs to the line. Lines are compared as ANSI bytes, which for
// the code page's valid text is the same as comparing their UTF-16 characters. A file
// that starts with the UTF-16LE byte-order mark is read as UTF-16LE text, as the
// profile functions read it, and converted to the code page as it streams past (D17).
//
// The file streams through a window of at most kScanWindow bytes (a smaller file gets
// a window its own size), so memory does not grow with the file or with the length of
// a line.

#include <cstddef>
#include <string_view>

#include "fileio/file_io.h"
#include "profilectl/control_error.h"

namespace profilectl::inimd {

// The largest window the scans read the file through. Tests pass a smaller `window`,
// so that lines straddle its end in small files; it is raised where a name would not
// fit twice.
inline constexpr std::size_t kScanWindow = 1024 * 1024;

// True when the line contains "=".
bool LineHasEquals(std::string_view line);

// True when the line is not empty, starts with "[" and its last character is "]".
bool IsSectionLine(std::string_view line);

// True when a line equals "[" + section + "]". A file that cannot be opened fails
// with its error (53 when missing).
Outcome<bool> SectionExists(const fileio::Path& path, std::u16string_view section,
                            std::size_t window = kScanWindow);

// True when, inside the first section whose header equals "[" + section + "]", a line
// with "=" carries exactly `key` before its first "=" (trailing blanks and tabs before
// the "=" ignored, leading ones kept). The section ends at the next section line that
// has no "=".
Outcome<bool> KeyInSection(const fileio::Path& path, std::u16string_view section, std::u16string_view key,
                           std::size_t window = kScanWindow);

}  // namespace profilectl::inimd
