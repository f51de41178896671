#include "win32/window_class.h"

#include "win32/raii.h"

namespace win {

HRESULT RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure) noexcept {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  if (GetClassInfoExW(instance, name, &windowClass)) return S_OK;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = name;
  RETURN_LAST_ERROR_IF(!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS);
  return S_OK;
}

}  // namespace win
