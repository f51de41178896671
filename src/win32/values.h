#pragma once
// The Win32 values that the portable cores pass through their seams: message box
// styles and answers, and the show-window state of the processes they start.
// Portable: no <windows.h> here; message_box.cpp checks each against the platform's.

namespace win {

inline constexpr int kMbCritical = 0x10;          // MB_OK | MB_ICONHAND
inline constexpr int kMbInformation = 0x40;       // MB_OK | MB_ICONINFORMATION
inline constexpr int kMbYesNoInformation = 0x44;  // MB_YESNO | MB_ICONINFORMATION
inline constexpr int kIdYes = 6;                  // IDYES
inline constexpr int kShowMinimized = 2;          // SW_SHOWMINIMIZED

}  // namespace win
