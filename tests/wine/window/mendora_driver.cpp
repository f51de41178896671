#include "mendora_driver.h"

#include <stdexcept>
#include <string>
#include <thread>

#include "window/form1_ids.h"

namespace window_test {

MendoraProcess::MendoraProcess(const std::filesystem::path& exe, const std::filesystem::path& currentFolder) {
  // Wine now and then refuses a start right after the previous tool was ended; a few
  // more tries tell that apart from a program that cannot start.
  DWORD error = 0;
  for (int attempt = 0; attempt < 5; ++attempt, Sleep(500)) {
    if ((error = StartIn(exe, currentFolder.empty() ? exe.parent_path() : currentFolder, started_)) == ERROR_SUCCESS)
      break;
  }
  if (error != 0) throw std::runtime_error("cannot start Mendora.exe: error " + std::to_string(error));
  WaitUntil(
      [&] {
        form_ = FindVisibleWindow(OfProcess(started_.id, window::ids::kForm1Class));
        return form_ != nullptr || !Running();
      },
      30s);
  if (!form_) throw std::runtime_error("Mendora.exe showed no window");
}

MendoraProcess::~MendoraProcess() {
  if (Running()) {
    TerminateProcess(started_.process.get(), 1);
    WaitForSingleObject(started_.process.get(), 10000);
  }
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
  if (!WaitUntil([&] { return (box = FindVisibleWindow(OfProcess(started_.id, L"#32770"))) != nullptr; }, timeout)) {
    return std::nullopt;
  }
  // The box fills in its text as it is created: read it once it stands still.
  std::this_thread::sleep_for(100ms);
  return ReadMessageBox(box);
}

void MendoraProcess::Answer(const MessageBoxSeen& box, int id) const {
  PressButton(box.hwnd, id);
  WaitUntil([&] { return !IsWindow(box.hwnd) || !IsWindowVisible(box.hwnd); }, 10s);
}

bool MendoraProcess::WaitForExit(Milliseconds timeout) const {
  return WaitForSingleObject(started_.process.get(), static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

std::optional<DWORD> MendoraProcess::ExitCodeWithin(Milliseconds timeout) const {
  DWORD code = STILL_ACTIVE;
  if (!WaitForExit(timeout) || !GetExitCodeProcess(started_.process.get(), &code)) return std::nullopt;
  return code;
}

}  // namespace window_test
