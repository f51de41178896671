// _Tesvar through IDispatch as automation hosts call it, and through its vtable.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <vector>

#include "dispatch_call.h"
#include "expected_identity.h"

namespace {

using namespace ocx_test;
using namespace ocx_test::members;
using win::make_bstr;

// A null string argument, as a host passes an unset string.
VARIANT NullText() { return Text(static_cast<const wchar_t*>(nullptr)); }

// An object without a default value: a second control.
VARIANT AnObject() {
  return Variant(VT_DISPATCH, [](VARIANT& v) { V_DISPATCH(&v) = CreateControl<IDispatch>().detach(); });
}
VARIANT AnArray() {
  return Variant(VT_ARRAY | VT_VARIANT, [](VARIANT& v) { V_ARRAY(&v) = SafeArrayCreateVector(VT_VARIANT, 0, 2); });
}
VARIANT Null() { return Variant(VT_NULL, [](VARIANT&) {}); }

// A control working on section 常规 of a file that holds 用户名=张三.
using Dispatch = ControlOnAFile;

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
  const Invocation call(dispatch_.get(), kLoadKey, {Text(L"常规"), Text(L"用户名"), RefTo(&size), RefTo(&check)});
  EXPECT_EQ(Outcome(call), L"\"张三\"");
  EXPECT_EQ(V_VT(&size), VT_I4) << "the caller's variable keeps its type";
}

TEST_F(Dispatch, PlainValuesOfOtherTypesAreCoerced) {
  struct {
    VARIANT size;
    const wchar_t* expected;
  } cases[] = {{Long(256), L"\"张三\""}, {Text(L"3"), L"\"张\""}, {Boolean(true), L"error 5"} /* -1 */};
  for (auto& c : cases) {
    const Invocation call(dispatch_.get(), kLoadKey, {Text(L"常规"), Text(L"用户名"), c.size, Long(0)});
    EXPECT_EQ(Outcome(call), c.expected);
  }
}

// Arguments of a type that does not convert, and arguments left out, end with the
// standard status naming the argument (its rgvarg index); nothing is written.
TEST_F(Dispatch, WrongOrMissingArgumentsGetTheStandardStatus) {
  constexpr UINT kNone = Invocation::kNoArgument;
  struct {
    const char* name;
    DISPID id;
    WORD flags;
    std::vector<VARIANT> args;
    HRESULT status;
    UINT argErr;
  } cases[] = {
      {"a text that is no number for 数据缓冲", kLoadKey, DISPATCH_METHOD,
       {Text(L"常规"), Text(L"用户名"), Text(L"abc"), Long(0)}, DISP_E_TYPEMISMATCH, 1},
      {"a number beyond an Integer for 数据缓冲", kLoadKey, DISPATCH_METHOD,
       {Text(L"常规"), Text(L"用户名"), Long(32768), Long(0)}, DISP_E_OVERFLOW, 1},
      {"an object for 数据缓冲", kLoadKey, DISPATCH_METHOD, {Text(L"常规"), Text(L"用户名"), AnObject(), Long(0)},
       DISP_E_TYPEMISMATCH, 1},
      {"a text that is no Boolean for 错误处理", kLoadKey, DISPATCH_METHOD,
       {Text(L"常规"), Text(L"用户名"), Long(16), Text(L"abc")}, DISP_E_TYPEMISMATCH, 0},
      {"an object for 扇区", kSavKey, DISPATCH_METHOD, {AnObject(), Text(L"键"), Text(L"值"), Long(0)},
       DISP_E_TYPEMISMATCH, 3},
      {"an array for 数据", kSavKey, DISPATCH_METHOD, {Text(L"常规"), Text(L"用户名"), AnArray(), Long(0)},
       DISP_E_TYPEMISMATCH, 1},
      {"Null for 扇区", kDirSection, DISPATCH_METHOD, {Null()}, DISP_E_TYPEMISMATCH, 0},
      {"an array for FileName", kFileName, DISPATCH_PROPERTYPUT, {AnArray()}, DISP_E_TYPEMISMATCH, 0},
      {"an array for nPathName", kNewFile, DISPATCH_METHOD, {AnArray()}, DISP_E_TYPEMISMATCH, 0},
      {"数据缓冲 left out", kLoadKey, DISPATCH_METHOD, {Text(L"常规"), Text(L"用户名"), Omitted(), Long(0)},
       DISP_E_PARAMNOTOPTIONAL, 1},
      {"数据 left out", kSavKey, DISPATCH_METHOD, {Text(L"常规"), Text(L"用户名"), Omitted(), Long(0)},
       DISP_E_PARAMNOTOPTIONAL, 1},
      {"扇区 left out", kDirSection, DISPATCH_METHOD, {Omitted()}, DISP_E_PARAMNOTOPTIONAL, 0},
      {"the last two arguments missing", kLoadKey, DISPATCH_METHOD, {Text(L"常规"), Text(L"用户名")},
       DISP_E_BADPARAMCOUNT, kNone},
      {"no arguments", kSavKey, DISPATCH_METHOD, {}, DISP_E_BADPARAMCOUNT, kNone},
      {"one argument too many", kDirSection, DISPATCH_METHOD, {Text(L"常规"), Text(L"常规")}, DISP_E_BADPARAMCOUNT,
       kNone},
      {"a member that does not exist", 0x60030008, DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND, kNone},
  };
  for (auto& c : cases) {
    const Invocation call(dispatch_.get(), c.id, std::move(c.args), c.flags);
    EXPECT_EQ(call.status, c.status) << c.name;
    if (c.argErr != kNone) {
      EXPECT_EQ(call.argErr, c.argErr) << c.name;
    }
  }
  EXPECT_EQ(dir_.Read("settings.ini"), kContent);
}

// A null or empty 扇区, 键值 or nPathName names only itself: a read finds nothing, and
// a delete never reaches the file's sections and keys. The writes that a null name
// makes (a key without name, or one outside every section) leave the lines there were.
TEST_F(Dispatch, NullAndEmptyNamesReachNothingElse) {
  struct {
    const char* name;
    DISPID id;
    std::vector<VARIANT> args;
    const wchar_t* expected;
    bool addsLines;
  } cases[] = {
      {"Load_Key of a null section", kLoadKey, {NullText(), Text(L"用户名"), Long(64), Long(0)}, L"\"\"", false},
      {"Load_Key of a null key", kLoadKey, {Text(L"常规"), NullText(), Long(64), Long(0)}, L"\"\"", false},
      {"Load_Key of empty names", kLoadKey, {Text(L""), Text(L""), Long(64), Long(0)}, L"\"\"", false},
      {"Sav_Key in a null section", kSavKey, {NullText(), Text(L"键"), Text(L"值"), Long(0)}, L"True", true},
      {"Sav_Key of a null key", kSavKey, {Text(L"常规"), NullText(), Text(L"值"), Long(0)}, L"True", true},
      {"Dir扇区 of a null section", kDirSection, {NullText()}, L"False", false},
      {"Dir键值 of a null section", kDirKey, {NullText(), Text(L"用户名")}, L"False", false},
      {"Dir键值 of a null key", kDirKey, {Text(L"常规"), NullText()}, L"False", false},
      {"Del扇区 of a null section", kDelSection, {NullText()}, L"done", false},
      {"Del扇区 of an empty section", kDelSection, {Text(L"")}, L"done", false},
      {"Del键值 of a null section", kDelKey, {NullText(), Text(L"用户名")}, L"done", false},
      {"Del键值 of a null key", kDelKey, {Text(L"常规"), NullText()}, L"done", false},
      {"Del键值 of empty names", kDelKey, {Text(L""), Text(L"")}, L"done", false},
      {"Del数据 of a null section", kDelData, {NullText(), Text(L"用户名")}, L"done", true},
      {"Del数据 of a null key", kDelData, {Text(L"常规"), NullText()}, L"done", true},
      {"NewFile of a null name", kNewFile, {NullText()}, L"error 52", false},
      {"NewFile of an empty name", kNewFile, {Text(L"")}, L"error 52", false},
  };
  for (auto& c : cases) {
    dir_.Write("settings.ini", kContent);
    const Invocation call(dispatch_.get(), c.id, std::move(c.args));
    EXPECT_EQ(Outcome(call), c.expected) << c.name;
    const std::string after = dir_.Read("settings.ini");
    if (c.addsLines) {
      EXPECT_TRUE(after.contains(kContent)) << c.name;
    } else {
      EXPECT_EQ(after, kContent) << c.name;
    }
  }
}

TEST_F(Dispatch, ControlErrorsComeAsExceptionsWithTheErrorNumber) {
  ASSERT_EQ(control_->put_FileName(make_bstr(file_ + L".missing").get()), S_OK);
  VARIANT check = Boolean(false);
  const Invocation call(dispatch_.get(), kSavKey, {Text(L"常规"), Text(L"键"), Text(L"值"), RefTo(&check)});
  ASSERT_EQ(call.status, DISP_E_EXCEPTION);
  EXPECT_EQ(call.Scode(), 0x800A0035u);  // 53, file not found
  EXPECT_STREQ(call.exception.bstrSource, L"TesvarLib.Tesvar");
  EXPECT_STREQ(call.exception.bstrDescription, L"文件未找到");

  const Invocation failed(dispatch_.get(), kLoadKey, {Text(L"常规"), Text(L"键"), Long(0), Boolean(false)});
  ASSERT_EQ(Outcome(failed), L"error 5");
  EXPECT_TRUE(V_VT(&failed.result) == VT_EMPTY || !V_BSTR(&failed.result)) << "no string to free with the exception";
}

TEST_F(Dispatch, VtableCallsReturnTheStatusWithErrorInfo) {
  ASSERT_EQ(control_->put_FileName(make_bstr(file_ + L".missing").get()), S_OK);
  VARIANT_BOOL check = VARIANT_FALSE, written = VARIANT_TRUE;
  EXPECT_EQ(static_cast<ULONG>(control_->Sav_Key(make_bstr(L"常规").get(), make_bstr(L"键").get(), make_bstr(L"值").get(), &check,
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
  EXPECT_EQ(static_cast<ULONG>(control_->Load_Key(make_bstr(L"常规").get(), make_bstr(L"用户名").get(), &size, &check,
                                                   value.put())),
            0x800A0005u);
  // A caller frees no result of a failed call, so the member hands out none.
  EXPECT_EQ(value.get(), nullptr);
}

TEST_F(Dispatch, NullStringsCountAsEmpty) {
  VARIANT_BOOL check = VARIANT_FALSE, result = VARIANT_FALSE;
  ASSERT_EQ(control_->Sav_Key(make_bstr(L"常规").get(), make_bstr(L"空").get(), nullptr, &check, &result), S_OK);
  EXPECT_EQ(result, VARIANT_TRUE);
  ASSERT_EQ(control_->Dir键值(make_bstr(L"常规").get(), make_bstr(L"空").get(), &result), S_OK);
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
  EXPECT_EQ(Invocation(dispatch_.get(), id, {RefTo(&value)}, DISPATCH_PROPERTYPUT).status, S_OK);
  win::unique_bstr got;
  ASSERT_EQ(control_->get_FileName(got.put()), S_OK);
  EXPECT_STREQ(got.get(), L"其他.ini");
  VariantClear(&value);
}

}  // namespace
