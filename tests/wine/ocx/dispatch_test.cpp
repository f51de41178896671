// _Tesvar through IDispatch as automation hosts call it, and through its vtable.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <array>
#include <string>

#include "expected_identity.h"
#include "ocx_under_test.h"
#include "support/temp_dir.h"
#include "tesvar_interface.h"

namespace {

using ocx_test::Bstr;
using ocx_test::CreateControl;

constexpr DISPID kLoadKey = 0x60030000;
constexpr DISPID kSavKey = 0x60030001;

std::wstring Wide(const std::string& utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

VARIANT Text(const wchar_t* text) {
  VARIANT v;
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocString(text);
  return v;
}

VARIANT Long(LONG value) {
  VARIANT v;
  V_VT(&v) = VT_I4;
  V_I4(&v) = value;
  return v;
}

VARIANT Boolean(bool value) {
  VARIANT v;
  V_VT(&v) = VT_BOOL;
  V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

// A script variable passed by reference.
VARIANT RefTo(VARIANT* variable) {
  VARIANT v;
  V_VT(&v) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&v) = variable;
  return v;
}

// A control working on section 常规 of a file that holds 用户名=张三.
class Dispatch : public testing::Test {
 protected:
  void SetUp() override {
    control_ = CreateControl<ITesvar>();
    ASSERT_TRUE(control_);
    dispatch_ = control_.query<IDispatch>();
    ASSERT_TRUE(dispatch_);
    file_ = Wide(dir_.Write("settings.ini", "[\xB3\xA3\xB9\xE6]\r\n\xD3\xC3\xBB\xA7\xC3\xFB=\xD5\xC5\xC8\xFD\r\n"));
    ASSERT_EQ(control_->put_FileName(Bstr(file_.c_str()).get()), S_OK);
  }
  void TearDown() override {
    for (auto& arg : args_) VariantClear(&arg);
  }

  // Invokes `id` with `args` given in reading order.
  HRESULT Call(DISPID id, std::initializer_list<VARIANT> args, VARIANT* result, EXCEPINFO* exception = nullptr,
               UINT* argErr = nullptr) {
    for (auto& arg : args_) VariantClear(&arg);
    args_.assign(args.begin(), args.end());
    std::vector<VARIANT> reversed(args_.rbegin(), args_.rend());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    EXCEPINFO local{};
    UINT localErr = 0;
    const HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                         &params, result, exception ? exception : &local, argErr ? argErr : &localErr);
    if (!exception) {
      SysFreeString(local.bstrSource);
      SysFreeString(local.bstrDescription);
      SysFreeString(local.bstrHelpFile);
    }
    return hr;
  }

  testing_support::TempDir dir_;
  std::wstring file_;
  win::com_ptr<ITesvar> control_;
  win::com_ptr<IDispatch> dispatch_;
  std::vector<VARIANT> args_;
};

TEST_F(Dispatch, InterfacesShareOneIdentity) {
  win::com_ptr<IUnknown> viaVtable = control_.query<IUnknown>();
  win::com_ptr<IUnknown> viaDispatch = dispatch_.query<IUnknown>();
  win::com_ptr<IUnknown> viaOle = control_.query<IOleObject>().query<IUnknown>();
  EXPECT_EQ(viaVtable.get(), viaDispatch.get());
  EXPECT_EQ(viaVtable.get(), viaOle.get());
  EXPECT_TRUE(dispatch_.query<ITesvar>()) << "the dual interface from its IDispatch";
}

TEST_F(Dispatch, ScriptVariablesReachByReferenceParameters) {
  VARIANT size = Long(256), check = Boolean(false);  // a script's Variant variables
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(Call(kLoadKey, {Text(L"常规"), Text(L"用户名"), RefTo(&size), RefTo(&check)}, &result), S_OK);
  ASSERT_EQ(V_VT(&result), VT_BSTR);
  EXPECT_STREQ(V_BSTR(&result), L"张三");
  VariantClear(&result);
  EXPECT_EQ(V_VT(&size), VT_I4) << "the caller's variable keeps its type";
}

TEST_F(Dispatch, PlainValuesOfOtherTypesAreCoerced) {
  const struct {
    VARIANT size;
    const wchar_t* expected;
  } cases[] = {{Long(256), L"张三"}, {Text(L"3"), L"张"}, {Boolean(true) /* -1 */, nullptr}};
  for (const auto& c : cases) {
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr = Call(kLoadKey, {Text(L"常规"), Text(L"用户名"), c.size, Long(0)}, &result);
    if (c.expected) {
      EXPECT_EQ(hr, S_OK);
      EXPECT_STREQ(V_BSTR(&result), c.expected);
    } else {
      EXPECT_EQ(hr, DISP_E_EXCEPTION) << "a negative buffer is an invalid call";
    }
    VariantClear(&result);
  }
}

TEST_F(Dispatch, ArgumentsThatCannotBeCoercedAreNamed) {
  VARIANT result;
  VariantInit(&result);
  UINT argErr = 99;
  EXPECT_EQ(Call(kLoadKey, {Text(L"常规"), Text(L"用户名"), Text(L"abc"), Long(0)}, &result, nullptr, &argErr),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 1u) << "rgvarg index of 数据缓冲";
  EXPECT_EQ(Call(kLoadKey, {Text(L"常规"), Text(L"用户名"), Long(100000), Long(0)}, &result), DISP_E_OVERFLOW);
  EXPECT_EQ(Call(kLoadKey, {Text(L"常规"), Text(L"用户名")}, &result), DISP_E_BADPARAMCOUNT);
  VariantClear(&result);
}

TEST_F(Dispatch, ControlErrorsComeAsExceptionsWithTheErrorNumber) {
  ASSERT_EQ(control_->put_FileName(Bstr((file_ + L".missing").c_str()).get()), S_OK);
  VARIANT check = Boolean(false);
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO exception{};
  ASSERT_EQ(Call(kSavKey, {Text(L"常规"), Text(L"键"), Text(L"值"), RefTo(&check)}, &result, &exception),
            DISP_E_EXCEPTION);
  EXPECT_EQ(static_cast<ULONG>(exception.scode), 0x800A0035u);  // 53, file not found
  EXPECT_STREQ(exception.bstrSource, L"TesvarLib.Tesvar");
  EXPECT_STREQ(exception.bstrDescription, L"文件未找到");
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  VariantClear(&result);
}

TEST_F(Dispatch, VtableCallsReturnTheStatusWithErrorInfo) {
  ASSERT_EQ(control_->put_FileName(Bstr((file_ + L".missing").c_str()).get()), S_OK);
  VARIANT_BOOL check = VARIANT_FALSE, written = VARIANT_TRUE;
  EXPECT_EQ(static_cast<ULONG>(control_->Sav_Key(Bstr(L"常规").get(), Bstr(L"键").get(), Bstr(L"值").get(), &check,
                                                  &written)),
            0x800A0035u);
  EXPECT_EQ(written, VARIANT_FALSE);
  ASSERT_EQ(control_.query<ISupportErrorInfo>()->InterfaceSupportsErrorInfo(expected::kInterfaceId), S_OK);
  win::com_ptr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
  win::unique_bstr description;
  info->GetDescription(description.put());
  EXPECT_STREQ(description.get(), L"文件未找到");

  short size = 0;
  win::unique_bstr value;
  EXPECT_EQ(static_cast<ULONG>(control_->Load_Key(Bstr(L"常规").get(), Bstr(L"用户名").get(), &size, &check,
                                                   value.put())),
            0x800A0005u);
}

TEST_F(Dispatch, NullStringsCountAsEmpty) {
  VARIANT_BOOL check = VARIANT_FALSE, result = VARIANT_FALSE;
  ASSERT_EQ(control_->Sav_Key(Bstr(L"常规").get(), Bstr(L"空").get(), nullptr, &check, &result), S_OK);
  EXPECT_EQ(result, VARIANT_TRUE);
  ASSERT_EQ(control_->Dir键值(Bstr(L"常规").get(), Bstr(L"空").get(), &result), S_OK);
  EXPECT_EQ(result, VARIANT_TRUE) << "null data writes an empty value, never deletes the key";

  ASSERT_EQ(control_->put_FileName(nullptr), S_OK);
  win::unique_bstr name;
  ASSERT_EQ(control_->get_FileName(name.put()), S_OK);
  ASSERT_TRUE(name.get());
  EXPECT_EQ(SysStringLen(name.get()), 0u);
}

TEST_F(Dispatch, PropertyPutByNameTakesAReferencedVariant) {
  LPOLESTR name = const_cast<LPOLESTR>(L"FileName");
  DISPID id = 0;
  ASSERT_EQ(dispatch_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
  VARIANT value = Text(L"其他.ini");
  VARIANT ref = RefTo(&value);
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&ref, &named, 1, 1};
  ASSERT_EQ(dispatch_->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr), S_OK);
  win::unique_bstr got;
  ASSERT_EQ(control_->get_FileName(got.put()), S_OK);
  EXPECT_STREQ(got.get(), L"其他.ini");
  VariantClear(&value);
}

}  // namespace
