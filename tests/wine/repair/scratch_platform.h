#pragma once
#include <memory>
#include <string>

#include "repair/repair_platform.h"
#include "repair/repair_win32_binding.h"
#include "install_faults.h"

namespace repair {

// The Win32 platform, with the application folder and, when one is given, "C:\WINDOWS\"
// replaced by scratch folders. Everything else, the process start included, is the real
// binding. Nothing of a scratch folder is scheduled for the machine's restart: there
// the copy's install calls refuse to schedule, as without the rights to.
class ScratchPlatform final : public RepairPlatform {
 public:
  explicit ScratchPlatform(std::u16string applicationFolder, std::u16string windowsFolder = {})
      : real_(MakeWin32RepairPlatform()),
        applicationFolder_(std::move(applicationFolder)),
        windowsFolder_(std::move(windowsFolder)) {
    scratchCalls_.refuseSchedules = true;
  }

  // The copy's install calls with the faults a test asks for; the real ones without.
  FaultyInstallCalls* calls = nullptr;

  std::u16string ApplicationFolder() override { return applicationFolder_; }
  CopyStatus Copy(const fileio::Path& source, const fileio::Path& destination) override {
    if (!windowsFolder_.empty()) return FileCopyEx(source, Redirect(destination), scratchCalls_);
    return calls ? FileCopyEx(source, destination, *calls) : real_->Copy(source, destination);
  }
  void RemoveAsideFiles(const fileio::Path& destination) override {
    if (!windowsFolder_.empty()) return repair::RemoveAsideFiles(Redirect(destination), scratchCalls_);
    if (calls) return repair::RemoveAsideFiles(destination, *calls);
    real_->RemoveAsideFiles(destination);
  }
  bool RegisterAtNextLogOn(const fileio::Path& destination) override {
    if (!windowsFolder_.empty() || (calls && calls->refuseSchedules)) return false;
    return real_->RegisterAtNextLogOn(destination);
  }
  std::optional<FileVersion> ReadFileVersion(const fileio::Path& path) override {
    return real_->ReadFileVersion(Redirect(path));
  }
  std::unique_ptr<StartedProcess> StartProcess(std::u16string_view commandLine, int showWindow) override {
    return real_->StartProcess(commandLine, showWindow);
  }
  Clock::time_point Now() override { return real_->Now(); }

 private:
  fileio::Path Redirect(const fileio::Path& path) const {
    constexpr std::u16string_view kWindows = u"C:\\WINDOWS\\";
    if (windowsFolder_.empty() || !path.starts_with(kWindows)) return path;
    return windowsFolder_ + u"\\" + path.substr(kWindows.size());
  }

  std::unique_ptr<RepairPlatform> real_;
  FaultyInstallCalls scratchCalls_;
  std::u16string applicationFolder_;
  std::u16string windowsFolder_;
};

}  // namespace repair
