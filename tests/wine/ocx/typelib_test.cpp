// The type library embedded in Tesvar.ocx, read back as a host reads it, and the
// module's other resources.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "expected_identity.h"
#include "ocx_under_test.h"

namespace {

using ocx_test::OcxPath;

struct Param {
  const wchar_t* name;  // nullptr: unnamed (the value of a property put)
  VARTYPE type;
  bool byRef;
};

struct Member {
  const wchar_t* name;
  DISPID id;
  INVOKEKIND kind;
  std::vector<Param> params;
  VARTYPE result;  // VT_EMPTY: none
};

// The automation interface _Tesvar, in slot order.
const std::vector<Member>& MemberTable() {
  static const std::vector<Member> table = {
      {L"FileName", 0x40030000, INVOKE_PROPERTYGET, {}, VT_BSTR},
      {L"FileName", 0x40030000, INVOKE_PROPERTYPUT, {{nullptr, VT_BSTR, false}}, VT_EMPTY},
      {L"Load_Key", 0x60030000, INVOKE_FUNC,
       {{L"扇区", VT_BSTR, false}, {L"键值", VT_BSTR, false}, {L"数据缓冲", VT_I2, true}, {L"错误处理", VT_BOOL, true}},
       VT_BSTR},
      {L"Sav_Key", 0x60030001, INVOKE_FUNC,
       {{L"扇区", VT_BSTR, false}, {L"键值", VT_BSTR, false}, {L"数据", VT_BSTR, false}, {L"错误处理", VT_BOOL, true}},
       VT_BOOL},
      {L"Dir扇区", 0x60030002, INVOKE_FUNC, {{L"扇区", VT_BSTR, false}}, VT_BOOL},
      {L"Dir键值", 0x60030003, INVOKE_FUNC, {{L"扇区", VT_BSTR, false}, {L"键值", VT_BSTR, false}}, VT_BOOL},
      {L"Del扇区", 0x60030004, INVOKE_FUNC, {{L"扇区", VT_BSTR, false}}, VT_EMPTY},
      {L"Del键值", 0x60030005, INVOKE_FUNC, {{L"扇区", VT_BSTR, false}, {L"键值", VT_BSTR, false}}, VT_EMPTY},
      {L"Del数据", 0x60030006, INVOKE_FUNC, {{L"扇区", VT_BSTR, false}, {L"键值", VT_BSTR, false}}, VT_EMPTY},
      {L"NewFile", 0x60030007, INVOKE_FUNC, {{L"nPathName", VT_BSTR, true}}, VT_BOOL},
      {L"Readme", 0x60030009, INVOKE_FUNC, {{L"Show_S", VT_BOOL, true}}, VT_EMPTY},
  };
  return table;
}

class TypeLibrary : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LoadTypeLibEx(OcxPath().c_str(), REGKIND_NONE, lib_.put()), S_OK) << "no TYPELIB 1 resource";
  }

  win::com_ptr<ITypeInfo> Info(const GUID& guid) {
    win::com_ptr<ITypeInfo> info;
    EXPECT_EQ(lib_->GetTypeInfoOfGuid(guid, info.put()), S_OK);
    return info;
  }

  static TYPEATTR Attributes(ITypeInfo* info) {
    win::unique_typeattr attr(info);
    EXPECT_EQ(info->GetTypeAttr(attr.put()), S_OK);
    return *attr.get();
  }

  static std::wstring Name(ITypeInfo* info) {
    win::unique_bstr name;
    info->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr);
    return name.get() ? name.get() : L"";
  }

  win::com_ptr<ITypeLib> lib_;
};

TEST_F(TypeLibrary, IsTesvarLibVersionOneForThisArchitecture) {
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(lib_->GetLibAttr(&attr), S_OK);
  EXPECT_EQ(attr->guid, expected::kLibraryId);
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  EXPECT_EQ(attr->syskind, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
  lib_->ReleaseTLibAttr(attr);

  win::unique_bstr name, help;
  ASSERT_EQ(lib_->GetDocumentation(-1, name.put(), help.put(), nullptr, nullptr), S_OK);
  EXPECT_STREQ(name.get(), L"TesvarLib");
  EXPECT_STREQ(help.get(), L"TesvarLib");
  EXPECT_EQ(lib_->GetTypeInfoCount(), 3u);
}

TEST_F(TypeLibrary, ControlClassHasTheDualInterfaceAndTheEventSource) {
  auto coclass = Info(expected::kClassId);
  ASSERT_TRUE(coclass);
  const TYPEATTR attr = Attributes(coclass.get());
  EXPECT_EQ(attr.typekind, TKIND_COCLASS);
  EXPECT_EQ(attr.wTypeFlags & (TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL | TYPEFLAG_FHIDDEN),
            TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL);
  EXPECT_EQ(Name(coclass.get()), L"Tesvar");
  ASSERT_EQ(attr.cImplTypes, 2);

  const struct {
    GUID iid;
    INT flags;
  } implemented[] = {{expected::kInterfaceId, IMPLTYPEFLAG_FDEFAULT},
                     {expected::kEventsId, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}};
  for (UINT i = 0; i < 2; ++i) {
    INT flags = 0;
    HREFTYPE ref = 0;
    win::com_ptr<ITypeInfo> type;
    ASSERT_EQ(coclass->GetImplTypeFlags(i, &flags), S_OK);
    ASSERT_EQ(coclass->GetRefTypeOfImplType(i, &ref), S_OK);
    ASSERT_EQ(coclass->GetRefTypeInfo(ref, type.put()), S_OK);
    EXPECT_EQ(flags, implemented[i].flags) << i;
    EXPECT_EQ(Attributes(type.get()).guid, implemented[i].iid) << i;
  }
}

TEST_F(TypeLibrary, DefaultInterfaceIsDualAndHidden) {
  auto dispatch = Info(expected::kInterfaceId);
  ASSERT_TRUE(dispatch);
  const TYPEATTR attr = Attributes(dispatch.get());
  EXPECT_EQ(attr.typekind, TKIND_DISPATCH);
  EXPECT_TRUE(attr.wTypeFlags & TYPEFLAG_FDUAL);
  EXPECT_TRUE(attr.wTypeFlags & TYPEFLAG_FHIDDEN);
  EXPECT_EQ(Name(dispatch.get()), L"_Tesvar");
}

TEST_F(TypeLibrary, EventInterfaceIsHiddenAndEmpty) {
  auto events = Info(expected::kEventsId);
  ASSERT_TRUE(events);
  const TYPEATTR attr = Attributes(events.get());
  EXPECT_EQ(attr.typekind, TKIND_DISPATCH);
  EXPECT_TRUE(attr.wTypeFlags & TYPEFLAG_FHIDDEN);
  EXPECT_EQ(Name(events.get()), L"__Tesvar");
  EXPECT_EQ(attr.cFuncs, 7) << "only the IDispatch members";
}

TEST_F(TypeLibrary, VtableMembersFollowTheInterfaceTable) {
  auto dispatch = Info(expected::kInterfaceId);
  ASSERT_TRUE(dispatch);
  HREFTYPE ref = 0;
  win::com_ptr<ITypeInfo> iface;
  ASSERT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
  ASSERT_EQ(dispatch->GetRefTypeInfo(ref, iface.put()), S_OK);
  const TYPEATTR attr = Attributes(iface.get());
  EXPECT_EQ(attr.typekind, TKIND_INTERFACE);
  const auto& table = MemberTable();
  ASSERT_EQ(attr.cFuncs, static_cast<WORD>(table.size()));

  for (UINT slot = 0; slot < table.size(); ++slot) {
    const Member& member = table[slot];
    SCOPED_TRACE(testing::Message() << "slot " << slot);
    win::unique_funcdesc func(iface.get());
    ASSERT_EQ(iface->GetFuncDesc(slot, func.put()), S_OK);
    EXPECT_EQ(func->memid, member.id);
    EXPECT_EQ(func->invkind, member.kind);
    EXPECT_EQ(func->callconv, CC_STDCALL);
    EXPECT_EQ(func->oVft, static_cast<SHORT>((7 + slot) * sizeof(void*)));
    EXPECT_EQ(func->elemdescFunc.tdesc.vt, VT_HRESULT);
    const size_t withResult = member.params.size() + (member.result != VT_EMPTY ? 1 : 0);
    ASSERT_EQ(static_cast<size_t>(func->cParams), withResult);
    for (size_t p = 0; p < member.params.size(); ++p) {
      const ELEMDESC& element = func->lprgelemdescParam[p];
      const Param& param = member.params[p];
      if (param.byRef) {
        ASSERT_EQ(element.tdesc.vt, VT_PTR) << p;
        EXPECT_EQ(element.tdesc.lptdesc->vt, param.type) << p;
        EXPECT_EQ(element.paramdesc.wParamFlags, PARAMFLAG_FIN | PARAMFLAG_FOUT) << p;
      } else {
        EXPECT_EQ(element.tdesc.vt, param.type) << p;
        EXPECT_EQ(element.paramdesc.wParamFlags & (PARAMFLAG_FOUT | PARAMFLAG_FRETVAL), 0) << p;
      }
    }
    if (member.result != VT_EMPTY) {
      const ELEMDESC& result = func->lprgelemdescParam[member.params.size()];
      ASSERT_EQ(result.tdesc.vt, VT_PTR);
      EXPECT_EQ(result.tdesc.lptdesc->vt, member.result);
      EXPECT_EQ(result.paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
    }

    BSTR names[8] = {};
    UINT count = 0;
    ASSERT_EQ(iface->GetNames(member.id, names, 8, &count), S_OK);
    std::vector<std::wstring> got;
    for (UINT i = 0; i < count; ++i) {
      got.emplace_back(names[i] ? names[i] : L"");
      SysFreeString(names[i]);
    }
    std::vector<std::wstring> want{member.name};
    for (const Param& param : member.params) {
      if (param.name) want.emplace_back(param.name);
    }
    if (member.kind == INVOKE_FUNC) EXPECT_EQ(got, want);
    else EXPECT_EQ(got.at(0), want.at(0));
  }
}

// Each member's name and its parameters' names, Chinese ones included, resolve as a
// script host asks for them: the member's identifier, then each parameter's position.
TEST_F(TypeLibrary, ChineseNamesResolveAsAScriptHostAsksForThem) {
  auto dispatch = Info(expected::kInterfaceId);
  ASSERT_TRUE(dispatch);
  for (const Member& member : MemberTable()) {
    if (member.kind == INVOKE_PROPERTYPUT) continue;
    std::vector<const wchar_t*> names{member.name};
    std::vector<DISPID> want{member.id};
    for (const Param& param : member.params) {
      names.push_back(param.name);
      want.push_back(static_cast<DISPID>(want.size() - 1));
    }
    std::vector<DISPID> ids(names.size(), -1);
    EXPECT_EQ(dispatch->GetIDsOfNames(const_cast<LPOLESTR*>(names.data()), static_cast<UINT>(names.size()),
                                      ids.data()),
              S_OK)
        << member.name;
    EXPECT_EQ(ids, want);
  }
}

// ---- the module's other resources ----------------------------------------------

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* name, bool* present) {
  const std::wstring path = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
  void* value = nullptr;
  UINT length = 0;
  *present = VerQueryValueW(block.data(), path.c_str(), &value, &length) != FALSE;
  return *present && length ? std::wstring(static_cast<const wchar_t*>(value)) : std::wstring();
}

TEST(Resources, VersionBlockNamesTheControl) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(OcxPath().c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(OcxPath().c_str(), 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                             &length));
  ASSERT_GE(length, 4u);
  EXPECT_EQ(translation[0], 0x0804);
  EXPECT_EQ(translation[1], 0x04B0);

  const struct {
    const wchar_t* name;
    const wchar_t* value;
  } strings[] = {{L"FileVersion", L"1.00"},     {L"ProductVersion", L"1.00"},
                 {L"ProductName", L"工程1"},     {L"InternalName", L"Tesvar"},
                 {L"OriginalFilename", L"Tesvar.ocx"}, {L"OLESelfRegister", L""}};
  for (const auto& s : strings) {
    bool present = false;
    EXPECT_EQ(VersionString(block, s.name, &present), s.value) << s.name;
    EXPECT_TRUE(present) << s.name;
  }
  bool present = true;
  VersionString(block, L"CompanyName", &present);
  EXPECT_FALSE(present) << "no string entries beyond the listed ones";
}

TEST(Resources, IconAndToolboxBitmap) {
  HMODULE module = LoadLibraryExW(OcxPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_TRUE(module);

  HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  ASSERT_TRUE(icon);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP colour{};
  GetObjectW(info.hbmColor, sizeof colour, &colour);
  EXPECT_EQ(colour.bmWidth, 32);
  EXPECT_EQ(colour.bmHeight, 32);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  DestroyIcon(icon);

  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(30000), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
  ASSERT_TRUE(found);
  const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, found)));
  ASSERT_TRUE(header);
  EXPECT_EQ(header->biWidth, 16);
  EXPECT_EQ(header->biHeight, 15);
  EXPECT_EQ(header->biBitCount, 24);
  FreeLibrary(module);
}

}  // namespace
