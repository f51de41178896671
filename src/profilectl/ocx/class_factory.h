#pragma once
// One generic class factory, fed by a table of the classes the server creates.
#include <windows.h>
#include <unknwn.h>

#include <span>

#include "com_object.h"

namespace tesvar {

using CreateFunction = HRESULT (*)(REFIID iid, void** out);

struct ClassEntry {
  const CLSID& clsid;
  CreateFunction create;
};

class ClassFactory final : public ComObject<ClassFactory, IClassFactory> {
 public:
  explicit ClassFactory(CreateFunction create) : create_(create) {}

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept override;
  STDMETHODIMP LockServer(BOOL lock) noexcept override;

 private:
  CreateFunction create_;
};

// DllGetClassObject over `classes`.
HRESULT GetClassObject(std::span<const ClassEntry> classes, REFCLSID clsid, REFIID iid, void** out) noexcept;

}  // namespace tesvar
