#include "win32/message_box.h"

#include <new>
#include <string>

#include "win32/values.h"
#include "win32/wide.h"

namespace win {

static_assert(kMbCritical == (MB_OK | MB_ICONHAND));
static_assert(kMbInformation == (MB_OK | MB_ICONINFORMATION));
static_assert(kMbYesNoInformation == (MB_YESNO | MB_ICONINFORMATION));
static_assert(kIdYes == IDYES);
static_assert(kShowMinimized == SW_SHOWMINIMIZED);

int ShowMessageBox(HWND owner, std::u16string_view text, std::u16string_view title, int style) noexcept try {
  // MessageBoxW wants both strings NUL-terminated.
  const std::u16string ownText(text), ownTitle(title);
  return MessageBoxW(owner, Wide(ownText), Wide(ownTitle), static_cast<UINT>(style));
} catch (const std::bad_alloc&) {
  return 0;
}

}  // namespace win
