// Many lives of the control in one process, as a host that creates one per form gives
// it: made by the class factory, driven through IDispatch by the identifiers that
// GetIDsOfNames gives for the member names (a write, two reads, a scan and a failing
// read that fills an EXCEPINFO), and released. Afterwards the server can unload, and
// the process's private bytes have not grown with the number of lives.
//   tesvar_lifetime_test Tesvar.ocx [gtest options]
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "atl_container.h"
#include "dispatch_call.h"
#include "wine/support/files.h"

namespace {

using namespace ocx_test;

constexpr int kWarmUpCycles = 1000;
constexpr int kCycles = 10000;
// After the warm-up every cache has its size, and a cycle that leaves nothing behind
// costs nothing. 256 KiB over the 9,000 measured cycles is 29 bytes a cycle: less than
// the smallest heap block with its header, so a leak of any one allocation per cycle
// (a BSTR, an EXCEPINFO string, a handle's object, the control itself) exceeds it.
constexpr SIZE_T kGrowthBound = 256 * 1024;

// The process's commit charge. Windows gives it as PrivateUsage and as PagefileUsage;
// Wine fills only PagefileUsage (the process's resident anonymous memory).
SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof counters)) {
    return 0;
  }
  return counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
}

DISPID IdOf(IDispatch* control, const wchar_t* name) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id = DISPID_UNKNOWN;
  control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  return id;
}

// The calls of one life on `file`; an empty result when every call gave what it should.
std::string Use(const win::com_ptr<IDispatch>& control, const std::wstring& file, int cycle) {
  const DISPID fileName = IdOf(control.get(), L"FileName");
  const DISPID save = IdOf(control.get(), L"Sav_Key");
  const DISPID load = IdOf(control.get(), L"Load_Key");
  const DISPID hasKey = IdOf(control.get(), L"Dir键值");

  if (Invocation(control.get(), fileName, {Text(file)}, DISPATCH_PROPERTYPUT).status != S_OK) return "FileName";
  const std::wstring value = L"第" + std::to_wstring(cycle) + L"次";
  if (Outcome(Invocation(control.get(), save, {Text(L"常规"), Text(L"次数"), Text(value), Boolean(false)})) !=
      L"True") {
    return "Sav_Key";
  }
  if (Outcome(Invocation(control.get(), load, {Text(L"常规"), Text(L"次数"), Long(256), Boolean(false)})) !=
      L"\"" + value + L"\"") {
    return "Load_Key";
  }
  if (Outcome(Invocation(control.get(), hasKey, {Text(L"常规"), Text(L"次数")})) != L"True") return "Dir键值";
  const Invocation failing(control.get(), load, {Text(L"常规"), Text(L"次数"), Long(0), Boolean(false)});
  if (Outcome(failing) != L"error 5" || !failing.exception.bstrDescription) return "Load_Key with 数据缓冲 0";
  return {};
}

// One life of a control from the class factory.
std::string Life(const std::wstring& file, int cycle) {
  auto control = CreateControl<IDispatch>();
  if (!control) return "the class factory made no control";
  return Use(control, file, cycle);
}

TEST(Lifetime, ControlsComeAndGoWithoutLeaking) {
  testing_support::TempDir dir;
  const std::wstring file = wine_test::WideFromUtf8(dir.Write("lifetime.ini", kContent));

  const auto start = std::chrono::steady_clock::now();
  SIZE_T warmedUp = 0;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    if (cycle == kWarmUpCycles) warmedUp = PrivateBytes();
    if (const std::string failed = Life(file, cycle); !failed.empty()) {
      FAIL() << "cycle " << cycle << ": " << failed;
    }
  }
  const SIZE_T atEnd = PrivateBytes();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const HRESULT canUnload = ocx_test::LoadedServer().canUnloadNow();

  std::printf("cycles: %d (the first %d to warm up)\n", kCycles, kWarmUpCycles);
  std::printf("private bytes after the warm-up: %zu, at the end: %zu, growth: %lld bytes\n", static_cast<size_t>(warmedUp), static_cast<size_t>(atEnd),
              static_cast<long long>(atEnd) - static_cast<long long>(warmedUp));
  std::printf("DllCanUnloadNow: 0x%08lX\n", static_cast<unsigned long>(canUnload));
  std::printf("time: %.1f s (%.2f ms a cycle)\n", seconds, seconds * 1000 / kCycles);
  std::fflush(stdout);

  ASSERT_GT(warmedUp, 0u) << "GetProcessMemoryInfo gives no private bytes here";
  EXPECT_LE(atEnd, warmedUp + kGrowthBound);
  // No life left the file open: it opens without sharing.
  EXPECT_TRUE(wine_test::HoldOpen(file, GENERIC_READ | GENERIC_WRITE, 0));
  EXPECT_EQ(canUnload, S_OK);
}

// Lives in Wine's ATL container, one after another on one form, as a series program
// opens and closes its forms: each leaves the control exactly as a plain control of the
// test's own is left (container_test.cpp says what the 32-bit container keeps of any
// control; it is given back here), and afterwards nothing holds the server.
TEST(Lifetime, ControlsInAContainerComeAndGo) {
  constexpr int kHosted = 300;
  testing_support::TempDir dir;
  const std::wstring file = wine_test::WideFromUtf8(dir.Write("hosted.ini", kContent));
  HWND form = CreateWindowExW(0, L"STATIC", L"form", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 320,
                              240, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(form);
  {
    const RegisteredClass tesvar(expected::kClassId, ServerFactory().get());
    const RegisteredClass plain(kPlainControlId, PlainControlFactory().get());
    ASSERT_TRUE(tesvar && plain);
    ASSERT_TRUE(Atl().initialized) << "atl100.dll and AtlAxWinInit";
    const HostedLife reference = HostInContainer(form, kPlainControlId, [](IUnknown*) {});
    ASSERT_TRUE(reference.created);

    for (int cycle = 0; cycle < kHosted; ++cycle) {
      std::string failed;
      const HostedLife life = HostInContainer(form, expected::kClassId, [&](IUnknown* control) {
        failed = Use(win::com_ptr<IUnknown>(control).query<IDispatch>(), file, cycle);
      });
      if (!life.created) failed = "the container made no control";
      if (life.leftAfterContainer != reference.leftAfterContainer) {
        failed = std::to_string(life.leftAfterContainer) + " references left where a plain control has " +
                 std::to_string(reference.leftAfterContainer);
      } else {
        for (ULONG n = 0; n < life.leftAfterContainer; ++n) life.stillAlive->Release();
      }
      if (!failed.empty()) FAIL() << "hosted life " << cycle << ": " << failed;
    }
    for (ULONG n = 0; n < reference.leftAfterContainer; ++n) reference.stillAlive->Release();
    EXPECT_EQ(PlainControls().alive, 0);
  }
  DestroyWindow(form);
  EXPECT_EQ(LoadedServer().canUnloadNow(), S_OK);
}

}  // namespace
