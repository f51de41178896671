#pragma once
// The test side of the loopback version service (tests/wine/update/version_service.py):
// where it listens, what it answers next, and the requests it has recorded.
#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

namespace wine_test {

// http://127.0.0.1:PORT followed by `path`.
std::u16string LoopbackUrl(int port, std::string_view path = "/index.php/Index/soft_version");

class VersionService {
 public:
  // The service started by with_version_service.sh.
  static const VersionService& Get();

  int port() const { return port_; }
  // The service's address followed by `path`.
  std::u16string Url(std::string_view path = "/index.php/Index/soft_version") const {
    return LoopbackUrl(port_, path);
  }
  // The answer to every following request (see version_service.py), and no requests
  // recorded yet.
  void Script(const nlohmann::json& scenario) const;
  std::vector<nlohmann::json> Requests() const;

 private:
  int port_ = 0;
  std::filesystem::path dir_;
};

}  // namespace wine_test
