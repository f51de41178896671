#pragma once
// IDispatch driven by the type library: the embedded library and its type information,
// and the arguments of an Invoke call converted to the types its member declares, so
// that a script host's VT_BYREF | VT_VARIANT variables and plain values reach
// by-reference parameters as the declared type.
#include <windows.h>
#include <oaidl.h>

#include <vector>

#include "win32/raii.h"

namespace tesvar {

// The type library embedded in this module, loaded anew from the file (registration).
HRESULT LoadModuleTypeLib(ITypeLib** out) noexcept;

// The type library embedded in this module and the vtable side of the control's dual
// interface in it (the interface rather than its dispatch view), loaded on first use
// and shared from then on by every object of the module, from any thread.
// ReleaseModuleTypeLib lets them go (when the server may unload); the next use loads
// them again.
HRESULT ModuleTypeLib(ITypeLib** out) noexcept;
HRESULT ControlInterfaceTypeInfo(ITypeInfo** out) noexcept;
void ReleaseModuleTypeLib() noexcept;

// The arguments of one Invoke call, each in the type the member declares for it. A
// by-reference parameter given by value, as another type, or as VT_BYREF | VT_VARIANT
// gets a coerced copy passed by reference; the member only reads such parameters, so
// nothing is written back.
class CoercedArguments {
 public:
  CoercedArguments() = default;
  CoercedArguments(const CoercedArguments&) = delete;
  CoercedArguments& operator=(const CoercedArguments&) = delete;

  // On a failed conversion, the status of VariantChangeType (type mismatch, overflow)
  // with the argument's index in *argErr; DISP_E_PARAMNOTOPTIONAL, likewise, for an
  // argument left out where the parameter is not optional.
  HRESULT Prepare(ITypeInfo* info, DISPID member, WORD flags, DISPPARAMS* given, UINT* argErr) noexcept;
  DISPPARAMS* Get() { return &params_; }

 private:
  std::vector<win::unique_variant> values_;
  std::vector<VARIANTARG> args_;
  DISPPARAMS params_{};
};

}  // namespace tesvar
