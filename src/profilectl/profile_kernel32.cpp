// The profile operations of Windows itself.
#include <windows.h>

#include <string>
#include <vector>

#include "profilectl/profile_store.h"

namespace profilectl {
namespace {

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
};

}  // namespace

std::unique_ptr<ProfileStore> MakeKernel32ProfileStore() { return std::make_unique<Kernel32ProfileStore>(); }

std::unique_ptr<ProfileStore> MakeSystemProfileStore() { return MakeKernel32ProfileStore(); }

}  // namespace profilectl
