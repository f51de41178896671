#pragma once
// The Tesvar.ocx under test, named on the test program's command line, and the
// control made by its class factory.
#include <windows.h>
#include <oleauto.h>

#include <filesystem>
#include <string>

#include "expected_identity.h"
#include "win32/raii.h"

namespace ocx_test {

// The server file as Windows reaches it.
const std::wstring& OcxPath();
void SetOcxPath(const std::filesystem::path& path);

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

}  // namespace ocx_test
