#include "repair/component_table.h"

#include <array>

namespace repair {
namespace {

constexpr std::array<ComponentEntry, 12> kSystem32{{
    {u"\\ocx\\image.ocx", u"C:\\WINDOWS\\System32/image.ocx", u"regsvr32 /s image.ocx"},
    {u"\\ocx\\gif.ocx", u"C:\\WINDOWS\\System32/gif.ocx", u"regsvr32 /s gif.ocx"},
    {u"\\ocx\\EFMTIcn.ocx", u"C:\\WINDOWS\\System32/EFMTIcn.ocx", u"regsvr32 /s EFMTIcn.ocx"},
    {u"\\ocx\\COMDLG32.OCX", u"C:\\WINDOWS\\System32/COMDLG32.OCX", u"regsvr32 /s COMDLG32.OCX"},
    {u"\\ocx\\MSCOMCTL.OCX", u"C:\\WINDOWS\\System32/MSCOMCTL.OCX", u"regsvr32 /s MSCOMCTL.OCX"},
    {u"\\ocx\\MSINET.OCX", u"C:\\WINDOWS\\System32/MSINET.OCX", u"regsvr32 /s MSINET.OCX"},
    {u"\\ocx\\TABCTL32.OCX", u"C:\\WINDOWS\\System32/TABCTL32.OCX", u"regsvr32 /s TABCTL32.OCX"},
    {u"\\ocx\\Tesvar.OCX", u"C:\\WINDOWS\\System32/Tesvar.OCX", u"regsvr32 /s Tesvar.OCX"},
    {u"\\ocx\\MSWINSCK.OCX", u"C:\\WINDOWS\\System32/MSWINSCK.ocx", u"regsvr32 /s MSWINSCK.ocx"},
    {u"\\ocx\\EFMTIcn.OCX", u"C:\\WINDOWS\\System32/EFMTIcn.ocx", u"regsvr32 /s EFMTIcn.ocx"},
    {u"\\ocx\\SkinH_VB6.dll", u"C:\\WINDOWS\\System32/SkinH_VB6.dll", std::nullopt},
    {u"\\ocx\\NSkin.dll", u"C:\\WINDOWS\\System32/NSkin.dll", std::nullopt},
}};

constexpr std::array<ComponentEntry, 12> kSysWOW64{{
    {u"\\ocx\\EFMTIcn.ocx", u"C:\\WINDOWS\\SysWOW64/EFMTIcn.ocx", u"regsvr32 /s EFMTIcn.ocx"},
    {u"\\ocx\\MSWINSCK.ocx", u"C:\\WINDOWS\\SysWOW64/MSWINSCK.ocx", u"regsvr32 /s MSWINSCK.ocx"},
    {u"\\ocx\\Tesvar.ocx", u"C:\\WINDOWS\\SysWOW64/Tesvar.OCX", u"regsvr32 /s Tesvar.OCX"},
    {u"\\ocx\\image.ocx", u"C:\\WINDOWS\\SysWOW64/image.ocx", u"regsvr32 /s image.ocx"},
    {u"\\ocx\\gif.ocx", u"C:\\WINDOWS\\SysWOW64/gif.ocx", u"regsvr32 /s gif.ocx"},
    {u"\\ocx\\EFMTIcn.ocx", u"C:\\WINDOWS\\SysWOW64/EFMTIcn.ocx", u"regsvr32 /s EFMTIcn.ocx"},
    {u"\\ocx\\COMDLG32.OCX", u"C:\\WINDOWS\\SysWOW64/COMDLG32.OCX", u"regsvr32 /s COMDLG32.OCX"},
    {u"\\ocx\\MSCOMCTL.OCX", u"C:\\WINDOWS\\SysWOW64/MSCOMCTL.OCX", u"regsvr32 /s MSCOMCTL.OCX"},
    {u"\\ocx\\MSINET.OCX", u"C:\\WINDOWS\\SysWOW64/MSINET.OCX", u"regsvr32 /s MSINET.OCX"},
    {u"\\ocx\\TABCTL32.OCX", u"C:\\WINDOWS\\SysWOW64/TABCTL32.OCX", u"regsvr32 /s TABCTL32.OCX"},
    {u"\\ocx\\SkinH_VB6.dll", u"C:\\WINDOWS\\SysWOW64/SkinH_VB6.dll", std::nullopt},
    {u"\\ocx\\NSkin.dll", u"C:\\WINDOWS\\SysWOW64/NSkin.dll", std::nullopt},
}};

}  // namespace

std::span<const ComponentEntry> ComponentTable(RepairTarget target) {
  return target == RepairTarget::System32 ? std::span<const ComponentEntry>(kSystem32)
                                          : std::span<const ComponentEntry>(kSysWOW64);
}

std::u16string_view TargetLabel(RepairTarget target) {
  return target == RepairTarget::System32 ? u"32位系统" : u"64位系统";
}

std::u16string_view TargetFolder(RepairTarget target) {
  return target == RepairTarget::System32 ? u"C:\\WINDOWS\\System32" : u"C:\\WINDOWS\\SysWOW64";
}

std::u16string_view SuccessMessage(RepairTarget target) {
  return target == RepairTarget::System32 ? u"32位系统修复成功!" : u"64位系统修复成功!";
}

}  // namespace repair
