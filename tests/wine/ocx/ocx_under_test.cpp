#include "ocx_under_test.h"


namespace ocx_test {
namespace {

std::wstring& PathStorage() {
  static std::wstring path;
  return path;
}

}  // namespace

const std::wstring& OcxPath() { return PathStorage(); }

void SetOcxPath(const char* path) {
  std::wstring wide;
  for (const char* p = path; *p; ++p) wide += static_cast<wchar_t>(*p == '/' ? '\\' : *p);
  PathStorage() = path[0] == '/' ? L"Z:" + wide : wide;
}

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
