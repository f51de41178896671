// The server's exports.
#include <windows.h>

#include "about_form.h"
#include "class_factory.h"
#include "module.h"
#include "registration.h"
#include "tesvar_control.h"
#include "tesvar_identity.h"
#include "type_dispatch.h"

namespace {

constexpr tesvar::ClassEntry kClasses[] = {
    {tesvar::kClassId, &tesvar::TesvarControl::Create},
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      tesvar::module::SetHandle(instance);
      DisableThreadLibraryCalls(instance);
      break;
    case DLL_PROCESS_DETACH:
      if (reserved) break;  // the process is ending: nothing to give back
      tesvar::UnregisterAboutFormClass();
      tesvar::UnregisterControlWindowClass();
      break;
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  return tesvar::GetClassObject(kClasses, clsid, iid, out);
}

STDAPI DllCanUnloadNow() {
  if (!tesvar::module::CanUnload()) return S_FALSE;
  // The server may go: the type information its objects shared goes first.
  tesvar::ReleaseModuleTypeLib();
  return S_OK;
}

STDAPI DllRegisterServer() { return tesvar::RegisterServer(); }

STDAPI DllUnregisterServer() { return tesvar::UnregisterServer(); }
