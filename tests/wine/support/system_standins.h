#pragma once
// Stand-ins where the tools look for the system's programs, which are started by their
// full paths: the system folder's regsvr32.exe, and the program that Windows' own
// explorer.exe opens an https address with. Each takes its place for as long as it
// lives and puts back what was there.
#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>

namespace wine_test {

// `standin` in the place of the system folder's regsvr32.exe (for a 32-bit process,
// SysWOW64's), run instead of Wine's own program by every process of the prefix while
// it lives (Wine's load order names it native): tests that start regsvr32 share the
// CTest resource lock tesvar_registration.
class Regsvr32StandIn {
 public:
  explicit Regsvr32StandIn(const std::filesystem::path& standin);
  Regsvr32StandIn(const Regsvr32StandIn&) = delete;
  Regsvr32StandIn& operator=(const Regsvr32StandIn&) = delete;
  ~Regsvr32StandIn();

  bool installed() const { return installed_; }
  // Where the stand-in now is: what the tools start.
  static std::filesystem::path Location();

 private:
  std::optional<std::string> original_;
  bool installed_ = false;
};

// `command` (a command line with "%1" for the address) as the program that opens https
// addresses, the command that Windows' explorer.exe runs for one.
class HttpsHandlerStandIn {
 public:
  explicit HttpsHandlerStandIn(const std::wstring& command);
  HttpsHandlerStandIn(const HttpsHandlerStandIn&) = delete;
  HttpsHandlerStandIn& operator=(const HttpsHandlerStandIn&) = delete;
  ~HttpsHandlerStandIn();

  bool installed() const { return installed_; }

 private:
  std::optional<std::wstring> original_;
  bool installed_ = false;
};

}  // namespace wine_test
