// The profile operations of Windows itself.
#include <windows.h>

#include <vector>

#include "profilectl/profile_store.h"

namespace profilectl {
namespace {

class Kernel32ProfileStore final : public ProfileStore {
 public:
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
