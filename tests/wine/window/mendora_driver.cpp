#include "mendora_driver.h"

#include <stdexcept>
#include <string>
#include <thread>

#include "window/form1_ids.h"

namespace window_test {
namespace {

struct Search {
  DWORD pid;
  const wchar_t* className;
  HWND found = nullptr;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM lParam) {
  auto& search = *reinterpret_cast<Search*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (pid == search.pid && std::wstring(name) == search.className && IsWindowVisible(window)) {
    search.found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindTopLevel(DWORD pid, const wchar_t* className) {
  Search search{pid, className};
  EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool HasButton(HWND box, int id) {
  HWND button = GetDlgItem(box, id);
  return button && IsWindowVisible(button);
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, Milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(20ms);
  }
}

std::wstring WindowText(HWND window) {
  wchar_t text[4096] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000, nullptr);
  return text;
}

RECT RectInParent(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  if (HWND parent = GetParent(window)) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

Screenshot Screenshot::Of(const RECT& area) {
  Screenshot shot;
  shot.area_ = area;
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return shot;
  shot.pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  SelectObject(memory, old);
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), shot.pixels_.data(), &info, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return shot;
}

COLORREF Screenshot::At(int x, int y) const {
  const int width = area_.right - area_.left;
  if (x < area_.left || x >= area_.right || y < area_.top || y >= area_.bottom) return CLR_INVALID;
  const std::uint32_t p = pixels_[static_cast<std::size_t>(y - area_.top) * static_cast<std::size_t>(width) +
                                  static_cast<std::size_t>(x - area_.left)];
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

MendoraProcess::MendoraProcess(const std::filesystem::path& exe) {
  std::wstring commandLine = L"\"" + exe.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  const std::wstring folder = exe.parent_path().wstring();
  // Wine now and then refuses a start right after the previous tool was ended; a few
  // more tries tell that apart from a program that cannot start.
  DWORD error = 0;
  for (int attempt = 0; attempt < 5; ++attempt, Sleep(500)) {
    if (CreateProcessW(exe.wstring().c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       folder.c_str(), &startup, &started)) {
      error = 0;
      break;
    }
    error = GetLastError();
  }
  if (error != 0) throw std::runtime_error("cannot start Mendora.exe: error " + std::to_string(error));
  CloseHandle(started.hThread);
  process_ = started.hProcess;
  pid_ = started.dwProcessId;
  WaitUntil([&] { return (form_ = FindTopLevel(pid_, window::ids::kForm1Class)) != nullptr || !Running(); }, 30s);
  if (!form_) throw std::runtime_error("Mendora.exe showed no window");
}

MendoraProcess::~MendoraProcess() {
  if (Running()) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 10000);
  }
  CloseHandle(process_);
}

HWND MendoraProcess::Control(int id) const {
  if (HWND control = GetDlgItem(form_, id)) return control;
  return GetDlgItem(GetDlgItem(form_, window::ids::kFrame1), id);
}

void MendoraProcess::Click(HWND button) const { PostMessageW(button, BM_CLICK, 0, 0); }

void MendoraProcess::ChooseMenu(int id) const { PostMessageW(form_, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

bool MendoraProcess::IsChecked(HWND button) const {
  DWORD_PTR state = 0;
  SendMessageTimeoutW(button, BM_GETCHECK, 0, 0, SMTO_BLOCK, 5000, &state);
  return state == BST_CHECKED;
}

std::optional<MessageBoxSeen> MendoraProcess::WaitForMessageBox(Milliseconds timeout) const {
  HWND box = nullptr;
  if (!WaitUntil([&] { return (box = FindTopLevel(pid_, L"#32770")) != nullptr; }, timeout)) return std::nullopt;
  MessageBoxSeen seen;
  seen.hwnd = box;
  // The box fills in its text as it is created: read it once it stands still.
  std::this_thread::sleep_for(100ms);
  seen.title = WindowText(box);
  seen.text = WindowText(GetDlgItem(box, 0xFFFF));
  seen.ok = HasButton(box, IDOK);
  seen.yes = HasButton(box, IDYES);
  seen.no = HasButton(box, IDNO);
  seen.cancel = HasButton(box, IDCANCEL);
  return seen;
}

void MendoraProcess::Answer(const MessageBoxSeen& box, int id) const {
  PostMessageW(box.hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box.hwnd, id)));
  WaitUntil([&] { return !IsWindow(box.hwnd) || !IsWindowVisible(box.hwnd); }, 10s);
}

bool MendoraProcess::WaitForExit(Milliseconds timeout) const {
  return WaitForSingleObject(process_, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

DWORD MendoraProcess::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process_, &code);
  return code;
}

}  // namespace window_test
