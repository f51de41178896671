#pragma once
// Wine's own ATL container (atl100.dll): a child window of class AtlAxWin100 whose text
// names the control creates it, initializes it (IPersistStreamInit::InitNew), gives it
// its client site, sizes it and activates it in place, and hands it out through
// AtlAxGetControl; destroying the window closes the control, clears its site and
// releases it. Beside the control under test stands a plain control of the test's own,
// which does nothing but count its references, so that what the container itself keeps
// can be told from what a control keeps.
#include <windows.h>
#include <ole2.h>

#include <string>

#include "win32/raii.h"

namespace ocx_test {

// {5D3C2E9A-7B41-4E0C-9F6A-2C81D4B0E7A3}
inline constexpr CLSID kPlainControlId = {0x5D3C2E9A, 0x7B41, 0x4E0C, {0x9F, 0x6A, 0x2C, 0x81, 0xD4, 0xB0, 0xE7, 0xA3}};

// The plain control's life: how many of it are alive, and what the container asked.
struct PlainControlRecord {
  long alive = 0;
  int inPlaceActivations = 0;  // DoVerb with OLEIVERB_INPLACEACTIVATE
  int extents = 0;             // SetExtent calls
};
PlainControlRecord& PlainControls();

// One class object registered for the calling thread's apartment while it lives, so
// that CoCreateInstance finds the class by its CLSID without the registry.
class RegisteredClass {
 public:
  RegisteredClass(REFCLSID clsid, IClassFactory* factory);
  RegisteredClass(const RegisteredClass&) = delete;
  RegisteredClass& operator=(const RegisteredClass&) = delete;
  ~RegisteredClass();
  explicit operator bool() const { return cookie_ != 0; }

 private:
  DWORD cookie_ = 0;
};

// The plain control's class object, and the control under test's (from its server).
win::com_ptr<IClassFactory> PlainControlFactory();
win::com_ptr<IClassFactory> ServerFactory();

// atl100.dll, loaded and initialized (AtlAxWinInit) once for the process.
struct AtlLibrary {
  HMODULE module = nullptr;
  HRESULT(WINAPI* getControl)(HWND, IUnknown**) = nullptr;
  bool initialized = false;
};
const AtlLibrary& Atl();

// The text of the container window that names a class: its CLSID in braces.
std::wstring ClassText(REFCLSID clsid);

// One control in an AtlAxWin100 window inside `parent`: how its references stood once the
// host had let it go and the container window was gone.
struct HostedLife {
  bool created = false;  // the container handed out a control
  // References still held by others once the host's own and the container had gone,
  // taken by holding one reference back and releasing it last.
  ULONG leftAfterContainer = 0;
  // The control while those references keep it, for the test to give them back.
  IUnknown* stillAlive = nullptr;
};
// `use` is called with the control the container hands out, before the host releases it.
template <class Use>
HostedLife HostInContainer(HWND parent, REFCLSID clsid, Use&& use);

// The number of pixels an inch of the screen has, as the container converts sizes:
// GetDeviceCaps(LOGPIXELSX) of the screen, 0 where the process cannot ask GDI.
int ScreenPixelsPerInch();

namespace detail {
HWND CreateContainer(HWND parent, REFCLSID clsid);
void PumpMessages();
}  // namespace detail

template <class Use>
HostedLife HostInContainer(HWND parent, REFCLSID clsid, Use&& use) {
  HostedLife life;
  const AtlLibrary& atl = Atl();
  if (!atl.initialized) return life;
  HWND container = detail::CreateContainer(parent, clsid);
  if (!container) return life;
  IUnknown* control = nullptr;
  if (FAILED(atl.getControl(container, &control)) || !control) {
    DestroyWindow(container);
    return life;
  }
  life.created = true;
  use(control);
  detail::PumpMessages();
  control->AddRef();   // the reference held back
  control->Release();  // the host's own, its last
  DestroyWindow(container);
  detail::PumpMessages();
  life.leftAfterContainer = control->Release();
  if (life.leftAfterContainer > 0) life.stillAlive = control;
  return life;
}

}  // namespace ocx_test
