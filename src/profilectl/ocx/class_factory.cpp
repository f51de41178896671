#include "class_factory.h"

namespace tesvar {

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  return create_(iid, out);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) noexcept {
  if (lock) {
    module::Lock();
  } else {
    module::Unlock();
  }
  return S_OK;
}

HRESULT GetClassObject(std::span<const ClassEntry> classes, REFCLSID clsid, REFIID iid, void** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  for (const ClassEntry& entry : classes) {
    if (entry.clsid == clsid) return ClassFactory::Make(iid, out, entry.create);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace tesvar
