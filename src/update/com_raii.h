#pragma once
// Small RAII owners for COM and automation resources, and early-return macros that
// keep the success path straight:
//
//   RETURN_IF_FAILED(expr)     returns the HRESULT of expr when it failed
//   RETURN_HR_IF(hr, cond)     returns hr when cond holds
//   RETURN_LAST_ERROR_IF(cond) returns HRESULT_FROM_WIN32(GetLastError()) when cond holds
//
// Windows only. No _com_ptr_t, _bstr_t or ATL.

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <unknwn.h>

#include <string_view>
#include <utility>

#ifndef RETURN_IF_FAILED
#define RETURN_IF_FAILED(expr)                       \
  do {                                               \
    const HRESULT hr_returned_ = (expr);             \
    if (FAILED(hr_returned_)) return hr_returned_;   \
  } while (false)
#endif

#ifndef RETURN_HR_IF
#define RETURN_HR_IF(hr, condition)   \
  do {                                \
    if (condition) return (hr);       \
  } while (false)
#endif

#ifndef RETURN_LAST_ERROR_IF
#define RETURN_LAST_ERROR_IF(condition)                                                  \
  do {                                                                                   \
    if (condition) {                                                                     \
      const DWORD error_returned_ = GetLastError();                                      \
      return error_returned_ ? HRESULT_FROM_WIN32(error_returned_) : E_FAIL;             \
    }                                                                                    \
  } while (false)
#endif

namespace win {

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
