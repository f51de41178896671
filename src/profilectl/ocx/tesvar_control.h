#pragma once
// The Tesvar control: the automation interface _Tesvar over TesvarCore
// (tesvar_automation.cpp), and the OLE control interfaces that a form designer and a
// container need for a control that is invisible at run time and always measures
// 510 x 510 twips (tesvar_embedding.cpp).
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <initializer_list>
#include <memory>
#include <optional>
#include <tuple>

#include "com_object.h"
#include "connection_point.h"
#include "profilectl/tesvar_core.h"
#include "tesvar_interface.h"
#include "win32/raii.h"

namespace tesvar {

// The control's message boxes, owned by the host's window.
class HostMessages final : public profilectl::MessageSink {
 public:
  explicit HostMessages(class TesvarControl& control) : control_(control) {}
  void Show(std::u16string_view text, std::u16string_view title, int style) override;

 private:
  TesvarControl& control_;
};

class TesvarControl final
    : public ComObject<TesvarControl, ITesvar, IOleObject, IOleControl, IOleInPlaceObject, IOleInPlaceActiveObject,
                       IViewObject2, IPersistStreamInit, IPersistPropertyBag, IProvideClassInfo2,
                       IConnectionPointContainer, ISupportErrorInfo> {
 public:
  using Aliases = std::tuple<also<IDispatch, ITesvar>, also<IOleWindow, IOleInPlaceObject>,
                             also<IViewObject, IViewObject2>, also<IPersist, IPersistStreamInit>,
                             also<IProvideClassInfo, IProvideClassInfo2>>;

  // The class factory's create function.
  static HRESULT Create(REFIID iid, void** out) noexcept;

  TesvarControl(win::com_ptr<ITypeInfo> typeInfo, std::unique_ptr<profilectl::ProfileStore> store);
  ~TesvarControl() override;

  // The window that owns the control's message boxes and about form.
  HWND HostWindow() const;

  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) noexcept override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) noexcept override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT* argErr) noexcept override;

  // _Tesvar
  STDMETHODIMP get_FileName(BSTR* value) noexcept override;
  STDMETHODIMP put_FileName(BSTR value) noexcept override;
  STDMETHODIMP Load_Key(BSTR 扇区, BSTR 键值, short* 数据缓冲, VARIANT_BOOL* 错误处理, BSTR* result) noexcept override;
  STDMETHODIMP Sav_Key(BSTR 扇区, BSTR 键值, BSTR 数据, VARIANT_BOOL* 错误处理, VARIANT_BOOL* result) noexcept override;
  STDMETHODIMP Dir扇区(BSTR 扇区, VARIANT_BOOL* result) noexcept override;
  STDMETHODIMP Dir键值(BSTR 扇区, BSTR 键值, VARIANT_BOOL* result) noexcept override;
  STDMETHODIMP Del扇区(BSTR 扇区) noexcept override;
  STDMETHODIMP Del键值(BSTR 扇区, BSTR 键值) noexcept override;
  STDMETHODIMP Del数据(BSTR 扇区, BSTR 键值) noexcept override;
  STDMETHODIMP NewFile(BSTR* nPathName, VARIANT_BOOL* result) noexcept override;
  STDMETHODIMP Readme(VARIANT_BOOL* Show_S) noexcept override;

  // IOleObject
  STDMETHODIMP SetClientSite(IOleClientSite* site) noexcept override;
  STDMETHODIMP GetClientSite(IOleClientSite** site) noexcept override;
  STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR object) noexcept override;
  STDMETHODIMP Close(DWORD saveOption) noexcept override;
  STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) noexcept override;
  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) noexcept override;
  STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) noexcept override;
  STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) noexcept override;
  STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* activeSite, LONG index, HWND parent,
                      LPCRECT posRect) noexcept override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) noexcept override;
  STDMETHODIMP Update() noexcept override;
  STDMETHODIMP IsUpToDate() noexcept override;
  STDMETHODIMP GetUserClassID(CLSID* clsid) noexcept override;
  STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) noexcept override;
  STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) noexcept override;
  STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) noexcept override;
  STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) noexcept override;
  STDMETHODIMP Unadvise(DWORD connection) noexcept override;
  STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) noexcept override;
  STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) noexcept override;
  STDMETHODIMP SetColorScheme(LOGPALETTE* palette) noexcept override;

  // IOleControl
  STDMETHODIMP GetControlInfo(CONTROLINFO* info) noexcept override;
  STDMETHODIMP OnMnemonic(MSG* msg) noexcept override;
  STDMETHODIMP OnAmbientPropertyChange(DISPID id) noexcept override;
  STDMETHODIMP FreezeEvents(BOOL freeze) noexcept override;

  // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
  STDMETHODIMP GetWindow(HWND* window) noexcept override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enter) noexcept override;
  STDMETHODIMP InPlaceDeactivate() noexcept override;
  STDMETHODIMP UIDeactivate() noexcept override;
  STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT clip) noexcept override;
  STDMETHODIMP ReactivateAndUndo() noexcept override;
  STDMETHODIMP TranslateAccelerator(LPMSG msg) noexcept override;
  STDMETHODIMP OnFrameWindowActivate(BOOL activate) noexcept override;
  STDMETHODIMP OnDocWindowActivate(BOOL activate) noexcept override;
  STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) noexcept override;
  STDMETHODIMP EnableModeless(BOOL enable) noexcept override;

  // IViewObject2
  STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device, HDC targetDc, HDC dc,
                    LPCRECTL bounds, LPCRECTL metafileBounds, BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR),
                    ULONG_PTR contArg) noexcept override;
  STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device, HDC targetDc,
                           LOGPALETTE** colors) noexcept override;
  STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) noexcept override;
  STDMETHODIMP Unfreeze(DWORD freeze) noexcept override;
  STDMETHODIMP SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink) noexcept override;
  STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink) noexcept override;
  STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) noexcept override;

  // IPersist, IPersistStreamInit, IPersistPropertyBag: nothing is persisted.
  STDMETHODIMP GetClassID(CLSID* clsid) noexcept override;
  STDMETHODIMP IsDirty() noexcept override;
  STDMETHODIMP Load(LPSTREAM stream) noexcept override;
  STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) noexcept override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) noexcept override;
  STDMETHODIMP InitNew() noexcept override;
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) noexcept override;
  STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) noexcept override;

  // IProvideClassInfo2
  STDMETHODIMP GetClassInfo(ITypeInfo** info) noexcept override;
  STDMETHODIMP GetGUID(DWORD kind, GUID* guid) noexcept override;

  // IConnectionPointContainer
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) noexcept override;
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) noexcept override;

  // ISupportErrorInfo
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) noexcept override;

 private:
  HRESULT Failed(const profilectl::ControlError& error) noexcept;
  // A member that calls the core: a failed call becomes the member's error (Failed).
  // The second form clears *result first, gives E_POINTER when `result` or one of the
  // member's by-reference `inputs` is missing, and hands out the core's value.
  template <class Call>
  HRESULT Forward(Call&& call) noexcept;
  template <class Out, class Call>
  HRESULT Forward(Out* result, std::initializer_list<const void*> inputs, Call&& call) noexcept;
  HRESULT InPlaceActivate(IOleClientSite* activeSite, HWND parent, LPCRECT posRect) noexcept;
  void PlaceWindow(const RECT& pos) noexcept;
  void ReadUserMode() noexcept;
  void UpdateVisibility() noexcept;
  HRESULT StartPersistence() noexcept;

  win::com_ptr<ITypeInfo> typeInfo_;
  std::unique_ptr<profilectl::ProfileStore> store_;
  HostMessages messages_;
  profilectl::TesvarCore core_;
  // The error of the member that Invoke is running, for its EXCEPINFO.
  std::optional<profilectl::ControlError> lastError_;

  win::com_ptr<IOleClientSite> clientSite_;
  win::com_ptr<IOleInPlaceSite> inPlaceSite_;
  win::com_ptr<IOleAdviseHolder> adviseHolder_;
  win::com_ptr<IAdviseSink> viewSink_;
  DWORD viewAspects_ = 0;
  DWORD viewAdvf_ = 0;
  win::com_ptr<EventsConnectionPoint> events_;
  win::unique_hwnd window_;
  bool userMode_ = true;  // run time unless the container says otherwise
  bool initialized_ = false;
  bool placing_ = false;
};

// Removes the control's window class when the module unloads.
void UnregisterControlWindowClass() noexcept;

}  // namespace tesvar
