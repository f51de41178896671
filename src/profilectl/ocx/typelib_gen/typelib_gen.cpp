// Writes Tesvar's type library with oleaut32's ICreateTypeLib2. The member names and
// parameter names of _Tesvar are Chinese, which is why the library is generated rather
// than compiled from IDL. Runs under Wine at build time:
//
//   tesvar_tlbgen OUTPUT.tlb win32|win64
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "tesvar_identity.h"

namespace {

struct Param {
  const wchar_t* name;
  VARTYPE type;
  bool byRef;
};

struct Member {
  const wchar_t* name;
  MEMBERID id;
  INVOKEKIND kind;
  std::vector<Param> params;
  VARTYPE result;  // VT_EMPTY: no result
};

// _Tesvar in slot order after the seven IDispatch slots.
std::vector<Member> InterfaceMembers() {
  using namespace tesvar::dispid;
  return {
      {L"FileName", kFileName, INVOKE_PROPERTYGET, {}, VT_BSTR},
      {L"FileName", kFileName, INVOKE_PROPERTYPUT, {{nullptr, VT_BSTR, false}}, VT_EMPTY},
      {L"Load_Key", kLoadKey, INVOKE_FUNC,
       {{L"扇区", VT_BSTR, false}, {L"键值", VT_BSTR, false}, {L"数据缓冲", VT_I2, true}, {L"错误处理", VT_BOOL, true}},
       VT_BSTR},
      {L"Sav_Key", kSavKey, INVOKE_FUNC,
       {{L"扇区", VT_BSTR, false}, {L"键值", VT_BSTR, false}, {L"数据", VT_BSTR, false}, {L"错误处理", VT_BOOL, true}},
       VT_BOOL},
      {L"Dir扇区", kDirSection, INVOKE_FUNC, {{L"扇区", VT_BSTR, false}}, VT_BOOL},
      {L"Dir键值", kDirKey, INVOKE_FUNC, {{L"扇区", VT_BSTR, false}, {L"键值", VT_BSTR, false}}, VT_BOOL},
      {L"Del扇区", kDelSection, INVOKE_FUNC, {{L"扇区", VT_BSTR, false}}, VT_EMPTY},
      {L"Del键值", kDelKey, INVOKE_FUNC, {{L"扇区", VT_BSTR, false}, {L"键值", VT_BSTR, false}}, VT_EMPTY},
      {L"Del数据", kDelData, INVOKE_FUNC, {{L"扇区", VT_BSTR, false}, {L"键值", VT_BSTR, false}}, VT_EMPTY},
      {L"NewFile", kNewFile, INVOKE_FUNC, {{L"nPathName", VT_BSTR, true}}, VT_BOOL},
      {L"Readme", kReadme, INVOKE_FUNC, {{L"Show_S", VT_BOOL, true}}, VT_EMPTY},
  };
}

void Fail(const char* what, HRESULT hr) {
  std::fprintf(stderr, "tesvar_tlbgen: %s failed: 0x%08lx\n", what, static_cast<unsigned long>(hr));
  std::exit(1);
}

void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) Fail(what, hr);
}

// A parameter's element description. `storage` keeps the pointed-to type descriptions
// alive until the function is added.
ELEMDESC Element(VARTYPE type, bool pointer, USHORT flags, std::vector<TYPEDESC>& storage) {
  ELEMDESC element{};
  if (pointer) {
    storage.push_back(TYPEDESC{});
    storage.back().vt = type;
    element.tdesc.vt = VT_PTR;
    element.tdesc.lptdesc = &storage.back();
  } else {
    element.tdesc.vt = type;
  }
  element.paramdesc.wParamFlags = flags;
  return element;
}

void AddMembers(ICreateTypeInfo* info, SYSKIND syskind) {
  const int pointerSize = syskind == SYS_WIN64 ? 8 : 4;
  const auto members = InterfaceMembers();
  for (UINT index = 0; index < members.size(); ++index) {
    const Member& member = members[index];
    std::vector<TYPEDESC> pointed;
    pointed.reserve(member.params.size() + 1);
    std::vector<ELEMDESC> params;
    for (const Param& param : member.params) {
      const USHORT flags = param.byRef ? PARAMFLAG_FIN | PARAMFLAG_FOUT : PARAMFLAG_FIN;
      params.push_back(Element(param.type, param.byRef, flags, pointed));
    }
    if (member.result != VT_EMPTY) {
      params.push_back(Element(member.result, true, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, pointed));
    }

    FUNCDESC desc{};
    desc.memid = member.id;
    desc.lprgelemdescParam = params.data();
    desc.funckind = FUNC_PUREVIRTUAL;
    desc.invkind = member.kind;
    desc.callconv = CC_STDCALL;
    desc.cParams = static_cast<SHORT>(params.size());
    desc.oVft = static_cast<SHORT>((7 + index) * pointerSize);
    desc.elemdescFunc.tdesc.vt = VT_HRESULT;
    Check(info->AddFuncDesc(index, &desc), "AddFuncDesc");

    std::vector<LPOLESTR> names{const_cast<LPOLESTR>(member.name)};
    for (const Param& param : member.params) {
      if (param.name) names.push_back(const_cast<LPOLESTR>(param.name));
    }
    Check(info->SetFuncAndParamNames(index, names.data(), static_cast<UINT>(names.size())), "SetFuncAndParamNames");
  }
}

template <class T>
struct Releaser {
  T* p = nullptr;
  ~Releaser() {
    if (p) p->Release();
  }
  T** put() { return &p; }
  T* operator->() const { return p; }
};

ITypeInfo* DispatchTypeInfo() {
  ITypeLib* stdole = nullptr;
  HRESULT hr = LoadRegTypeLib(IID_StdOle, 2, 0, LOCALE_NEUTRAL, &stdole);
  if (FAILED(hr)) hr = LoadTypeLib(L"stdole2.tlb", &stdole);
  Check(hr, "loading stdole2.tlb");
  ITypeInfo* dispatch = nullptr;
  hr = stdole->GetTypeInfoOfGuid(IID_IDispatch, &dispatch);
  stdole->Release();
  Check(hr, "IDispatch type information");
  return dispatch;
}

void Generate(const wchar_t* output, SYSKIND syskind) {
  Releaser<ICreateTypeLib2> lib;
  Check(CreateTypeLib2(syskind, output, lib.put()), "CreateTypeLib2");
  Check(lib->SetGuid(tesvar::kLibraryId), "SetGuid");
  Check(lib->SetName(const_cast<LPOLESTR>(tesvar::kLibraryName)), "SetName");
  Check(lib->SetVersion(tesvar::kLibraryMajor, tesvar::kLibraryMinor), "SetVersion");
  Check(lib->SetDocString(const_cast<LPOLESTR>(tesvar::kLibraryName)), "SetDocString");
  Check(lib->SetLcid(LOCALE_NEUTRAL), "SetLcid");

  Releaser<ITypeInfo> dispatch{DispatchTypeInfo()};

  // _Tesvar: the dual default interface.
  Releaser<ICreateTypeInfo> iface;
  Check(lib->CreateTypeInfo(const_cast<LPOLESTR>(tesvar::kInterfaceName), TKIND_INTERFACE, iface.put()),
        "CreateTypeInfo _Tesvar");
  Check(iface->SetGuid(tesvar::kInterfaceId), "SetGuid _Tesvar");
  Check(iface->SetTypeFlags(TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION),
        "SetTypeFlags _Tesvar");
  HREFTYPE dispatchRef = 0;
  Check(iface->AddRefTypeInfo(dispatch.p, &dispatchRef), "AddRefTypeInfo IDispatch");
  Check(iface->AddImplType(0, dispatchRef), "AddImplType _Tesvar");
  AddMembers(iface.p, syskind);
  Check(iface->LayOut(), "LayOut _Tesvar");

  // __Tesvar: the event interface, which declares no events.
  Releaser<ICreateTypeInfo> events;
  Check(lib->CreateTypeInfo(const_cast<LPOLESTR>(tesvar::kEventsName), TKIND_DISPATCH, events.put()),
        "CreateTypeInfo __Tesvar");
  Check(events->SetGuid(tesvar::kEventsId), "SetGuid __Tesvar");
  Check(events->SetTypeFlags(TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE), "SetTypeFlags __Tesvar");
  HREFTYPE eventsDispatchRef = 0;
  Check(events->AddRefTypeInfo(dispatch.p, &eventsDispatchRef), "AddRefTypeInfo IDispatch");
  Check(events->AddImplType(0, eventsDispatchRef), "AddImplType __Tesvar");
  Check(events->LayOut(), "LayOut __Tesvar");

  // Tesvar: the control class.
  Releaser<ICreateTypeInfo> coclass;
  Check(lib->CreateTypeInfo(const_cast<LPOLESTR>(tesvar::kClassName), TKIND_COCLASS, coclass.put()),
        "CreateTypeInfo Tesvar");
  Check(coclass->SetGuid(tesvar::kClassId), "SetGuid Tesvar");
  Check(coclass->SetTypeFlags(TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL), "SetTypeFlags Tesvar");
  Releaser<ITypeInfo> ifaceInfo, eventsInfo;
  Check(iface->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(ifaceInfo.put())), "ITypeInfo _Tesvar");
  Check(events->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(eventsInfo.put())), "ITypeInfo __Tesvar");
  HREFTYPE ifaceRef = 0, eventsRef = 0;
  Check(coclass->AddRefTypeInfo(ifaceInfo.p, &ifaceRef), "AddRefTypeInfo _Tesvar");
  Check(coclass->AddRefTypeInfo(eventsInfo.p, &eventsRef), "AddRefTypeInfo __Tesvar");
  Check(coclass->AddImplType(0, ifaceRef), "AddImplType 0");
  Check(coclass->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT), "SetImplTypeFlags 0");
  Check(coclass->AddImplType(1, eventsRef), "AddImplType 1");
  Check(coclass->SetImplTypeFlags(1, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE), "SetImplTypeFlags 1");
  Check(coclass->LayOut(), "LayOut Tesvar");

  Check(lib->SaveAllChanges(), "SaveAllChanges");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3 || (std::wcscmp(argv[2], L"win32") != 0 && std::wcscmp(argv[2], L"win64") != 0)) {
    std::fprintf(stderr, "usage: tesvar_tlbgen OUTPUT.tlb win32|win64\n");
    return 64;
  }
  Check(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), "CoInitializeEx");
  Generate(argv[1], std::wcscmp(argv[2], L"win64") == 0 ? SYS_WIN64 : SYS_WIN32);
  CoUninitialize();
  return 0;
}
