#include "repair/repair_win32_binding.h"

#include <algorithm>

#include "win32/message_box.h"
#include "win32/module.h"
#include "win32/process.h"

namespace repair {
namespace {

class Win32Process final : public StartedProcess {
 public:
  explicit Win32Process(win::unique_handle process) : process_(std::move(process)) {}

  std::optional<std::uint32_t> WaitForExit(std::chrono::milliseconds timeout) override {
    const auto ms = std::clamp<long long>(timeout.count(), 0, INFINITE - 1);
    if (WaitForSingleObject(process_.get(), static_cast<DWORD>(ms)) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    if (!GetExitCodeProcess(process_.get(), &code)) return std::nullopt;
    return code;
  }

 private:
  win::unique_handle process_;
};

class Win32RepairPlatform final : public RepairPlatform {
 public:
  std::u16string ApplicationFolder() override {
    std::u16string folder;
    // Without it every source is missing, and the report says so.
    if (FAILED(win::GetApplicationFolder(folder))) folder.clear();
    return folder;
  }

  CopyStatus Copy(const fileio::Path& SouFileName, const fileio::Path& DestFileName) override {
    return FileCopyEx(SouFileName, DestFileName);
  }

  void RemoveAsideFiles(const fileio::Path& destination) override { repair::RemoveAsideFiles(destination); }

  bool RegisterAtNextLogOn(const fileio::Path& destination) override {
    return repair::RegisterAtNextLogOn(destination);
  }

  std::optional<FileVersion> ReadFileVersion(const fileio::Path& path) override {
    FileVersion version = 0;
    if (FAILED(win::GetFileVersion(path, version))) return std::nullopt;
    return version;
  }

  std::unique_ptr<StartedProcess> StartProcess(std::u16string_view commandLine, int showWindow) override {
    win::unique_handle process;
    if (FAILED(win::StartSystemProgram(win::SystemProgram::kRegsvr32, commandLine, showWindow, &process)))
      return nullptr;
    return std::make_unique<Win32Process>(std::move(process));
  }

  Clock::time_point Now() override { return Clock::now(); }
};

}  // namespace

std::unique_ptr<RepairPlatform> MakeWin32RepairPlatform() { return std::make_unique<Win32RepairPlatform>(); }

int Win32Prompter::ShowMessage(std::u16string_view text, std::u16string_view title, int style) {
  return win::ShowMessageBox(owner_, text, title, style);
}

}  // namespace repair
