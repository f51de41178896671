#include "update/post_body.h"

#include <algorithm>
#include <array>
#include <new>
#include <span>
#include <vector>

#include "win32/raii.h"
#include "win32/wide.h"
#include "update/encode_body.h"

namespace update {
namespace {

constexpr LONG kReadyStateComplete = 4;
// The longest the wait sleeps before it reads readyState again.
constexpr DWORD kPollInterval = 50;  // ms

// Calls the member `name` of `object`. `args` are in call order; `result` may be null.
[[nodiscard]] HRESULT Invoke(IDispatch* object, const wchar_t* name, WORD flags, std::span<VARIANT> args,
                             VARIANT* result) noexcept {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  RETURN_IF_FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));

  // DISPPARAMS lists the arguments from the last to the first.
  std::array<VARIANT, 3> reversed{};
  RETURN_HR_IF(E_INVALIDARG, args.size() > reversed.size());
  for (std::size_t i = 0; i < args.size(); ++i) reversed[args.size() - 1 - i] = args[i];
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(args.size()), 0};

  win::unique_excepinfo exception;
  HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception, nullptr);
  if (hr == DISP_E_EXCEPTION) {
    if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
    if (FAILED(exception.scode)) hr = exception.scode;
  }
  return hr;
}

[[nodiscard]] HRESULT CallMethod(IDispatch* object, const wchar_t* name, std::span<VARIANT> args) noexcept {
  return Invoke(object, name, DISPATCH_METHOD, args, nullptr);
}

[[nodiscard]] HRESULT GetProperty(IDispatch* object, const wchar_t* name, VARTYPE type, VARIANT& value) noexcept {
  win::unique_variant raw;
  RETURN_IF_FAILED(Invoke(object, name, DISPATCH_PROPERTYGET, {}, raw.put()));
  return VariantChangeType(&value, &raw, 0, type);
}

VARIANT BstrArg(const win::unique_bstr& text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = text.get();
  return v;
}

// The first request object that can be created.
win::com_ptr<IDispatch> CreateRequest(std::initializer_list<const wchar_t*> progIds) noexcept {
  win::com_ptr<IDispatch> request;
  for (const wchar_t* progId : progIds) {
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(progId, &clsid))) continue;
    if (SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, request.put_void())))
      return request;
  }
  return {};
}

// This thread's message-only windows: the hidden windows through which COM and the
// request object deliver their asynchronous work.
std::vector<HWND> ThreadMessageOnlyWindows() {
  std::vector<HWND> windows;
  const DWORD thread = GetCurrentThreadId();
  for (HWND hwnd = nullptr; (hwnd = FindWindowExW(HWND_MESSAGE, hwnd, nullptr, nullptr)) != nullptr;)
    if (GetWindowThreadProcessId(hwnd, nullptr) == thread) windows.push_back(hwnd);
  return windows;
}

// Delivers what may run while a request is under way (see post_body.h). Each round is
// bounded, so that a window that never stops asking for paint cannot hold the wait
// past its deadline.
void DispatchWhileWaiting() {
  constexpr int kMaxPerRound = 256;
  MSG msg;
  for (HWND hwnd : ThreadMessageOnlyWindows())
    for (int i = 0; i < kMaxPerRound && PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE); ++i) DispatchMessageW(&msg);
  for (int i = 0; i < kMaxPerRound && PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i)
    DispatchMessageW(&msg);
}

[[nodiscard]] HRESULT Send(IDispatch* request, DWORD timeoutMs, std::u16string_view url, std::u16string_view data,
                           std::u16string& response) noexcept try {
  {
    const auto method = win::make_bstr(L"POST");
    const auto target = win::make_bstr(win::WideView(url));
    RETURN_HR_IF(E_OUTOFMEMORY, !method.get() || !target.get());
    VARIANT asynchronous;
    VariantInit(&asynchronous);
    asynchronous.vt = VT_BOOL;
    asynchronous.boolVal = VARIANT_TRUE;
    std::array args{BstrArg(method), BstrArg(target), asynchronous};
    RETURN_IF_FAILED(CallMethod(request, L"Open", args));
  }
  {
    const auto name = win::make_bstr(L"CONTENT-TYPE");
    const auto value = win::make_bstr(L"application/x-www-form-urlencoded");
    RETURN_HR_IF(E_OUTOFMEMORY, !name.get() || !value.get());
    std::array args{BstrArg(name), BstrArg(value)};
    RETURN_IF_FAILED(CallMethod(request, L"setRequestHeader", args));
  }
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  {
    const std::u16string encoded = EncodeBody(data);
    const auto body = win::make_bstr(win::WideView(encoded));
    RETURN_HR_IF(E_OUTOFMEMORY, !body.get());
    std::array args{BstrArg(body)};
    RETURN_IF_FAILED(CallMethod(request, L"Send", args));
  }

  for (;;) {
    win::unique_variant state;
    RETURN_IF_FAILED(GetProperty(request, L"readyState", VT_I4, state));
    if (state.lVal == kReadyStateComplete) break;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) {
      (void)CallMethod(request, L"abort", {});
      return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    }
    const DWORD wait = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, kPollInterval));
    MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_SENDMESSAGE, 0);
    DispatchWhileWaiting();
  }

  win::unique_variant text;
  RETURN_IF_FAILED(GetProperty(request, L"responseText", VT_BSTR, text));
  response.assign(win::Utf16View({text.bstrVal, SysStringLen(text.bstrVal)}));
  return S_OK;
} catch (const std::bad_alloc&) {
  return E_OUTOFMEMORY;
}

}  // namespace

HRESULT PostBodyWith(std::initializer_list<const wchar_t*> progIds, DWORD timeoutMs, std::u16string_view url,
                     std::u16string_view data, std::u16string& response) noexcept {
  response.clear();
  auto request = CreateRequest(progIds);
  if (!request) return S_OK;
  const HRESULT hr = Send(request.get(), timeoutMs, url, data, response);
  // An aborted request can still take in its reply when it arrives later, and Wine's
  // request object then reads itself even when it has been released: a request given
  // up on is kept for the rest of the process (the check makes one request per run).
  if (hr == HRESULT_FROM_WIN32(ERROR_TIMEOUT)) (void)request.detach();
  if (FAILED(hr)) response.clear();
  return hr;
}

HRESULT PostBody(std::u16string_view url, std::u16string_view data, std::u16string& response) noexcept {
  return PostBodyWith({L"Msxml2.XMLHTTP", L"Microsoft.XMLHTTP"}, kPostTimeout, url, data, response);
}

}  // namespace update
