#include "ocx_under_test.h"

namespace ocx_test {
namespace {

std::wstring& PathStorage() {
  static std::wstring path;
  return path;
}

}  // namespace

const std::wstring& OcxPath() { return PathStorage(); }

void SetOcxPath(const std::filesystem::path& path) { PathStorage() = path.native(); }

const Server& LoadedServer() {
  static const Server server = [] {
    Server s;
    s.module = LoadLibraryW(OcxPath().c_str());
    if (!s.module) return s;
    s.getClassObject = reinterpret_cast<decltype(s.getClassObject)>(reinterpret_cast<void*>(GetProcAddress(s.module, "DllGetClassObject")));
    s.canUnloadNow = reinterpret_cast<decltype(s.canUnloadNow)>(reinterpret_cast<void*>(GetProcAddress(s.module, "DllCanUnloadNow")));
    return s;
  }();
  return server;
}

}  // namespace ocx_test
