#include "repair/win32_platform.h"

#include <algorithm>
#include <new>
#include <vector>

#include "win32/process.h"

namespace repair {
namespace {

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

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
    if (FAILED(GetApplicationFolder(folder))) folder.clear();
    return folder;
  }

  CopyStatus Copy(const fileio::Path& SouFileName, const fileio::Path& DestFileName) override {
    return FileCopyEx(SouFileName, DestFileName);
  }

  std::optional<FileVersion> ReadFileVersion(const fileio::Path& path) override {
    FileVersion version = 0;
    if (FAILED(GetFileVersion(path, version))) return std::nullopt;
    return version;
  }

  std::unique_ptr<StartedProcess> StartProcess(std::u16string_view commandLine, int showWindow) override {
    win::unique_handle process;
    if (FAILED(win::StartProcessShown(commandLine, showWindow, &process))) return nullptr;
    return std::make_unique<Win32Process>(std::move(process));
  }

  Clock::time_point Now() override { return Clock::now(); }
};

}  // namespace

HRESULT GetApplicationFolder(std::u16string& folder) noexcept try {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    RETURN_LAST_ERROR_IF(n == 0);
    if (n < buffer.size()) {
      folder = FolderOfModule(std::u16string_view(reinterpret_cast<const char16_t*>(buffer.data()), n));
      return S_OK;
    }
    RETURN_HR_IF(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), buffer.size() >= 32768);
    buffer.resize(buffer.size() * 2);
  }
} catch (const std::bad_alloc&) {
  return E_OUTOFMEMORY;
}

HRESULT GetFileVersion(const fileio::Path& path, FileVersion& version) noexcept {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(Wide(path), &ignored);
  RETURN_LAST_ERROR_IF(size == 0);
  std::unique_ptr<BYTE[]> data(new (std::nothrow) BYTE[size]);
  RETURN_HR_IF(E_OUTOFMEMORY, !data);
  RETURN_LAST_ERROR_IF(!GetFileVersionInfoW(Wide(path), 0, size, data.get()));
  void* fixed = nullptr;
  UINT length = 0;
  RETURN_HR_IF(HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND),
               !VerQueryValueW(data.get(), L"\\", &fixed, &length) || length < sizeof(VS_FIXEDFILEINFO));
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  RETURN_HR_IF(HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND), info->dwSignature != VS_FFI_SIGNATURE);
  version = (FileVersion{info->dwFileVersionMS} << 32) | info->dwFileVersionLS;
  return S_OK;
}

std::unique_ptr<RepairPlatform> MakeWin32RepairPlatform() { return std::make_unique<Win32RepairPlatform>(); }

int Win32RepairWindow::ShowMessage(std::u16string_view text, std::u16string_view title, int style) {
  const std::u16string ownText(text);
  const std::u16string ownTitle(title);
  return MessageBoxW(owner_, Wide(ownText), Wide(ownTitle), static_cast<UINT>(style));
}

void Win32RepairWindow::SetCommand1Enabled(bool enabled) { EnableWindow(command1_, enabled ? TRUE : FALSE); }

bool Win32RepairWindow::Option1Selected() { return SendMessageW(option1_, BM_GETCHECK, 0, 0) == BST_CHECKED; }

}  // namespace repair
