#pragma once
// A small set of RAII owners and early-return macros for Win32 and COM code, shaped
// after the Windows Implementation Libraries: unique_any-style owners per handle kind,
// com_ptr with put() and query<U>(), and RETURN_* macros that keep the happy path flat.
#include <windows.h>
#include <oleauto.h>
#include <unknwn.h>

#include <utility>

namespace wil {

// An owner of one handle value with its close function.
template <class T, auto Close, T Invalid = T{}>
class unique_any {
 public:
  unique_any() = default;
  explicit unique_any(T value) : value_(value) {}
  unique_any(const unique_any&) = delete;
  unique_any& operator=(const unique_any&) = delete;
  unique_any(unique_any&& other) noexcept : value_(other.release()) {}
  unique_any& operator=(unique_any&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~unique_any() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Invalid; }
  T release() { return std::exchange(value_, Invalid); }
  void reset(T value = Invalid) {
    if (value_ != Invalid) Close(value_);
    value_ = value;
  }
  T* put() {
    reset();
    return &value_;
  }

 private:
  T value_ = Invalid;
};

using unique_hkey = unique_any<HKEY, &RegCloseKey>;
using unique_bstr = unique_any<BSTR, &SysFreeString>;
using unique_hicon = unique_any<HICON, &DestroyIcon>;
using unique_hbitmap = unique_any<HBITMAP, &DeleteObject>;
using unique_hdc = unique_any<HDC, &DeleteDC>;
using unique_hwnd = unique_any<HWND, &DestroyWindow>;

// A BSTR copy of a wide string; nullptr only when out of memory.
inline unique_bstr make_bstr(const wchar_t* text, UINT length) { return unique_bstr(SysAllocStringLen(text, length)); }

// An owning COM interface pointer.
template <class T>
class com_ptr {
 public:
  com_ptr() = default;
  com_ptr(std::nullptr_t) {}
  explicit com_ptr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  com_ptr(const com_ptr& other) : com_ptr(other.p_) {}
  com_ptr(com_ptr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  com_ptr& operator=(com_ptr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~com_ptr() { reset(); }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void reset() {
    if (auto p = std::exchange(p_, nullptr)) p->Release();
  }
  T* detach() { return std::exchange(p_, nullptr); }
  // Receives a new pointer from a function with a T** out parameter.
  T** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  // Copies the pointer into an out parameter, adding a reference.
  HRESULT copy_to(T** out) const {
    if (!out) return E_POINTER;
    *out = p_;
    if (p_) p_->AddRef();
    return S_OK;
  }

  template <class U>
  com_ptr<U> query() const {
    com_ptr<U> result;
    if (p_) p_->QueryInterface(__uuidof(U), result.put_void());
    return result;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace wil

#define RETURN_IF_FAILED(expr)            \
  do {                                    \
    const HRESULT hr_ = (expr);           \
    if (FAILED(hr_)) return hr_;          \
  } while (0)

#define RETURN_HR_IF(hr, condition) \
  do {                              \
    if (condition) return (hr);     \
  } while (0)

#define RETURN_HR_IF_NULL(hr, pointer) RETURN_HR_IF(hr, (pointer) == nullptr)

#define RETURN_IF_WIN32_ERROR(expr)                                  \
  do {                                                               \
    const LONG err_ = (expr);                                        \
    if (err_ != ERROR_SUCCESS) return HRESULT_FROM_WIN32(err_);      \
  } while (0)

#define RETURN_LAST_ERROR_IF(condition)                                    \
  do {                                                                     \
    if (condition) {                                                       \
      const DWORD err_ = GetLastError();                                   \
      return err_ ? HRESULT_FROM_WIN32(err_) : E_FAIL;                     \
    }                                                                      \
  } while (0)
