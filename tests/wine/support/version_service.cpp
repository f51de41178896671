#include "wine/support/version_service.h"

#include <fstream>
#include <stdexcept>

#include "wine/support/files.h"
#include "wine/support/program.h"

namespace wine_test {
namespace {

std::wstring Environment(const wchar_t* name) {
  if (auto value = EnvironmentVariable(name)) return *value;
  throw std::runtime_error("run under with_version_service.sh");
}

}  // namespace

const VersionService& VersionService::Get() {
  static const VersionService service = [] {
    VersionService s;
    s.port_ = std::stoi(Environment(L"VERSION_SERVICE_PORT"));
    s.dir_ = Environment(L"VERSION_SERVICE_DIR");
    return s;
  }();
  return service;
}

std::u16string LoopbackUrl(int port, std::string_view path) {
  std::u16string url = u"http://127.0.0.1:";
  for (char c : std::to_string(port) + std::string(path)) url.push_back(static_cast<char16_t>(c));
  return url;
}

void VersionService::Script(const nlohmann::json& scenario) const {
  std::filesystem::remove(dir_ / "requests.jsonl");
  WriteBytes(dir_ / "scenario.json", scenario.dump());
}

std::vector<nlohmann::json> VersionService::Requests() const {
  std::vector<nlohmann::json> requests;
  std::ifstream in(dir_ / "requests.jsonl", std::ios::binary);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) requests.push_back(nlohmann::json::parse(line));
  return requests;
}

}  // namespace wine_test
