#pragma once
// Owners of Win32 and COM resources in the manner of WIL (unique_handle, com_ptr,
// unique_bstr, unique_variant), and early returns that keep the success path straight:
//
//   RETURN_IF_FAILED(expr)     returns the HRESULT of expr when it failed
//   RETURN_HR_IF(hr, cond)     returns hr when cond holds
//   RETURN_LAST_ERROR_IF(cond) returns the thread's last error as an HRESULT when cond holds
//
// No _com_ptr_t, _bstr_t or ATL.

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <unknwn.h>

#include <string_view>
#include <utility>

namespace win {

// The calling thread's last error as a failing HRESULT (E_FAIL when none was set).
inline HRESULT LastErrorAsFailure() noexcept {
  const DWORD code = ::GetLastError();
  return code == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(code);
}

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

// An owned interface pointer.
template <class T>
class com_ptr {
 public:
  com_ptr() noexcept = default;
  com_ptr(const com_ptr&) = delete;
  com_ptr& operator=(const com_ptr&) = delete;
  com_ptr(com_ptr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  com_ptr& operator=(com_ptr&& other) noexcept {
    if (this != &other) reset(std::exchange(other.ptr_, nullptr));
    return *this;
  }
  ~com_ptr() { reset(); }

  T* get() const noexcept { return ptr_; }
  T* operator->() const noexcept { return ptr_; }
  explicit operator bool() const noexcept { return ptr_ != nullptr; }

  // Releases what it holds and returns the address to receive a new pointer.
  T** put() noexcept {
    reset();
    return &ptr_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

  void reset(T* ptr = nullptr) noexcept {
    if (ptr_) ptr_->Release();
    ptr_ = ptr;
  }

  template <class U>
  [[nodiscard]] HRESULT query(com_ptr<U>& out) const noexcept {
    if (!ptr_) return E_POINTER;
    return ptr_->QueryInterface(__uuidof(U), out.put_void());
  }

 private:
  T* ptr_ = nullptr;
};

// An owned BSTR.
class unique_bstr {
 public:
  unique_bstr() noexcept = default;
  explicit unique_bstr(BSTR value) noexcept : value_(value) {}
  unique_bstr(const unique_bstr&) = delete;
  unique_bstr& operator=(const unique_bstr&) = delete;
  unique_bstr(unique_bstr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
  unique_bstr& operator=(unique_bstr&& other) noexcept {
    if (this != &other) reset(std::exchange(other.value_, nullptr));
    return *this;
  }
  ~unique_bstr() { reset(); }

  BSTR get() const noexcept { return value_; }
  BSTR release() noexcept { return std::exchange(value_, nullptr); }
  void reset(BSTR value = nullptr) noexcept {
    if (value_) SysFreeString(value_);
    value_ = value;
  }

 private:
  BSTR value_ = nullptr;
};

// A copy of `text` as a BSTR; empty (null) when out of memory and text is not empty.
inline unique_bstr make_bstr(std::wstring_view text) noexcept {
  return unique_bstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

// An owned VARIANT, cleared when it goes.
class unique_variant : public VARIANT {
 public:
  unique_variant() noexcept { VariantInit(this); }
  unique_variant(const unique_variant&) = delete;
  unique_variant& operator=(const unique_variant&) = delete;
  ~unique_variant() { VariantClear(this); }

  // Clears the value and returns the address to receive a new one.
  VARIANT* put() noexcept {
    VariantClear(this);
    return this;
  }
};

}  // namespace win

#define RETURN_IF_FAILED(expr)                     \
  do {                                             \
    const HRESULT hr_returned_ = (expr);           \
    if (FAILED(hr_returned_)) return hr_returned_; \
  } while (false)
#define RETURN_HR_IF(hr, condition) \
  do {                              \
    if (condition) return (hr);     \
  } while (false)
#define RETURN_LAST_ERROR_IF(condition)                        \
  do {                                                         \
    if (condition) return ::win::LastErrorAsFailure();         \
  } while (false)
