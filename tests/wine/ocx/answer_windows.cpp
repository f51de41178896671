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
#include <filesystem>
#include <string>

#include "wine/support/files.h"
#include "wine/support/process.h"
#include "wine/support/program.h"
#include "wine/support/ui.h"

namespace {

using namespace wine_test;

// Whether `window` belongs to a process whose image file name ends in `process`.
bool OfImage(HWND window, const wchar_t* process) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  const win::unique_handle handle(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  wchar_t image[MAX_PATH];
  DWORD size = MAX_PATH;
  if (!handle || !QueryFullProcessImageNameW(handle.get(), 0, image, &size)) return false;
  const size_t length = std::wcslen(process);
  return size >= length && _wcsicmp(image + size - length, process) == 0;
}

// The first visible button of `window`, or null.
HWND VisibleButton(HWND window) {
  return FindVisibleChild(window, [](HWND child) { return _wcsicmp(ClassName(child).c_str(), L"Button") == 0; });
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: answer_windows PROCESS.exe COUNT OUTPUT [SECONDS]\n");
    return 64;
  }
  const int count = _wtoi(argv[2]);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(argc > 4 ? _wtoi(argv[4]) : 60);
  std::error_code ignored;
  std::filesystem::remove(argv[3], ignored);
  HWND found = nullptr;
  const auto windowShown = [&] {
    found = FindVisibleWindow([&](HWND window) { return OfImage(window, argv[1]) && VisibleButton(window); });
    return found != nullptr;
  };
  for (int answered = 0; answered < count; ++answered) {
    if (!WaitUntil(windowShown,
                   std::chrono::duration_cast<Milliseconds>(deadline - std::chrono::steady_clock::now()))) {
      std::fprintf(stderr, "answer_windows: %d of %d windows answered\n", answered, count);
      return 1;
    }
    Sleep(200);  // let the window finish appearing
    const HWND button = VisibleButton(found);
    const std::wstring text = ClassName(found) == L"#32770" ? ReadMessageBox(found).text : WindowText(button);
    if (!AppendUtf8(argv[3], WindowText(found) + L"\t" + text + L"\n")) return 1;
    PressButton(found, GetDlgCtrlID(button));
    if (!WaitUntil([&] { return !IsWindow(found) || !IsWindowVisible(found); }, 5s)) {
      std::fprintf(stderr, "answer_windows: a window did not close when its button was pressed\n");
      return 1;
    }
  }
  return 0;
}
