// Answers the windows that a process under test shows, as a user would: finds each
// visible top-level window of the process that has a button (a message box, the about
// form), records its title and text, and presses its button.
//
//   answer_windows PROCESS.exe COUNT OUTPUT [SECONDS]
//
// OUTPUT gets one UTF-8 line per window: title, a tab, and the message text of a
// message box or the button's caption of another window. Exit code 0 when COUNT
// windows were answered within SECONDS (default 60), 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <string>

namespace {

struct Search {
  const wchar_t* process;
  HWND found = nullptr;
  HWND button = nullptr;
};

std::wstring Text(HWND window) {
  wchar_t text[1024];
  const int n = GetWindowTextW(window, text, 1024);
  return std::wstring(text, n > 0 ? n : 0);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256];
  const int n = GetClassNameW(window, name, 256);
  return std::wstring(name, n > 0 ? n : 0);
}

bool OfProcess(HWND window, const wchar_t* process) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!handle) return false;
  wchar_t image[MAX_PATH];
  DWORD size = MAX_PATH;
  const bool ok = QueryFullProcessImageNameW(handle, 0, image, &size);
  CloseHandle(handle);
  if (!ok) return false;
  const size_t length = std::wcslen(process);
  return size >= length && _wcsicmp(image + size - length, process) == 0;
}

BOOL CALLBACK FindButton(HWND child, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  if (_wcsicmp(ClassOf(child).c_str(), L"Button") == 0 && IsWindowVisible(child)) {
    search->button = child;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindWindowOfProcess(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  if (!IsWindowVisible(window) || !OfProcess(window, search->process)) return TRUE;
  search->button = nullptr;
  EnumChildWindows(window, FindButton, param);
  if (!search->button) return TRUE;
  search->found = window;
  return FALSE;
}

std::string Utf8(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
  return bytes;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: answer_windows PROCESS.exe COUNT OUTPUT [SECONDS]\n");
    return 64;
  }
  const int count = _wtoi(argv[2]);
  const DWORD deadline = GetTickCount() + 1000u * (argc > 4 ? _wtoi(argv[4]) : 60);
  std::ofstream out(argv[3], std::ios::binary);

  for (int answered = 0; answered < count;) {
    if (static_cast<LONG>(GetTickCount() - deadline) > 0) {
      std::fprintf(stderr, "answer_windows: %d of %d windows answered\n", answered, count);
      return 1;
    }
    Search search{argv[1]};
    EnumWindows(FindWindowOfProcess, reinterpret_cast<LPARAM>(&search));
    if (!search.found) {
      Sleep(100);
      continue;
    }
    Sleep(200);  // let the window finish appearing
    const std::wstring text = ClassOf(search.found) == L"#32770"
                                  ? [&] {
                                      wchar_t message[2048];
                                      const UINT n = GetDlgItemTextW(search.found, 0xFFFF, message, 2048);
                                      return std::wstring(message, n);
                                    }()
                                  : Text(search.button);
    out << Utf8(Text(search.found)) << '\t' << Utf8(text) << '\n';
    out.flush();
    // The button's notification, as a click sends it: a BM_CLICK from another process
    // is lost now and then by 32-bit windows under Wine's WoW64 mode.
    PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(search.button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(search.button));
    for (int i = 0; i < 100 && IsWindow(search.found); ++i) Sleep(50);
    if (IsWindow(search.found) && IsWindowVisible(search.found)) {
      std::fprintf(stderr, "answer_windows: a window did not close when its button was pressed\n");
      return 1;
    }
    ++answered;
  }
  return 0;
}
