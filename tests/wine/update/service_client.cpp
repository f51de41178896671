#include "service_client.h"

#include <windows.h>

#include <fstream>
#include <stdexcept>

namespace update_test {
namespace {

std::wstring Environment(const wchar_t* name) {
  wchar_t value[1024];
  const DWORD size = GetEnvironmentVariableW(name, value, 1024);
  if (size == 0 || size >= 1024) throw std::runtime_error("run under with_version_service.sh");
  return value;
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

std::u16string VersionService::Url(std::string_view path) const {
  std::u16string url = u"http://127.0.0.1:";
  for (char c : std::to_string(port_) + std::string(path)) url.push_back(static_cast<char16_t>(c));
  return url;
}

void VersionService::Script(const nlohmann::json& scenario) const {
  std::filesystem::remove(dir_ / "requests.jsonl");
  std::ofstream(dir_ / "scenario.json", std::ios::binary | std::ios::trunc) << scenario.dump();
}

std::vector<nlohmann::json> VersionService::Requests() const {
  std::vector<nlohmann::json> requests;
  std::ifstream in(dir_ / "requests.jsonl", std::ios::binary);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) requests.push_back(nlohmann::json::parse(line));
  return requests;
}

}  // namespace update_test
