#pragma once
// PostBody: one form POST through the platform's XMLHTTP request object. Windows only.
//
// The request object is created from "Msxml2.XMLHTTP", else "Microsoft.XMLHTTP", and
// driven late-bound by member name: Open("POST", url, True), setRequestHeader
// ("CONTENT-TYPE", "application/x-www-form-urlencoded"), Send(EncodeBody(data)), then
// readyState until it is 4, then responseText. It is released before PostBody returns,
// except after a time-out (below); nothing is kept between calls.
//
// The request runs asynchronously so that the wait is bounded: after kPostTimeout the
// request is aborted and PostBody fails with HRESULT_FROM_WIN32(ERROR_TIMEOUT); the
// aborted object stays alive, so that a reply arriving later finds it. While it
// waits, PostBody dispatches only what the request needs and what repaints:
//   - messages for the thread's message-only windows, through which the request object
//     and COM complete their work;
//   - WM_PAINT for the thread's windows;
//   - messages sent from other threads, which Windows delivers during any wait.
// Everything else (input, timer ticks, commands posted to the application's windows)
// stays in the queue until the caller's own loop takes it: no input reaches a window
// and no handler runs while the request is under way.
//
// The caller initialises COM on this thread as a single-threaded apartment (the main
// window's thread). The response text comes back whatever the HTTP status.

#include <windows.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace update {

inline constexpr DWORD kPostTimeout = 20'000;  // ms

// S_OK with the response text; S_OK with empty text when neither request object can be
// created (nothing is sent); a failing HRESULT, with empty text, when the request object
// reports an error or the wait times out.
[[nodiscard]] HRESULT PostBody(std::u16string_view url, std::u16string_view data, std::u16string& response) noexcept;

// PostBody with a given ProgID order and bound, for tests.
[[nodiscard]] HRESULT PostBodyWith(std::initializer_list<const wchar_t*> progIds, DWORD timeoutMs,
                                   std::u16string_view url, std::u16string_view data,
                                   std::u16string& response) noexcept;

}  // namespace update
