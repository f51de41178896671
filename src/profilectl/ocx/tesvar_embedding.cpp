// The control's OLE side: what a form designer and a container need to embed a control
// that is invisible at run time and always measures 510 x 510 twips (IOleObject,
// IOleControl, in-place activation, IViewObject2, persistence), its class information
// and its connection point.
#include "module.h"
#include "tesvar_control.h"
#include "tesvar_identity.h"
#include "type_dispatch.h"
#include "ui/twips.h"
#include "win32/screen.h"
#include "win32/window_class.h"

namespace tesvar {
namespace {

constexpr wchar_t kControlWindowClass[] = L"TesvarControlWindow";

// The fixed extent in HIMETRIC (0.01 mm), as containers exchange it.
constexpr LONG kSideHimetric = (kSideTwips * 2540 + 720) / 1440;

// The control's side in pixels at the real DPI: 34 at 96 DPI.
int SidePixels() { return ui::TwipsToPixels(kSideTwips, win::ScreenDpi()); }

win::unique_hicon LoadControlIcon(int width, int height) {
  return win::unique_hicon(static_cast<HICON>(
      LoadImageW(module::Handle(), MAKEINTRESOURCEW(kIconId), IMAGE_ICON, width, height, 0)));
}

// The design-time picture: the icon, scaled into the control's window.
LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    if (auto icon = LoadControlIcon(client.right, client.bottom)) {
      DrawIconEx(dc, 0, 0, icon.get(), client.right, client.bottom, 0, nullptr, DI_NORMAL);
    }
    EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HRESULT RegisterControlWindowClass() {
  return win::RegisterWindowClass(module::Handle(), kControlWindowClass, ControlWindowProc);
}

}  // namespace

HWND TesvarControl::HostWindow() const {
  HWND window = nullptr;
  if (inPlaceSite_ && SUCCEEDED(inPlaceSite_->GetWindow(&window)) && window) return GetAncestor(window, GA_ROOT);
  if (clientSite_) {
    if (auto site = clientSite_.query<IOleWindow>(); site && SUCCEEDED(site->GetWindow(&window)) && window) {
      return GetAncestor(window, GA_ROOT);
    }
  }
  return GetActiveWindow();
}

// ---- IOleObject -------------------------------------------------------------------

STDMETHODIMP TesvarControl::SetClientSite(IOleClientSite* site) noexcept {
  clientSite_ = win::com_ptr<IOleClientSite>(site);
  ReadUserMode();
  return S_OK;
}

STDMETHODIMP TesvarControl::GetClientSite(IOleClientSite** site) noexcept { return clientSite_.copy_to(site); }

STDMETHODIMP TesvarControl::SetHostNames(LPCOLESTR, LPCOLESTR) noexcept { return S_OK; }

STDMETHODIMP TesvarControl::Close(DWORD) noexcept {
  InPlaceDeactivate();
  if (adviseHolder_) adviseHolder_->SendOnClose();
  return S_OK;
}

STDMETHODIMP TesvarControl::SetMoniker(DWORD, IMoniker*) noexcept { return E_NOTIMPL; }

STDMETHODIMP TesvarControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) noexcept {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP TesvarControl::InitFromData(IDataObject*, BOOL, DWORD) noexcept { return E_NOTIMPL; }

STDMETHODIMP TesvarControl::GetClipboardData(DWORD, IDataObject** data) noexcept {
  if (data) *data = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP TesvarControl::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND parent,
                                   LPCRECT posRect) noexcept {
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
      return InPlaceActivate(activeSite, parent, posRect);
    case OLEIVERB_HIDE:
      if (window_) ShowWindow(window_.get(), SW_HIDE);
      return S_OK;
    default:
      if (verb > 0) {  // an unknown positive verb runs the primary one
        const HRESULT hr = InPlaceActivate(activeSite, parent, posRect);
        return FAILED(hr) ? hr : OLEOBJ_S_INVALIDVERB;
      }
      return E_NOTIMPL;
  }
}

STDMETHODIMP TesvarControl::EnumVerbs(IEnumOLEVERB** verbs) noexcept { return OleRegEnumVerbs(kClassId, verbs); }
STDMETHODIMP TesvarControl::Update() noexcept { return S_OK; }
STDMETHODIMP TesvarControl::IsUpToDate() noexcept { return S_OK; }

STDMETHODIMP TesvarControl::GetUserClassID(CLSID* clsid) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, clsid);
  *clsid = kClassId;
  return S_OK;
}

STDMETHODIMP TesvarControl::GetUserType(DWORD form, LPOLESTR* type) noexcept {
  return OleRegGetUserType(kClassId, form, type);
}

// The control keeps its size whatever the container asks; an active control tells
// its site where it really is.
STDMETHODIMP TesvarControl::SetExtent(DWORD aspect, SIZEL* size) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, size);
  RETURN_HR_IF(DV_E_DVASPECT, aspect != DVASPECT_CONTENT);
  if (window_) {
    RECT pos;
    GetWindowRect(window_.get(), &pos);
    MapWindowPoints(nullptr, GetParent(window_.get()), reinterpret_cast<POINT*>(&pos), 2);
    pos.right = pos.left + MulDiv(size->cx, win::ScreenDpi(), 2540);
    pos.bottom = pos.top + MulDiv(size->cy, win::ScreenDpi(), 2540);
    PlaceWindow(pos);
  }
  return S_OK;
}

STDMETHODIMP TesvarControl::GetExtent(DWORD aspect, SIZEL* size) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, size);
  RETURN_HR_IF(DV_E_DVASPECT, aspect != DVASPECT_CONTENT);
  *size = {kSideHimetric, kSideHimetric};
  return S_OK;
}

STDMETHODIMP TesvarControl::Advise(IAdviseSink* sink, DWORD* connection) noexcept {
  if (!adviseHolder_) RETURN_IF_FAILED(CreateOleAdviseHolder(adviseHolder_.put()));
  return adviseHolder_->Advise(sink, connection);
}

STDMETHODIMP TesvarControl::Unadvise(DWORD connection) noexcept {
  RETURN_HR_IF(OLE_E_NOCONNECTION, !adviseHolder_);
  return adviseHolder_->Unadvise(connection);
}

STDMETHODIMP TesvarControl::EnumAdvise(IEnumSTATDATA** advise) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, advise);
  *advise = nullptr;
  return adviseHolder_ ? adviseHolder_->EnumAdvise(advise) : S_OK;
}

STDMETHODIMP TesvarControl::GetMiscStatus(DWORD, DWORD* status) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, status);
  *status = kMiscStatus;
  return S_OK;
}

STDMETHODIMP TesvarControl::SetColorScheme(LOGPALETTE*) noexcept { return E_NOTIMPL; }

// ---- IOleControl ------------------------------------------------------------------

STDMETHODIMP TesvarControl::GetControlInfo(CONTROLINFO* info) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, info);
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

STDMETHODIMP TesvarControl::OnMnemonic(MSG*) noexcept { return E_NOTIMPL; }

STDMETHODIMP TesvarControl::OnAmbientPropertyChange(DISPID id) noexcept {
  if (id == DISPID_AMBIENT_USERMODE || id == DISPID_UNKNOWN) {
    ReadUserMode();
    UpdateVisibility();
  }
  return S_OK;
}

STDMETHODIMP TesvarControl::FreezeEvents(BOOL) noexcept { return S_OK; }

// ---- in-place activation ----------------------------------------------------------

void TesvarControl::ReadUserMode() noexcept {
  userMode_ = true;
  auto ambient = clientSite_.query<IDispatch>();
  if (!ambient) return;
  DISPPARAMS none{};
  win::unique_variant value;
  if (SUCCEEDED(ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                &value, nullptr, nullptr)) &&
      SUCCEEDED(VariantChangeType(&value, &value, 0, VT_BOOL))) {
    userMode_ = V_BOOL(&value) != VARIANT_FALSE;
  }
}

// Invisible at run time: the icon shows only in a form designer.
void TesvarControl::UpdateVisibility() noexcept {
  if (window_) ShowWindow(window_.get(), userMode_ ? SW_HIDE : SW_SHOWNA);
}

HRESULT TesvarControl::InPlaceActivate(IOleClientSite* activeSite, HWND parent, LPCRECT posRect) noexcept {
  if (inPlaceSite_) {
    UpdateVisibility();
    return S_OK;
  }
  win::com_ptr<IOleClientSite> site = activeSite ? win::com_ptr<IOleClientSite>(activeSite) : clientSite_;
  RETURN_HR_IF(E_UNEXPECTED, !site);
  auto inPlace = site.query<IOleInPlaceSite>();
  RETURN_HR_IF(E_NOINTERFACE, !inPlace);
  RETURN_HR_IF(E_FAIL, inPlace->CanInPlaceActivate() != S_OK);
  RETURN_IF_FAILED(inPlace->OnInPlaceActivate());

  HWND container = nullptr;
  if (FAILED(inPlace->GetWindow(&container)) || !container) container = parent;
  RECT pos{}, clip{};
  win::com_ptr<IOleInPlaceFrame> frame;
  win::com_ptr<IOleInPlaceUIWindow> document;
  OLEINPLACEFRAMEINFO frameInfo{};
  frameInfo.cb = sizeof frameInfo;
  if (FAILED(inPlace->GetWindowContext(frame.put(), document.put(), &pos, &clip, &frameInfo)) && posRect) {
    pos = *posRect;
  }

  HRESULT hr = RegisterControlWindowClass();
  if (SUCCEEDED(hr)) {
    const int side = SidePixels();
    window_.reset(CreateWindowExW(0, kControlWindowClass, L"", WS_CHILD | WS_CLIPSIBLINGS, pos.left, pos.top, side,
                                  side, container, nullptr, module::Handle(), nullptr));
    if (!window_) hr = HRESULT_FROM_WIN32(GetLastError());
  }
  if (FAILED(hr)) {
    inPlace->OnInPlaceDeactivate();
    return hr;
  }
  inPlaceSite_ = inPlace;
  PlaceWindow(pos);
  UpdateVisibility();
  return S_OK;
}

// Puts the window at pos's top left corner at the fixed size, and tells the site
// when the rectangle it asked for is not the one the control takes.
void TesvarControl::PlaceWindow(const RECT& pos) noexcept {
  if (!window_ || placing_) return;
  const int side = SidePixels();
  const RECT fixed{pos.left, pos.top, pos.left + side, pos.top + side};
  MoveWindow(window_.get(), fixed.left, fixed.top, side, side, TRUE);
  if (inPlaceSite_ && (pos.right != fixed.right || pos.bottom != fixed.bottom)) {
    placing_ = true;
    inPlaceSite_->OnPosRectChange(&fixed);
    placing_ = false;
  }
}

STDMETHODIMP TesvarControl::GetWindow(HWND* window) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, window);
  *window = window_.get();
  return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP TesvarControl::ContextSensitiveHelp(BOOL) noexcept { return E_NOTIMPL; }

STDMETHODIMP TesvarControl::InPlaceDeactivate() noexcept {
  if (!inPlaceSite_) return S_OK;
  window_.reset();
  auto site = std::move(inPlaceSite_);
  site->OnInPlaceDeactivate();
  return S_OK;
}

STDMETHODIMP TesvarControl::UIDeactivate() noexcept { return S_OK; }

STDMETHODIMP TesvarControl::SetObjectRects(LPCRECT pos, LPCRECT) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, pos);
  PlaceWindow(*pos);
  return S_OK;
}

STDMETHODIMP TesvarControl::ReactivateAndUndo() noexcept { return INPLACE_E_NOTUNDOABLE; }
STDMETHODIMP TesvarControl::TranslateAccelerator(LPMSG) noexcept { return S_FALSE; }
STDMETHODIMP TesvarControl::OnFrameWindowActivate(BOOL) noexcept { return S_OK; }
STDMETHODIMP TesvarControl::OnDocWindowActivate(BOOL) noexcept { return S_OK; }
STDMETHODIMP TesvarControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) noexcept { return S_OK; }
STDMETHODIMP TesvarControl::EnableModeless(BOOL) noexcept { return S_OK; }

// ---- IViewObject2 -----------------------------------------------------------------

STDMETHODIMP TesvarControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                                 BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) noexcept {
  RETURN_HR_IF(DV_E_DVASPECT, aspect != DVASPECT_CONTENT);
  RETURN_HR_IF(E_INVALIDARG, !dc || !bounds);
  const int width = bounds->right - bounds->left, height = bounds->bottom - bounds->top;
  auto icon = LoadControlIcon(32, 32);
  RETURN_LAST_ERROR_IF(!icon);
  RETURN_LAST_ERROR_IF(!DrawIconEx(dc, bounds->left, bounds->top, icon.get(), width, height, 0, nullptr, DI_NORMAL));
  return S_OK;
}

STDMETHODIMP TesvarControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) noexcept {
  if (colors) *colors = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP TesvarControl::Freeze(DWORD, LONG, void*, DWORD*) noexcept { return E_NOTIMPL; }
STDMETHODIMP TesvarControl::Unfreeze(DWORD) noexcept { return E_NOTIMPL; }

STDMETHODIMP TesvarControl::SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink) noexcept {
  viewSink_ = win::com_ptr<IAdviseSink>(sink);
  viewAspects_ = aspects;
  viewAdvf_ = advf;
  return S_OK;
}

STDMETHODIMP TesvarControl::GetAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink) noexcept {
  if (aspects) *aspects = viewAspects_;
  if (advf) *advf = viewAdvf_;
  if (sink) viewSink_.copy_to(sink);
  return S_OK;
}

STDMETHODIMP TesvarControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) noexcept {
  return GetExtent(aspect, size);
}

// ---- persistence ------------------------------------------------------------------

STDMETHODIMP TesvarControl::GetClassID(CLSID* clsid) noexcept { return GetUserClassID(clsid); }
STDMETHODIMP TesvarControl::IsDirty() noexcept { return S_FALSE; }

// A control is initialized once, by InitNew or by a Load.
HRESULT TesvarControl::StartPersistence() noexcept {
  RETURN_HR_IF(E_UNEXPECTED, initialized_);
  initialized_ = true;
  return S_OK;
}

STDMETHODIMP TesvarControl::Load(LPSTREAM stream) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, stream);
  return StartPersistence();
}

STDMETHODIMP TesvarControl::Save(LPSTREAM stream, BOOL) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, stream);
  return S_OK;
}

STDMETHODIMP TesvarControl::GetSizeMax(ULARGE_INTEGER* size) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, size);
  size->QuadPart = 0;
  return S_OK;
}

STDMETHODIMP TesvarControl::InitNew() noexcept { return StartPersistence(); }

STDMETHODIMP TesvarControl::Load(IPropertyBag* bag, IErrorLog*) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, bag);
  return StartPersistence();
}

STDMETHODIMP TesvarControl::Save(IPropertyBag* bag, BOOL, BOOL) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, bag);
  return S_OK;
}

// ---- class information, connection points ----------------------------------------

STDMETHODIMP TesvarControl::GetClassInfo(ITypeInfo** info) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, info);
  *info = nullptr;
  win::com_ptr<ITypeLib> lib;
  RETURN_IF_FAILED(ModuleTypeLib(lib.put()));
  return lib->GetTypeInfoOfGuid(kClassId, info);
}

STDMETHODIMP TesvarControl::GetGUID(DWORD kind, GUID* guid) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, guid);
  RETURN_HR_IF(E_INVALIDARG, kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID);
  *guid = kEventsId;
  return S_OK;
}

STDMETHODIMP TesvarControl::EnumConnectionPoints(IEnumConnectionPoints** points) noexcept {
  return ConnectionPointEnumerator::Make(IID_IEnumConnectionPoints, reinterpret_cast<void**>(points),
                                         win::com_ptr<IConnectionPoint>(events_.get()), 0ul);
}

STDMETHODIMP TesvarControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, point);
  *point = nullptr;
  RETURN_HR_IF(CONNECT_E_NOCONNECTION, iid != kEventsId);
  *point = events_.get();
  (*point)->AddRef();
  return S_OK;
}

void UnregisterControlWindowClass() noexcept { UnregisterClassW(kControlWindowClass, module::Handle()); }

}  // namespace tesvar
