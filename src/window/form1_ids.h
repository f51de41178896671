#pragma once
// Identifiers of Form1 that test drivers rely on. A driver in another process finds
// the window by its class and process, its controls with GetDlgItem (Frame1 and Label3
// on the window, the others on Frame1), and chooses a menu item by posting WM_COMMAND
// with the item's identifier: Wine does not let another process read a window's menu.
// These values are part of the tool's contract with its tests; change them only
// together with the drivers.

namespace window::ids {

inline constexpr const wchar_t* kForm1Class = L"KestrovaMendoraForm1";

// Controls (GetDlgCtrlID).
inline constexpr int kFrame1 = 101;
inline constexpr int kOption1_0 = 102;  // "32位系统"
inline constexpr int kOption1_1 = 103;  // "64位系统"
inline constexpr int kCommand1_0 = 104; // "一键修复"
inline constexpr int kLabel2 = 105;     // "正在检测最新版本"
inline constexpr int kLabel3 = 106;     // the copyright line

// Top-level menu items (WM_COMMAND, wParam = MAKEWPARAM(id, 0), lParam = 0).
inline constexpr int kMenuSm = 201;      // "软件说明"
inline constexpr int kMenuKsv = 202;     // "Kestrova官网"
inline constexpr int kMenuVimble = 203;  // "Ostrel公司官网"
inline constexpr int kMenuEndd = 204;    // "退出软件"

// Timer2 (SetTimer identifier).
inline constexpr unsigned kTimer2 = 2;

}  // namespace window::ids
