#pragma once
// IDispatch::Invoke as automation hosts call it: argument values, script variables
// passed by reference, one call that owns its arguments, result and exception, and a
// control working on a file of the test's folder.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <cwchar>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ocx_under_test.h"
#include "support/temp_dir.h"
#include "tesvar_interface.h"
#include "win32/raii.h"
#include "wine/support/program.h"

namespace ocx_test {

// The dispatch identifiers of _Tesvar's members.
namespace members {
constexpr DISPID kFileName = 0x40030000;
constexpr DISPID kLoadKey = 0x60030000;
constexpr DISPID kSavKey = 0x60030001;
constexpr DISPID kDirSection = 0x60030002;
constexpr DISPID kDirKey = 0x60030003;
constexpr DISPID kDelSection = 0x60030004;
constexpr DISPID kDelKey = 0x60030005;
constexpr DISPID kDelData = 0x60030006;
constexpr DISPID kNewFile = 0x60030007;
}  // namespace members

// A profile holding section 常规 with 用户名=张三, in code page 936.
constexpr std::string_view kContent = "[\xB3\xA3\xB9\xE6]\r\n\xD3\xC3\xBB\xA7\xC3\xFB=\xD5\xC5\xC8\xFD\r\n";

// A VARIANT of `type` whose value `fill` sets.
template <class Fill>
VARIANT Variant(VARTYPE type, Fill fill) {
  VARIANT v;
  V_VT(&v) = type;
  fill(v);
  return v;
}

// A string argument; a null `text` gives a null BSTR, as a host's unset string.
inline VARIANT Text(const wchar_t* text) {
  return Variant(VT_BSTR, [&](VARIANT& v) { V_BSTR(&v) = text ? SysAllocString(text) : nullptr; });
}
inline VARIANT Text(const std::wstring& text) {
  return Variant(VT_BSTR, [&](VARIANT& v) { V_BSTR(&v) = win::make_bstr(text).release(); });
}
inline VARIANT Long(LONG value) { return Variant(VT_I4, [&](VARIANT& v) { V_I4(&v) = value; }); }
inline VARIANT Boolean(bool value) {
  return Variant(VT_BOOL, [&](VARIANT& v) { V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE; });
}
// A script variable passed by reference.
inline VARIANT RefTo(VARIANT* variable) {
  return Variant(VT_BYREF | VT_VARIANT, [&](VARIANT& v) { V_VARIANTREF(&v) = variable; });
}
// An argument left out in the middle of a call, as a script passes it.
inline VARIANT Omitted() { return Variant(VT_ERROR, [](VARIANT& v) { V_ERROR(&v) = DISP_E_PARAMNOTFOUND; }); }

// One IDispatch::Invoke of `id` with `args` given in reading order. Owns the
// arguments (cleared afterwards), the result and the exception's strings.
class Invocation {
 public:
  Invocation(IDispatch* dispatch, DISPID id, std::vector<VARIANT> args,
             WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET)
      : args_(std::move(args)) {
    std::vector<VARIANT> reversed(args_.rbegin(), args_.rend());
    DISPID named = DISPID_PROPERTYPUT;
    const bool put = flags == DISPATCH_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), put ? &named : nullptr, static_cast<UINT>(reversed.size()), put ? 1u : 0u};
    status = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, put ? nullptr : &result, &exception,
                              &argErr);
  }
  Invocation(const Invocation&) = delete;
  Invocation& operator=(const Invocation&) = delete;
  ~Invocation() {
    for (auto& arg : args_) VariantClear(&arg);
  }

  // The control's error number, 0x800A0000 + n, as a host reads it from the exception.
  ULONG Scode() const { return static_cast<ULONG>(exception.scode); }

  static constexpr UINT kNoArgument = ~0u;

  HRESULT status = E_FAIL;
  win::unique_variant result;
  win::unique_excepinfo exception;
  UINT argErr = kNoArgument;  // the rgvarg index of the argument Invoke names

 private:
  std::vector<VARIANT> args_;
};

// What a call gave a host: "error N" for the control's errors (0x800A0000 + N), the
// string or Boolean result, "done" for a member without result, or any other status.
inline std::wstring Outcome(const Invocation& call) {
  if (call.status == DISP_E_EXCEPTION && (call.Scode() & 0xFFFF0000u) == 0x800A0000u) {
    return L"error " + std::to_wstring(call.Scode() & 0xFFFFu);
  }
  if (call.status != S_OK) {
    wchar_t text[32];
    std::swprintf(text, std::size(text), L"status %08lX", static_cast<unsigned long>(call.status));
    return text;
  }
  const VARIANT& result = call.result;
  switch (V_VT(&result)) {
    case VT_BSTR: return L"\"" + std::wstring(V_BSTR(&result), SysStringLen(V_BSTR(&result))) + L"\"";
    case VT_BOOL: return V_BOOL(&result) ? L"True" : L"False";
    case VT_EMPTY: return L"done";
    default: return L"type " + std::to_wstring(V_VT(&result));
  }
}

// A control working on settings.ini of a fresh folder, which holds kContent.
class ControlOnAFile : public testing::Test {
 protected:
  void SetUp() override {
    control_ = CreateControl<ITesvar>();
    ASSERT_TRUE(control_);
    dispatch_ = control_.query<IDispatch>();
    ASSERT_TRUE(dispatch_);
    file_ = wine_test::WideFromUtf8(dir_.Write("settings.ini", kContent));
    ASSERT_EQ(control_->put_FileName(win::make_bstr(file_).get()), S_OK);
  }

  testing_support::TempDir dir_;
  std::wstring file_;
  win::com_ptr<ITesvar> control_;
  win::com_ptr<IDispatch> dispatch_;
};

}  // namespace ocx_test
