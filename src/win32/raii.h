#pragma once
// Owners of Win32 and COM resources and early returns, shaped after the Windows
// Implementation Libraries (which do not build with this toolchain): unique_any-style
// owners per handle kind, com_ptr with put() and query<U>(), and macros that keep the
// success path straight:
//
//   RETURN_IF_FAILED(expr)          returns the HRESULT of expr when it failed
//   RETURN_HR_IF(hr, cond)          returns hr when cond holds
//   RETURN_HR_IF_NULL(hr, pointer)  returns hr when pointer is null
//   RETURN_IF_WIN32_ERROR(expr)     returns expr's Win32 error code as an HRESULT
//   RETURN_LAST_ERROR_IF(cond)      returns the thread's last error as an HRESULT when cond holds
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
using unique_hfont = unique_any<HFONT, &DeleteObject>;
using unique_hbrush = unique_any<HBRUSH, &DeleteObject>;
using unique_hwnd = unique_any<HWND, &DestroyWindow>;
using unique_hmodule = unique_any<HMODULE, &FreeLibrary>;

// A BSTR copy of a wide string; null only when out of memory.
inline unique_bstr make_bstr(std::wstring_view text) {
  return unique_bstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
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

// A description that an ITypeInfo hands out (TYPEATTR, FUNCDESC), given back to it
// when it goes:
//
//   win::unique_typeattr attr(info);
//   RETURN_IF_FAILED(info->GetTypeAttr(attr.put()));
template <class T, void (*Release)(ITypeInfo*, T*)>
class unique_typeinfo_data {
 public:
  explicit unique_typeinfo_data(ITypeInfo* info) : info_(info) {}
  unique_typeinfo_data(const unique_typeinfo_data&) = delete;
  unique_typeinfo_data& operator=(const unique_typeinfo_data&) = delete;
  ~unique_typeinfo_data() { reset(); }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void reset() {
    if (auto p = std::exchange(p_, nullptr)) Release(info_.get(), p);
  }
  T** put() {
    reset();
    return &p_;
  }

 private:
  com_ptr<ITypeInfo> info_;
  T* p_ = nullptr;
};

namespace detail {
inline void ReleaseTypeAttr(ITypeInfo* info, TYPEATTR* attr) { info->ReleaseTypeAttr(attr); }
inline void ReleaseFuncDesc(ITypeInfo* info, FUNCDESC* func) { info->ReleaseFuncDesc(func); }
}  // namespace detail

using unique_typeattr = unique_typeinfo_data<TYPEATTR, &detail::ReleaseTypeAttr>;
using unique_funcdesc = unique_typeinfo_data<FUNCDESC, &detail::ReleaseFuncDesc>;

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

// An EXCEPINFO whose strings are freed when it goes.
class unique_excepinfo : public EXCEPINFO {
 public:
  unique_excepinfo() noexcept : EXCEPINFO{} {}
  unique_excepinfo(const unique_excepinfo&) = delete;
  unique_excepinfo& operator=(const unique_excepinfo&) = delete;
  ~unique_excepinfo() { reset(); }

  void reset() noexcept {
    SysFreeString(bstrSource);
    SysFreeString(bstrDescription);
    SysFreeString(bstrHelpFile);
    static_cast<EXCEPINFO&>(*this) = EXCEPINFO{};
  }
  // Hands the strings over to the caller's EXCEPINFO.
  EXCEPINFO release() noexcept { return std::exchange(static_cast<EXCEPINFO&>(*this), EXCEPINFO{}); }
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
#define RETURN_HR_IF_NULL(hr, pointer) RETURN_HR_IF(hr, (pointer) == nullptr)
#define RETURN_IF_WIN32_ERROR(expr)                                            \
  do {                                                                         \
    const LONG error_returned_ = (expr);                                       \
    if (error_returned_ != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error_returned_); \
  } while (false)
#define RETURN_LAST_ERROR_IF(condition)                \
  do {                                                 \
    if (condition) return ::win::LastErrorAsFailure(); \
  } while (false)
