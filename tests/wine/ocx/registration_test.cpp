// regsvr32 registering and unregistering Tesvar.ocx, and what it leaves in the
// registry each time.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "expected_identity.h"
#include "ocx_under_test.h"
#include "wine/support/process.h"
#include "wine/support/program.h"
#include "wine/support/registry.h"

namespace {

using ocx_test::OcxPath;

// Runs "regsvr32 /s [/u] OCX": its exit code.
std::optional<DWORD> Regsvr32(bool unregister) {
  return wine_test::RunToEnd(std::wstring(L"regsvr32.exe /s ") + (unregister ? L"/u " : L"") +
                             wine_test::Quoted(OcxPath()));
}

bool KeyExists(const std::wstring& key) { return wine_test::RegistryKeyExists(HKEY_CLASSES_ROOT, key); }

// The machine's classes as the other kind of process sees them: a 32-bit control
// registered by the 32-bit regsvr32 must not show in the 64-bit view, nor the other
// way round.
bool KeyExistsInTheOtherView(const std::wstring& key) {
  constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
  return wine_test::RegistryKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + key, kOtherView);
}

const std::wstring kClass = expected::kClassKey;
constexpr wchar_t kLibraryId[] = L"{617CB5E9-3906-461D-941B-27E5A3540B81}";

void ExpectRegistered() {
  const struct {
    std::wstring key;
    const wchar_t* name;
    std::wstring value;
  } entries[] = {
      {kClass + L"\\InprocServer32", nullptr, OcxPath()},
      {kClass + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {kClass + L"\\ProgID", nullptr, L"TesvarLib.Tesvar"},
      {kClass + L"\\VersionIndependentProgID", nullptr, L"TesvarLib.Tesvar"},
      {kClass + L"\\TypeLib", nullptr, kLibraryId},
      {kClass + L"\\Version", nullptr, L"1.0"},
      {kClass + L"\\MiscStatus\\1", nullptr, std::to_wstring(expected::kMiscStatus)},
      {kClass + L"\\ToolboxBitmap32", nullptr, OcxPath() + L", 30000"},
      {L"TesvarLib.Tesvar\\CLSID", nullptr, L"{01186666-2B0C-4C98-A0F2-CF76AB4B8DA6}"},
      {std::wstring(expected::kLibraryKey) + L"\\1.0", nullptr, L"TesvarLib"},
      {std::wstring(expected::kLibraryKey) + (sizeof(void*) == 8 ? L"\\1.0\\0\\win64" : L"\\1.0\\0\\win32"), nullptr,
       OcxPath()},
      {std::wstring(expected::kInterfaceKey), nullptr, L"_Tesvar"},
      {std::wstring(expected::kInterfaceKey) + L"\\TypeLib", nullptr, kLibraryId},
      {std::wstring(expected::kEventsKey), nullptr, L"__Tesvar"},
  };
  for (const auto& entry : entries) {
    const std::wstring got =
        wine_test::RegistryString(HKEY_CLASSES_ROOT, entry.key, entry.name).value_or(L"<missing>");
    EXPECT_EQ(_wcsicmp(got.c_str(), entry.value.c_str()), 0)
        << "HKCR\\" << testing::PrintToString(entry.key) << " " << (entry.name ? "named value" : "default value");
  }
  EXPECT_TRUE(KeyExists(kClass + L"\\Control"));
  EXPECT_TRUE(KeyExists(kClass + L"\\MiscStatus"));
  EXPECT_TRUE(KeyExistsInTheOtherView(L"CLSID")) << "the other view cannot be read";
  EXPECT_FALSE(KeyExistsInTheOtherView(kClass)) << "the class shows in the other kind's registry view";
}

void ExpectNothingLeft() {
  for (const std::wstring& key : {kClass, std::wstring(expected::kProgId), std::wstring(expected::kLibraryKey),
                                  std::wstring(expected::kInterfaceKey), std::wstring(expected::kEventsKey)}) {
    EXPECT_FALSE(KeyExists(key)) << testing::PrintToString(key) << " is still there";
  }
}

TEST(Registration, RegisterCheckReregisterAndUnregister) {
  ASSERT_EQ(Regsvr32(false), 0u);
  ExpectRegistered();

  ASSERT_EQ(Regsvr32(false), 0u) << "registering again succeeds";
  ExpectRegistered();

  ASSERT_EQ(Regsvr32(true), 0u);
  ExpectNothingLeft();

  EXPECT_EQ(Regsvr32(true), 0u) << "unregistering what is gone is no error";
  ExpectNothingLeft();
}

// A control that writes any file its host names must never be driven by a web page: it
// is marked safe neither for scripting nor for initialization, by its registration's
// component categories or by IObjectSafety.
TEST(Registration, NeverMarkedSafeForScriptingOrInitialization) {
  ASSERT_EQ(Regsvr32(false), 0u);
  for (const wchar_t* category : {L"{7DD95801-9882-11CF-9FA9-00AA006C42C4}",    // safe for scripting
                                  L"{7DD95802-9882-11CF-9FA9-00AA006C42C4}"}) {  // safe for initialization
    EXPECT_FALSE(KeyExists(kClass + L"\\Implemented Categories\\" + category)) << testing::PrintToString(category);
  }
  const auto control = ocx_test::CreateControl<IUnknown>();
  ASSERT_TRUE(control);
  constexpr GUID kObjectSafety = {0xCB5BDC81, 0x93C1, 0x11CF, {0x8F, 0x20, 0x00, 0x80, 0x5F, 0x2C, 0xD0, 0x64}};
  win::com_ptr<IUnknown> safety;
  EXPECT_EQ(control->QueryInterface(kObjectSafety, safety.put_void()), E_NOINTERFACE);
  EXPECT_EQ(Regsvr32(true), 0u);
}

}  // namespace
