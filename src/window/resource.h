#pragma once
// Resource identifiers of Mendora.exe (shared by mendora.rc and the code).
#define IDI_MENDORA 1         // the program's icon (six images)
#define IDC_HAND_POINTER 101  // 32 x 32 two-colour hand, hot spot at column 5, row 0
