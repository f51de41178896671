#pragma once
// RAII for kernel handles, in the manner of WIL's unique_handle.

#include <windows.h>

#include <utility>

namespace repair::win32 {

// Owns a handle that CloseHandle releases. NULL and INVALID_HANDLE_VALUE both mean
// "no handle", as the Win32 functions return one or the other on failure.
class unique_handle {
 public:
  unique_handle() noexcept = default;
  explicit unique_handle(HANDLE handle) noexcept : handle_(handle) {}
  unique_handle(unique_handle&& other) noexcept : handle_(other.release()) {}
  unique_handle& operator=(unique_handle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  unique_handle(const unique_handle&) = delete;
  unique_handle& operator=(const unique_handle&) = delete;
  ~unique_handle() { reset(); }

  HANDLE get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE release() noexcept { return std::exchange(handle_, nullptr); }
  // Closes the handle it holds and takes `handle`; true when the close succeeded.
  bool reset(HANDLE handle = nullptr) noexcept {
    const HANDLE old = std::exchange(handle_, handle);
    if (old == nullptr || old == INVALID_HANDLE_VALUE) return true;
    return ::CloseHandle(old) != FALSE;
  }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace repair::win32

// Early returns that keep the happy path straight, after WIL's macros of the same names.
namespace repair::win32 {
// The calling thread's last error as a failing HRESULT (E_FAIL when none was set).
inline HRESULT LastErrorAsFailure() noexcept {
  const DWORD code = ::GetLastError();
  return code == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(code);
}
}  // namespace repair::win32

#define RETURN_IF_FAILED(expr)                   \
  do {                                           \
    const HRESULT repair_hr_ = (expr);           \
    if (FAILED(repair_hr_)) return repair_hr_;   \
  } while (0)
#define RETURN_LAST_ERROR_IF(condition)                                        \
  do {                                                                         \
    if (condition) return ::repair::win32::LastErrorAsFailure();              \
  } while (0)
#define RETURN_HR_IF(hr, condition) \
  do {                              \
    if (condition) return (hr);     \
  } while (0)
