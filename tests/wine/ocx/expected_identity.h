#pragma once
// The control's identity as its users know it, written out here on its own so that the
// tests compare the server with it rather than with the server's own constants.
#include <windows.h>

namespace expected {

// {617CB5E9-3906-461D-941B-27E5A3540B81}
inline constexpr GUID kLibraryId = {0x617CB5E9, 0x3906, 0x461D, {0x94, 0x1B, 0x27, 0xE5, 0xA3, 0x54, 0x0B, 0x81}};
// {01186666-2B0C-4C98-A0F2-CF76AB4B8DA6}
inline constexpr GUID kClassId = {0x01186666, 0x2B0C, 0x4C98, {0xA0, 0xF2, 0xCF, 0x76, 0xAB, 0x4B, 0x8D, 0xA6}};
// {894CCAE2-B6BF-4F1E-A062-9342F38CF148}
inline constexpr GUID kInterfaceId = {0x894CCAE2, 0xB6BF, 0x4F1E, {0xA0, 0x62, 0x93, 0x42, 0xF3, 0x8C, 0xF1, 0x48}};
// {8B7D53CC-22A0-4C10-B12F-2763BCE57AAF}
inline constexpr GUID kEventsId = {0x8B7D53CC, 0x22A0, 0x4C10, {0xB1, 0x2F, 0x27, 0x63, 0xBC, 0xE5, 0x7A, 0xAF}};

inline constexpr wchar_t kClassKey[] = L"CLSID\\{01186666-2B0C-4C98-A0F2-CF76AB4B8DA6}";
inline constexpr wchar_t kLibraryKey[] = L"TypeLib\\{617CB5E9-3906-461D-941B-27E5A3540B81}";
inline constexpr wchar_t kInterfaceKey[] = L"Interface\\{894CCAE2-B6BF-4F1E-A062-9342F38CF148}";
inline constexpr wchar_t kEventsKey[] = L"Interface\\{8B7D53CC-22A0-4C10-B12F-2763BCE57AAF}";
inline constexpr wchar_t kProgId[] = L"TesvarLib.Tesvar";
inline constexpr DWORD kMiscStatus = 0x20591;

}  // namespace expected
