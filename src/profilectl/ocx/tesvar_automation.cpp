// The control's automation side: its life, IDispatch over the type library, the
// members of _Tesvar over TesvarCore, and the error information of a failed member.
#include <new>
#include <string>

#include "about_form.h"
#include "tesvar_control.h"
#include "tesvar_identity.h"
#include "type_dispatch.h"
#include "win32/message_box.h"
#include "win32/wide.h"

namespace tesvar {
namespace {

using profilectl::ControlError;

constexpr wchar_t kErrorSource[] = L"TesvarLib.Tesvar";

std::u16string_view View(BSTR text) {
  return text ? win::Utf16View({text, SysStringLen(text)}) : std::u16string_view();
}

BSTR MakeBstr(std::u16string_view text) {
  return win::make_bstr(win::WideView(text)).release();
}

// A core result handed out through a member's [out, retval] parameter.
HRESULT Deliver(bool value, VARIANT_BOOL* out) {
  *out = value ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT Deliver(std::u16string_view value, BSTR* out) {
  *out = MakeBstr(value);
  return *out ? S_OK : E_OUTOFMEMORY;
}

// Runs a member body; an exception from the core (out of memory) becomes a status.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

void SetErrorInfoFor(const ControlError& error) {
  win::com_ptr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(create.put()))) return;
  const std::u16string description = error.Description();
  create->SetGUID(kInterfaceId);
  create->SetSource(const_cast<LPOLESTR>(kErrorSource));
  create->SetDescription(const_cast<LPOLESTR>(win::Wide(description)));
  if (auto info = create.query<IErrorInfo>()) SetErrorInfo(0, info.get());
}

void FillException(EXCEPINFO* exception, const ControlError& error) {
  if (!exception) return;
  *exception = EXCEPINFO{};
  exception->scode = error.Status();
  exception->bstrSource = SysAllocString(kErrorSource);
  exception->bstrDescription = MakeBstr(error.Description());
}

}  // namespace

void HostMessages::Show(std::u16string_view text, std::u16string_view title, int style) {
  win::ShowMessageBox(control_.HostWindow(), text, title, style);
}

HRESULT TesvarControl::Create(REFIID iid, void** out) noexcept {
  return Guarded([&] {
    win::com_ptr<ITypeInfo> info;
    RETURN_IF_FAILED(ControlInterfaceTypeInfo(info.put()));
    return Make(iid, out, std::move(info), profilectl::MakeSystemProfileStore());
  });
}

TesvarControl::TesvarControl(win::com_ptr<ITypeInfo> typeInfo, std::unique_ptr<profilectl::ProfileStore> store)
    : typeInfo_(std::move(typeInfo)),
      store_(std::move(store)),
      messages_(*this),
      core_(*store_, messages_),
      events_(new EventsConnectionPoint(this)) {}

TesvarControl::~TesvarControl() { events_->Detach(); }

HRESULT TesvarControl::Failed(const ControlError& error) noexcept {
  lastError_ = error;
  SetErrorInfoFor(error);
  return error.Status();
}

template <class Call>
HRESULT TesvarControl::Forward(Call&& call) noexcept {
  return Guarded([&] {
    const auto done = call();
    return done ? S_OK : Failed(done.error());
  });
}

template <class Out, class Call>
HRESULT TesvarControl::Forward(Out* result, std::initializer_list<const void*> inputs, Call&& call) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, result);
  *result = Out{};
  for (const void* input : inputs) RETURN_HR_IF_NULL(E_POINTER, input);
  return Guarded([&] {
    const auto value = call();
    // A failed call hands out nothing: its caller frees no string, and the null BSTR
    // or False already stands for the empty result.
    if (!value) return Failed(value.error());
    return Deliver(*value, result);
  });
}

// ---- IDispatch --------------------------------------------------------------------

STDMETHODIMP TesvarControl::GetTypeInfoCount(UINT* count) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, count);
  *count = 1;
  return S_OK;
}

STDMETHODIMP TesvarControl::GetTypeInfo(UINT index, LCID, ITypeInfo** out) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, out);
  *out = nullptr;
  RETURN_HR_IF(DISP_E_BADINDEX, index != 0);
  return typeInfo_.copy_to(out);
}

STDMETHODIMP TesvarControl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept {
  RETURN_HR_IF(DISP_E_UNKNOWNINTERFACE, iid != IID_NULL);
  return DispGetIDsOfNames(typeInfo_.get(), names, count, ids);
}

STDMETHODIMP TesvarControl::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* argErr) noexcept {
  RETURN_HR_IF(DISP_E_UNKNOWNINTERFACE, iid != IID_NULL);
  CoercedArguments args;
  RETURN_IF_FAILED(args.Prepare(typeInfo_.get(), id, flags, params, argErr));

  lastError_.reset();
  win::unique_excepinfo inner;
  HRESULT hr = DispInvoke(static_cast<ITesvar*>(this), typeInfo_.get(), id, flags, args.Get(), result, &inner, argErr);
  if (lastError_) {
    inner.reset();
    FillException(exception, *lastError_);
    lastError_.reset();
    // The exception comes without a result: the type's Invoke makes the failed
    // member's null string an allocated one, which a caller does not free.
    if (result) VariantClear(result);
    hr = DISP_E_EXCEPTION;
  } else if (exception && hr == DISP_E_EXCEPTION) {
    *exception = inner.release();
  }
  return hr;
}

// ---- _Tesvar ----------------------------------------------------------------------

STDMETHODIMP TesvarControl::get_FileName(BSTR* value) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, value);
  return Deliver(core_.FileName(), value);
}

STDMETHODIMP TesvarControl::put_FileName(BSTR value) noexcept {
  return Guarded([&] {
    core_.SetFileName(std::u16string(View(value)));
    return S_OK;
  });
}

STDMETHODIMP TesvarControl::Load_Key(BSTR 扇区, BSTR 键值, short* 数据缓冲, VARIANT_BOOL* 错误处理,
                                     BSTR* result) noexcept {
  return Forward(result, {数据缓冲, 错误处理},
                 [&] { return core_.Load_Key(View(扇区), View(键值), *数据缓冲, *错误处理); });
}

STDMETHODIMP TesvarControl::Sav_Key(BSTR 扇区, BSTR 键值, BSTR 数据, VARIANT_BOOL* 错误处理,
                                    VARIANT_BOOL* result) noexcept {
  return Forward(result, {错误处理}, [&] { return core_.Sav_Key(View(扇区), View(键值), View(数据), *错误处理); });
}

STDMETHODIMP TesvarControl::Dir扇区(BSTR 扇区, VARIANT_BOOL* result) noexcept {
  return Forward(result, {}, [&] { return core_.Dir扇区(View(扇区)); });
}

STDMETHODIMP TesvarControl::Dir键值(BSTR 扇区, BSTR 键值, VARIANT_BOOL* result) noexcept {
  return Forward(result, {}, [&] { return core_.Dir键值(View(扇区), View(键值)); });
}

STDMETHODIMP TesvarControl::Del扇区(BSTR 扇区) noexcept {
  return Forward([&] { return core_.Del扇区(View(扇区)); });
}

STDMETHODIMP TesvarControl::Del键值(BSTR 扇区, BSTR 键值) noexcept {
  return Forward([&] { return core_.Del键值(View(扇区), View(键值)); });
}

STDMETHODIMP TesvarControl::Del数据(BSTR 扇区, BSTR 键值) noexcept {
  return Forward([&] { return core_.Del数据(View(扇区), View(键值)); });
}

STDMETHODIMP TesvarControl::NewFile(BSTR* nPathName, VARIANT_BOOL* result) noexcept {
  return Forward(result, {nPathName}, [&] { return core_.NewFile(View(*nPathName)); });
}

STDMETHODIMP TesvarControl::Readme(VARIANT_BOOL* Show_S) noexcept {
  RETURN_HR_IF_NULL(E_POINTER, Show_S);
  const bool modal = *Show_S == VARIANT_TRUE;
  if (FAILED(ShowAboutForm(HostWindow(), modal))) return Failed({profilectl::ErrorNumber::kInvalidCall});
  return S_OK;
}

// ---- ISupportErrorInfo ------------------------------------------------------------

STDMETHODIMP TesvarControl::InterfaceSupportsErrorInfo(REFIID iid) noexcept {
  return iid == kInterfaceId ? S_OK : S_FALSE;
}

}  // namespace tesvar
