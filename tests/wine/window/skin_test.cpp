// SkinH_VB6.dll on the real platform: what SkinH_AttachEx returns and what it does to
// the calling thread's windows. A skin belongs to a thread, so each case runs on a
// thread of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "support/temp_dir.h"
#include "text/codepage.h"
#include "wine/support/files.h"
#include "wine/support/program.h"
#include "wine/support/ui.h"

namespace {

namespace fs = std::filesystem;
using AttachEx = int(WINAPI*)(const char*, const char*);

class Skin : public testing::Test {
 protected:
  void SetUp() override {
    library_ = LoadLibraryW((wine_test::ProgramFolder() / "app" / "SkinH_VB6.dll").c_str());
    ASSERT_NE(library_, nullptr);
    attach_ = reinterpret_cast<AttachEx>(reinterpret_cast<void*>(GetProcAddress(library_, "SkinH_AttachEx")));
    ASSERT_NE(attach_, nullptr);
  }

  // Runs `body` on a new thread, with a top-level window and a label on it.
  static void OnOwnThread(const std::function<void(HWND form, HWND label)>& body) {
    std::thread([&] {
      HWND form = CreateWindowW(L"STATIC", L"form", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
      HWND label = CreateWindowW(L"STATIC", L"label", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, form, nullptr, nullptr, nullptr);
      body(form, label);
      DestroyWindow(form);
    }).join();
  }

  // The brush colour and text colour `window` answers for a control's WM_CTLCOLOR*.
  static std::pair<COLORREF, COLORREF> ColoursFor(HWND window, UINT message, HWND control) {
    HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, RGB(1, 2, 3));
    const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(window, message, reinterpret_cast<WPARAM>(dc),
                                                             reinterpret_cast<LPARAM>(control)));
    LOGBRUSH logBrush{};
    GetObjectW(brush, sizeof logBrush, &logBrush);
    const COLORREF text = GetTextColor(dc);
    DeleteDC(dc);
    return {logBrush.lbColor, text};
  }

  testing_support::TempDir dir_;
  HMODULE library_ = nullptr;
  AttachEx attach_ = nullptr;
};

constexpr char kSkin[] = "window = #102030\ntext = #405060\nfield = #708090\n";

TEST_F(Skin, AttachedSkinColoursTheThreadsWindowsAndLaterOnes) {
  const std::string file = dir_.Write("1.she", kSkin);
  OnOwnThread([&](HWND form, HWND label) {
    EXPECT_EQ(attach_(file.c_str(), ""), 1);
    EXPECT_EQ(ColoursFor(form, WM_CTLCOLORSTATIC, label), std::make_pair(RGB(0x10, 0x20, 0x30), RGB(0x40, 0x50, 0x60)));
    EXPECT_EQ(ColoursFor(form, WM_CTLCOLOREDIT, label).first, RGB(0x70, 0x80, 0x90));
    // A top-level window made afterwards (as a message box is) gets the skin too.
    HWND later = CreateWindowW(L"STATIC", L"later", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(ColoursFor(later, WM_CTLCOLORDLG, nullptr).first, RGB(0x10, 0x20, 0x30));
    DestroyWindow(later);
  });
}

// D15: a container on a skinned window paints its background in the skin's colour, so
// that what a hidden control uncovers shows the skin.
TEST_F(Skin, ContainersPaintTheirBackgroundInTheSkinsColour) {
  const std::string file = dir_.Write("1.she", kSkin);
  OnOwnThread([&](HWND form, HWND) {
    HWND frame = CreateWindowW(L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 0, 30, 100, 60, form, nullptr,
                               nullptr, nullptr);
    CreateWindowW(L"STATIC", L"inside", WS_CHILD | WS_VISIBLE, 10, 20, 50, 20, frame, nullptr, nullptr, nullptr);
    EXPECT_EQ(attach_(file.c_str(), ""), 1);
    wine_test::Canvas canvas(100, 60);
    canvas.Fill(BLACK_BRUSH);
    EXPECT_NE(SendMessageW(frame, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.dc()), 0), 0);
    EXPECT_EQ(canvas.At(50, 30), RGB(0x10, 0x20, 0x30));
    EXPECT_EQ(canvas.At(99, 59), RGB(0x10, 0x20, 0x30));
  });
}

TEST_F(Skin, AnotherThreadsWindowsKeepTheirLook) {
  const std::string file = dir_.Write("1.she", kSkin);
  OnOwnThread([&](HWND, HWND) { EXPECT_EQ(attach_(file.c_str(), ""), 1); });
  OnOwnThread([&](HWND form, HWND label) {
    EXPECT_NE(ColoursFor(form, WM_CTLCOLORSTATIC, label).first, RGB(0x10, 0x20, 0x30));
  });
}

TEST_F(Skin, MissingOrUnsuitableSkinFileReturnsZeroAndChangesNothing) {
  const std::string cases[] = {
      (dir_.path() / "absent.she").string(),
      dir_.Write("half.she", "window = #102030\n"),
      dir_.Write("binary.she", std::string("MZ\x90\0\3\0", 6)),
      dir_.path().string(),  // a folder, not a file
  };
  for (const std::string& file : cases) {
    SCOPED_TRACE(file);
    OnOwnThread([&](HWND form, HWND label) {
      const auto before = ColoursFor(form, WM_CTLCOLORSTATIC, label);
      EXPECT_EQ(attach_(file.c_str(), ""), 0);
      EXPECT_EQ(ColoursFor(form, WM_CTLCOLORSTATIC, label), before);
    });
  }
  EXPECT_EQ(attach_(nullptr, ""), 0);
}

TEST_F(Skin, TakesItsPathInTheAnsiCodePage) {
  // The application folder may have a Chinese name: 936 bytes reach the library.
  const fs::path chinese = dir_.path() / L"修复器";
  fs::create_directories(chinese);
  wine_test::WriteBytes(chinese / "1.she", kSkin);
  const std::string path = text::ToAnsi(wine_test::Path16(chinese.wstring() + L"/1.she"));
  OnOwnThread([&](HWND, HWND) { EXPECT_EQ(attach_(path.c_str(), ""), 1); });
}

}  // namespace
