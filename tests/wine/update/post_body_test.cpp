#include "update/post_body.h"

#include <objbase.h>
#include <winsock2.h>
#include <gtest/gtest.h>

#include <chrono>

#include "text/codepage.h"
#include "update/encode_body.h"
#include "wine/support/version_service.h"

namespace {

using nlohmann::json;
using update::PostBody;
using update::PostBodyWith;
using wine_test::VersionService;
using Clock = std::chrono::steady_clock;

class PostBodyTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
  void TearDown() override { CoUninitialize(); }

  const VersionService& service = VersionService::Get();
  std::u16string response = u"stale";
};

TEST_F(PostBodyTest, SendsOneFormPostWithTheEncodedBody) {
  const struct {
    std::u16string data;
    std::string onTheWire;
  } cases[] = {
      {u"sn=tov", "sn=tov"},
      {u"sn=中 a&b=c+d%", "sn=%D6%D0 a&b=c+d%"},
      {u"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.onTheWire);
    service.Script({{"body", "{\"result\":1}"}});
    ASSERT_HRESULT_SUCCEEDED(PostBody(service.Url(), c.data, response));
    EXPECT_EQ(response, u"{\"result\":1}");
    const auto requests = service.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]["method"], "POST");
    EXPECT_EQ(requests[0]["path"], "/index.php/Index/soft_version");
    EXPECT_EQ(requests[0]["content_type"], "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[0]["body"], c.onTheWire);
  }
}

TEST_F(PostBodyTest, ReturnsTheBodyWhateverTheStatus) {
  const struct {
    int status;
    std::string body;
  } cases[] = {
      {200, "{\"result\":1,\"info\":{\"version\":\"2.1.0\",\"sid\":\"7\",\"must\":0}}"},
      {200, ""},
      {200, "版本 2.1.0"},
      {404, "no such page"},
      {500, "{\"error\":\"服务器内部错误\"}"},
      {503, "busy"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    service.Script({{"status", c.status}, {"body", c.body}, {"content_type", "text/plain; charset=utf-8"}});
    ASSERT_HRESULT_SUCCEEDED(PostBody(service.Url(), u"sn=tov", response));
    EXPECT_EQ(response, text::FromUtf8(c.body));
  }
}

TEST_F(PostBodyTest, AClosedConnectionGivesNoText) {
  service.Script({{"close", true}});
  (void)PostBody(service.Url(), u"sn=tov", response);
  EXPECT_EQ(response, u"");
  EXPECT_EQ(service.Requests().size(), 1u);
}

TEST_F(PostBodyTest, AnUnreachablePortGivesNoText) {
  // A port that is bound but not listening refuses connections.
  WSADATA wsa;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int size = sizeof address;
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), size), 0);
  ASSERT_EQ(getsockname(s, reinterpret_cast<sockaddr*>(&address), &size), 0);
  const std::u16string url = wine_test::LoopbackUrl(ntohs(address.sin_port));

  // Windows completes a failed request with readyState 4; Wine's request object never
  // completes it, and only the bound ends the wait. A short bound keeps the test quick.
  const HRESULT hr = PostBodyWith({L"Msxml2.XMLHTTP"}, 3'000, url, u"sn=tov", response);
  closesocket(s);
  WSACleanup();
  EXPECT_EQ(response, u"");
  EXPECT_HRESULT_FAILED(hr);
}

TEST_F(PostBodyTest, FallsBackToMicrosoftXmlHttp) {
  service.Script({{"body", "ok"}});
  ASSERT_HRESULT_SUCCEEDED(
      PostBodyWith({L"Kestrova.NoSuchRequest", L"Microsoft.XMLHTTP"}, update::kPostTimeout, service.Url(), u"sn=tov",
                   response));
  EXPECT_EQ(response, u"ok");
  ASSERT_EQ(service.Requests().size(), 1u);
}

TEST_F(PostBodyTest, WithoutARequestObjectNothingIsSent) {
  service.Script({{"body", "ok"}});
  EXPECT_HRESULT_SUCCEEDED(PostBodyWith({L"Kestrova.NoSuchRequest", L"Kestrova.NorThisOne"}, update::kPostTimeout,
                                        service.Url(), u"sn=tov", response));
  EXPECT_EQ(response, u"");
  EXPECT_TRUE(service.Requests().empty());
}

// Counts what reaches a window of the application while PostBody waits.
struct Counts {
  int paints = 0, timers = 0, commands = 0;
};
Counts counts;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      ++counts.paints;
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_TIMER: ++counts.timers; return 0;
    case WM_COMMAND: ++counts.commands; return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(PostBodyTest, TheWaitRepaintsButRunsNoHandler) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = CountingProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"UpdateWaitProbe";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, wc.lpszClassName, L"probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  counts = {};
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  const Counts before = counts;

  service.Script({{"delay", 1.5}, {"body", "late"}});
  InvalidateRect(window, nullptr, TRUE);
  SetTimer(window, 1, 20, nullptr);
  PostMessageW(window, WM_COMMAND, 1, 0);
  const HRESULT hr = PostBody(service.Url(), u"sn=tov", response);
  const Counts during = counts;
  KillTimer(window, 1);

  EXPECT_HRESULT_SUCCEEDED(hr);
  EXPECT_EQ(response, u"late");
  EXPECT_GT(during.paints, before.paints);
  EXPECT_EQ(during.timers, before.timers);
  EXPECT_EQ(during.commands, before.commands);
  // The command is still waiting for the application's own loop.
  EXPECT_TRUE(PeekMessageW(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  DestroyWindow(window);
}

TEST_F(PostBodyTest, GivesUpAfterTwentySeconds) {
  service.Script({{"delay", 40}, {"body", "too late"}});
  const auto start = Clock::now();
  const HRESULT hr = PostBody(service.Url(), u"sn=tov", response);
  const auto elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_TIMEOUT));
  EXPECT_EQ(response, u"");
  EXPECT_GE(elapsed, 20.0);
  EXPECT_LT(elapsed, 25.0);
  std::printf("PostBody gave up after %.2f s\n", elapsed);

  // The next request is not disturbed by the one given up.
  service.Script({{"body", "next"}});
  ASSERT_HRESULT_SUCCEEDED(PostBody(service.Url(), u"sn=tov", response));
  EXPECT_EQ(response, u"next");
}

TEST_F(PostBodyTest, AReplyAfterTheTimeOutIsHarmless) {
  service.Script({{"delay", 3}, {"body", "too late"}});
  EXPECT_EQ(PostBodyWith({L"Msxml2.XMLHTTP"}, 1000, service.Url(), u"sn=tov", response),
            HRESULT_FROM_WIN32(ERROR_TIMEOUT));
  // Deliver what arrives while a message box would run its loop, past the late reply.
  const auto end = Clock::now() + std::chrono::seconds(5);
  while (Clock::now() < end) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(20);
  }
  service.Script({{"body", "next"}});
  ASSERT_HRESULT_SUCCEEDED(PostBody(service.Url(), u"sn=tov", response));
  EXPECT_EQ(response, u"next");
}

TEST(EncodeBodyOnWindows, TheSingleByte255IsEscaped) {
  // Find the characters whose ANSI code is the single byte 0xFF, if the code page has any.
  std::u16string found;
  for (unsigned c = 1; c < 0x10000; ++c)
    if (update::AnsiCode(static_cast<char16_t>(c)) == 255) found.push_back(static_cast<char16_t>(c));
  std::printf("characters with ANSI code 255: %zu\n", found.size());
  for (char16_t c : found) EXPECT_EQ(update::EncodeBody(std::u16string(1, c)), u"%0%FF") << static_cast<unsigned>(c);
  EXPECT_EQ(update::EncodeBody(u"a中b"), u"a%D6%D0b");
}

}  // namespace
