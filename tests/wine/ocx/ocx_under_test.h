#pragma once
// The Tesvar.ocx under test, named on the test program's command line, and small COM
// helpers for the tests that load it.
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "expected_identity.h"
#include "win32/raii.h"

namespace ocx_test {

// The server file as a Windows path (a Unix path is reached through drive Z:).
const std::wstring& OcxPath();
void SetOcxPath(const char* path);

// The loaded server's exports.
struct Server {
  HMODULE module = nullptr;
  HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
};
const Server& LoadedServer();

// A new control from the server's class factory, as the interface asked for.
template <class T>
win::com_ptr<T> CreateControl() {
  win::com_ptr<T> control;
  const Server& server = LoadedServer();
  win::com_ptr<IClassFactory> factory;
  if (server.getClassObject &&
      SUCCEEDED(server.getClassObject(expected::kClassId, IID_IClassFactory, factory.put_void()))) {
    factory->CreateInstance(nullptr, __uuidof(T), control.put_void());
  }
  return control;
}

// A BSTR argument or result that frees itself.
inline win::unique_bstr Bstr(const wchar_t* text) { return win::unique_bstr(SysAllocString(text)); }

}  // namespace ocx_test
