#include "atl_container.h"

#include <ocidl.h>

#include <atomic>

#include "ocx_under_test.h"

namespace ocx_test {

PlainControlRecord& PlainControls() {
  static PlainControlRecord record;
  return record;
}

namespace {

// A control that holds nothing but its client site while it has one: an IOleObject
// whose members answer without doing anything.
class PlainControl final : public IOleObject {
 public:
  PlainControl() { ++PlainControls().alive; }
  ~PlainControl() {
    if (site_) site_->Release();
    --PlainControls().alive;
  }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IOleObject) return *out = nullptr, E_NOINTERFACE;
    *out = static_cast<IOleObject*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  STDMETHODIMP SetClientSite(IOleClientSite* site) override {
    if (site) site->AddRef();
    if (site_) site_->Release();
    site_ = site;
    return S_OK;
  }
  STDMETHODIMP GetClientSite(IOleClientSite** site) override {
    if (!site) return E_POINTER;
    if ((*site = site_)) site_->AddRef();
    return S_OK;
  }
  STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP Close(DWORD) override { return S_OK; }
  STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** m) override { return *m = nullptr, E_NOTIMPL; }
  STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP GetClipboardData(DWORD, IDataObject** d) override { return *d = nullptr, E_NOTIMPL; }
  STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) override {
    if (verb == OLEIVERB_INPLACEACTIVATE) ++PlainControls().inPlaceActivations;
    return S_OK;
  }
  STDMETHODIMP EnumVerbs(IEnumOLEVERB** e) override { return *e = nullptr, E_NOTIMPL; }
  STDMETHODIMP Update() override { return S_OK; }
  STDMETHODIMP IsUpToDate() override { return S_OK; }
  STDMETHODIMP GetUserClassID(CLSID* clsid) override { return *clsid = kPlainControlId, S_OK; }
  STDMETHODIMP GetUserType(DWORD, LPOLESTR* t) override { return *t = nullptr, E_NOTIMPL; }
  STDMETHODIMP SetExtent(DWORD, SIZEL*) override { return ++PlainControls().extents, S_OK; }
  STDMETHODIMP GetExtent(DWORD, SIZEL* size) override { return *size = {1000, 1000}, S_OK; }
  STDMETHODIMP Advise(IAdviseSink*, DWORD* c) override { return *c = 0, E_NOTIMPL; }
  STDMETHODIMP Unadvise(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP EnumAdvise(IEnumSTATDATA** e) override { return *e = nullptr, E_NOTIMPL; }
  STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) override { return *status = 0, S_OK; }
  STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

 private:
  std::atomic<ULONG> references_{1};
  IOleClientSite* site_ = nullptr;
};

class PlainFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return *out = nullptr, E_NOINTERFACE;
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  // A static object: its count does not decide its life.
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* control = new PlainControl;
    const HRESULT hr = control->QueryInterface(iid, out);
    control->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

}  // namespace

RegisteredClass::RegisteredClass(REFCLSID clsid, IClassFactory* factory) {
  if (factory && FAILED(CoRegisterClassObject(clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_))) {
    cookie_ = 0;
  }
}

RegisteredClass::~RegisteredClass() {
  if (cookie_) CoRevokeClassObject(cookie_);
}

win::com_ptr<IClassFactory> PlainControlFactory() {
  static PlainFactory factory;
  return win::com_ptr<IClassFactory>(&factory);
}

win::com_ptr<IClassFactory> ServerFactory() {
  win::com_ptr<IClassFactory> factory;
  const Server& server = LoadedServer();
  if (server.getClassObject) server.getClassObject(expected::kClassId, IID_IClassFactory, factory.put_void());
  return factory;
}

const AtlLibrary& Atl() {
  static const AtlLibrary atl = [] {
    AtlLibrary a;
    a.module = LoadLibraryW(L"atl100.dll");
    if (!a.module) return a;
    const auto init = reinterpret_cast<BOOL(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(a.module, "AtlAxWinInit")));
    a.getControl = reinterpret_cast<decltype(a.getControl)>(
        reinterpret_cast<void*>(GetProcAddress(a.module, "AtlAxGetControl")));
    a.initialized = init && a.getControl && init();
    return a;
  }();
  return atl;
}

std::wstring ClassText(REFCLSID clsid) {
  wchar_t text[40] = {};
  StringFromGUID2(clsid, text, 40);
  return text;
}

int ScreenPixelsPerInch() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi;
}

namespace detail {

HWND CreateContainer(HWND parent, REFCLSID clsid) {
  return CreateWindowExW(0, L"AtlAxWin100", ClassText(clsid).c_str(), WS_CHILD | WS_VISIBLE, 10, 10, 120, 80, parent,
                         nullptr, nullptr, nullptr);
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

}  // namespace detail

}  // namespace ocx_test
