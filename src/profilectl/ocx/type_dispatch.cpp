#include "type_dispatch.h"

#include <utility>

#include "module.h"
#include "tesvar_identity.h"

namespace tesvar {
namespace {

// The module's shared type information. A slim lock and plain pointers need no code
// to start or to end, so nothing is released from DllMain when the process ends;
// ReleaseModuleTypeLib gives them back.
struct SharedTypes {
  SRWLOCK lock = SRWLOCK_INIT;
  ITypeLib* lib = nullptr;
  ITypeInfo* control = nullptr;  // the vtable side of _Tesvar
};
constinit SharedTypes g_types;

class Locked {
 public:
  Locked() { AcquireSRWLockExclusive(&g_types.lock); }
  ~Locked() { ReleaseSRWLockExclusive(&g_types.lock); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
};

// The vtable side of interface `iid` in `lib` (for a dual interface, the interface
// rather than its dispatch view).
HRESULT VtableTypeInfo(ITypeLib* lib, REFIID iid, ITypeInfo** out) {
  win::com_ptr<ITypeInfo> info;
  RETURN_IF_FAILED(lib->GetTypeInfoOfGuid(iid, info.put()));
  win::unique_typeattr attr(info.get());
  RETURN_IF_FAILED(info->GetTypeAttr(attr.put()));
  if (attr->typekind == TKIND_DISPATCH && (attr->wTypeFlags & TYPEFLAG_FDUAL)) {
    HREFTYPE vtableSide = 0;
    RETURN_IF_FAILED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableSide));
    return info->GetRefTypeInfo(vtableSide, out);
  }
  *out = info.detach();
  return S_OK;
}

// Hands out (with a reference each) the shared library and interface information that
// are asked for, loading them first when needed.
HRESULT GetShared(ITypeLib** lib, ITypeInfo** control) noexcept {
  const Locked locked;
  if (!g_types.lib) {
    win::com_ptr<ITypeLib> loaded;
    RETURN_IF_FAILED(LoadModuleTypeLib(loaded.put()));
    win::com_ptr<ITypeInfo> info;
    RETURN_IF_FAILED(VtableTypeInfo(loaded.get(), kInterfaceId, info.put()));
    g_types.lib = loaded.detach();
    g_types.control = info.detach();
  }
  if (lib) (*lib = g_types.lib)->AddRef();
  if (control) (*control = g_types.control)->AddRef();
  return S_OK;
}

// The function that Invoke's flags name for `member`, if the type describes one.
HRESULT FindFunction(ITypeInfo* info, DISPID member, WORD flags, win::unique_funcdesc& out) {
  win::com_ptr<ITypeInfo> holder(info);
  auto info2 = holder.query<ITypeInfo2>();
  RETURN_HR_IF(E_NOINTERFACE, !info2);
  constexpr struct {
    WORD flag;
    INVOKEKIND kind;
  } kKinds[] = {{DISPATCH_METHOD, INVOKE_FUNC},
                {DISPATCH_PROPERTYGET, INVOKE_PROPERTYGET},
                {DISPATCH_PROPERTYPUT, INVOKE_PROPERTYPUT},
                {DISPATCH_PROPERTYPUTREF, INVOKE_PROPERTYPUTREF}};
  for (const auto& kind : kKinds) {
    if (!(flags & kind.flag)) continue;
    UINT index = 0;
    if (SUCCEEDED(info2->GetFuncIndexOfMemId(member, kind.kind, &index))) return info->GetFuncDesc(index, out.put());
  }
  return DISP_E_MEMBERNOTFOUND;
}

// `given` with every level of VT_BYREF | VT_VARIANT taken off.
const VARIANT* Unwrapped(const VARIANT* given) {
  while (V_VT(given) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(given)) given = V_VARIANTREF(given);
  return given;
}

}  // namespace

HRESULT LoadModuleTypeLib(ITypeLib** out) noexcept {
  return LoadTypeLibEx(module::Path().c_str(), REGKIND_NONE, out);
}

HRESULT ModuleTypeLib(ITypeLib** out) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, out);
  *out = nullptr;
  return GetShared(out, nullptr);
}

HRESULT ControlInterfaceTypeInfo(ITypeInfo** out) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, out);
  *out = nullptr;
  return GetShared(nullptr, out);
}

void ReleaseModuleTypeLib() noexcept {
  ITypeLib* lib = nullptr;
  ITypeInfo* control = nullptr;
  {
    const Locked locked;
    lib = std::exchange(g_types.lib, nullptr);
    control = std::exchange(g_types.control, nullptr);
  }
  if (control) control->Release();
  if (lib) lib->Release();
}

HRESULT CoercedArguments::Prepare(ITypeInfo* info, DISPID member, WORD flags, DISPPARAMS* given,
                                  UINT* argErr) noexcept {
  if (!given) return E_INVALIDARG;
  params_ = *given;
  win::unique_funcdesc func(info);
  // A member the type does not describe is left to DispInvoke to report.
  if (FAILED(FindFunction(info, member, flags, func))) return S_OK;

  const UINT count = given->cArgs;
  const UINT named = given->cNamedArgs;
  if (named > count || (count && !given->rgvarg)) return E_INVALIDARG;
  // The parameters that a caller passes: all but a trailing [out, retval].
  int inputs = func->cParams;
  if (inputs > 0 && (func->lprgelemdescParam[inputs - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL)) --inputs;

  HRESULT hr = S_OK;
  try {
    values_ = std::vector<win::unique_variant>(count);
    args_.assign(given->rgvarg, given->rgvarg + count);
  } catch (...) {
    hr = E_OUTOFMEMORY;
  }

  for (UINT k = 0; SUCCEEDED(hr) && k < count; ++k) {
    // Named arguments come first; positional ones follow in reverse order.
    int param = static_cast<int>(count - 1 - k);
    if (k < named) {
      const DISPID id = given->rgdispidNamedArgs[k];
      param = id == DISPID_PROPERTYPUT ? inputs - 1 : static_cast<int>(id);
    }
    if (param < 0 || param >= inputs) continue;

    const VARIANT* value = Unwrapped(&given->rgvarg[k]);
    // An omitted argument, which only an optional parameter may be: otherwise the
    // type's own Invoke would report a type mismatch without naming the argument.
    if (V_VT(value) == VT_ERROR && V_ERROR(value) == DISP_E_PARAMNOTFOUND) {
      if (func->lprgelemdescParam[param].paramdesc.wParamFlags & PARAMFLAG_FOPT) continue;
      hr = DISP_E_PARAMNOTOPTIONAL;
      if (argErr) *argErr = k;
      break;
    }

    const TYPEDESC& declared = func->lprgelemdescParam[param].tdesc;
    const bool byRef = declared.vt == VT_PTR;
    const VARTYPE type = byRef ? declared.lptdesc->vt : declared.vt;
    if (type == VT_VARIANT || V_VT(&given->rgvarg[k]) == (byRef ? (VT_BYREF | type) : type)) continue;

    hr = VariantChangeType(&values_[k], const_cast<VARIANT*>(value), 0, type);
    if (FAILED(hr)) {
      if (argErr) *argErr = k;
      break;
    }
    if (byRef) {
      V_VT(&args_[k]) = VT_BYREF | type;
      V_BYREF(&args_[k]) = &V_UI1(&values_[k]);
    } else {
      args_[k] = values_[k];  // still owned by values_
    }
  }
  if (SUCCEEDED(hr) && count) params_.rgvarg = args_.data();
  return hr;
}

}  // namespace tesvar
