#pragma once
// Who the control is: the identifiers and names that the type library, the class
// factory and the registration all use, and the dispatch identifiers of _Tesvar.
#include <windows.h>
#include <olectl.h>

namespace tesvar {

// {617CB5E9-3906-461D-941B-27E5A3540B81}
inline constexpr GUID kLibraryId = {0x617CB5E9, 0x3906, 0x461D, {0x94, 0x1B, 0x27, 0xE5, 0xA3, 0x54, 0x0B, 0x81}};
// {01186666-2B0C-4C98-A0F2-CF76AB4B8DA6}
inline constexpr GUID kClassId = {0x01186666, 0x2B0C, 0x4C98, {0xA0, 0xF2, 0xCF, 0x76, 0xAB, 0x4B, 0x8D, 0xA6}};
// {894CCAE2-B6BF-4F1E-A062-9342F38CF148}
inline constexpr GUID kInterfaceId = {0x894CCAE2, 0xB6BF, 0x4F1E, {0xA0, 0x62, 0x93, 0x42, 0xF3, 0x8C, 0xF1, 0x48}};
// {8B7D53CC-22A0-4C10-B12F-2763BCE57AAF}
inline constexpr GUID kEventsId = {0x8B7D53CC, 0x22A0, 0x4C10, {0xB1, 0x2F, 0x27, 0x63, 0xBC, 0xE5, 0x7A, 0xAF}};

inline constexpr wchar_t kLibraryName[] = L"TesvarLib";
inline constexpr wchar_t kClassName[] = L"Tesvar";
inline constexpr wchar_t kInterfaceName[] = L"_Tesvar";
inline constexpr wchar_t kEventsName[] = L"__Tesvar";
inline constexpr wchar_t kProgId[] = L"TesvarLib.Tesvar";
inline constexpr WORD kLibraryMajor = 1;
inline constexpr WORD kLibraryMinor = 0;

// Set client site first, invisible at run time, activate when visible, inside-out,
// cannot link inside, recompose on resize.
inline constexpr DWORD kMiscStatus = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INVISIBLEATRUNTIME |
                                     OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
                                     OLEMISC_RECOMPOSEONRESIZE;
static_assert(kMiscStatus == 0x20591);

// Resources of the module.
inline constexpr int kIconId = 1;
inline constexpr int kToolboxBitmapId = 30000;

// The control's fixed size: 510 twips a side, the size of its icon image.
inline constexpr int kSideTwips = 510;

namespace dispid {
inline constexpr DISPID kFileName = 0x40030000;
inline constexpr DISPID kLoadKey = 0x60030000;
inline constexpr DISPID kSavKey = 0x60030001;
inline constexpr DISPID kDirSection = 0x60030002;
inline constexpr DISPID kDirKey = 0x60030003;
inline constexpr DISPID kDelSection = 0x60030004;
inline constexpr DISPID kDelKey = 0x60030005;
inline constexpr DISPID kDelData = 0x60030006;
inline constexpr DISPID kNewFile = 0x60030007;
inline constexpr DISPID kReadme = 0x60030009;
}  // namespace dispid

}  // namespace tesvar
