// The profile operations of Windows itself.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "profilectl/profile_blanks.h"
#include "profilectl/profile_portable_scanner.h"
#include "profilectl/profile_store.h"

namespace profilectl {
namespace {

// Calls a list function `fill(buffer, size)` with a buffer of `size` bytes, or for
// kWholeList with ever larger buffers until the list fits; the buffer up to the
// function's return value.
template <class Fill>
std::string ListThrough(std::size_t size, Fill fill) {
  if (size == 0) return {};
  const bool whole = size == ProfileStore::kWholeList;
  DWORD n = whole ? 64 * 1024 : static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD));
  for (;;) {
    std::vector<char> buffer(n, '\0');
    const DWORD got = fill(buffer.data(), n);
    // A list that does not fit returns size - 2.
    if (!whole || got + 2 < n || n >= MAXDWORD / 2) return std::string(buffer.data(), std::min(got, n));
    n *= 4;
  }
}

class Kernel32ProfileStore final : public ProfileStore {
 public:
  // The ANSI functions convert the name into a counted UTF-16 string (at most 32,767
  // characters) and make it a full path in a buffer of MAX_PATH characters: a plain
  // name is looked up in the Windows folder, any other name is completed from the
  // current folder. A name that does not fit is not cut cleanly: Wine then works on
  // whatever the buffer holds or writes past its end, and can end the host process.
  bool TakesFile(const std::string& file) const override {
    if (file.size() >= 32768) return false;
    const int n = MultiByteToWideChar(CP_ACP, 0, file.data(), static_cast<int>(file.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, file.data(), static_cast<int>(file.size()), wide.data(), n);

    wchar_t full[MAX_PATH];
    const bool plain = wide.find_first_of(L"\\/") == std::wstring::npos && !(wide.size() >= 2 && wide[1] == L':');
    if (plain) {
      const UINT folder = GetWindowsDirectoryW(full, MAX_PATH);
      return folder > 0 && folder + 1 + wide.size() < MAX_PATH;
    }
    const DWORD length = GetFullPathNameW(wide.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH;
  }

  std::string Read(const std::string& file, const std::string& section, const std::string& key,
                   std::size_t size) override {
    if (size == 0) return {};
    std::vector<char> buffer(size, '\0');
    const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(),
                                             static_cast<DWORD>(size), file.c_str());
    return std::string(buffer.data(), n);
  }

  bool Write(const std::string& file, const std::string& section, const std::string& key,
             const std::string& value) override {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != FALSE;
  }

  bool DeleteKey(const std::string& file, const std::string& section, const std::string& key) override {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), nullptr, file.c_str()) != FALSE;
  }

  bool DeleteSection(const std::string& file, const std::string& section) override {
    return WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, file.c_str()) != FALSE;
  }

  std::string SectionNames(const std::string& file, std::size_t size) override {
    return ListThrough(size, [&](char* buffer, DWORD n) {
      return GetPrivateProfileSectionNamesA(buffer, n, file.c_str());
    });
  }

  std::string KeyNames(const std::string& file, const std::string& section, std::size_t size) override {
    return ListThrough(size, [&](char* buffer, DWORD n) {
      return GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer, n, file.c_str());
    });
  }

  std::string SectionLines(const std::string& file, const std::string& section, std::size_t size) override {
    return ListThrough(size, [&](char* buffer, DWORD n) {
      return GetPrivateProfileSectionA(section.c_str(), buffer, n, file.c_str());
    });
  }

  // kernel32 has no call for it: the section names, compared as the reads compare names.
  bool HasSection(const std::string& file, const std::string& section) override {
    const std::string_view wanted = TrimSpaces(section);
    const std::vector<std::string> names = ListEntries(SectionNames(file, kWholeList));
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& name) { return portable::NamesEqual(name, wanted); });
  }
};

}  // namespace

std::unique_ptr<ProfileStore> MakeKernel32ProfileStore() { return std::make_unique<Kernel32ProfileStore>(); }

std::unique_ptr<ProfileStore> MakeSystemProfileStore() { return MakeKernel32ProfileStore(); }

}  // namespace profilectl
