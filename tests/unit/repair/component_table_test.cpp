#include "repair/component_table.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string_view>

namespace repair {
namespace {

struct Row {
  std::u16string_view source, destination;
  std::optional<std::u16string_view> command;
};

// The tables as the product documentation prints them.
constexpr std::array<Row, 12> kPrintedSystem32{{
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

constexpr std::array<Row, 12> kPrintedSysWOW64{{
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

void ExpectTable(RepairTarget target, const std::array<Row, 12>& printed) {
  const auto table = ComponentTable(target);
  ASSERT_EQ(table.size(), printed.size());
  for (std::size_t i = 0; i < printed.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i + 1);
    EXPECT_TRUE(table[i].Source == printed[i].source);
    EXPECT_TRUE(table[i].Destination == printed[i].destination);
    EXPECT_EQ(table[i].RegisterCommand.has_value(), printed[i].command.has_value());
    if (table[i].RegisterCommand && printed[i].command) {
      EXPECT_TRUE(*table[i].RegisterCommand == *printed[i].command);
    }
  }
}

TEST(ComponentTable, System32RowsAreThePrintedLiterals) { ExpectTable(RepairTarget::System32, kPrintedSystem32); }

TEST(ComponentTable, SysWOW64RowsAreThePrintedLiterals) { ExpectTable(RepairTarget::SysWOW64, kPrintedSysWOW64); }

TEST(ComponentTable, TargetTexts) {
  struct Case {
    RepairTarget target;
    std::u16string_view label, folder, success;
  };
  for (const Case& c : {Case{RepairTarget::System32, u"32位系统", u"C:\\WINDOWS\\System32", u"32位系统修复成功!"},
                        Case{RepairTarget::SysWOW64, u"64位系统", u"C:\\WINDOWS\\SysWOW64", u"64位系统修复成功!"}}) {
    EXPECT_TRUE(TargetLabel(c.target) == c.label);
    EXPECT_TRUE(TargetFolder(c.target) == c.folder);
    EXPECT_TRUE(SuccessMessage(c.target) == c.success);
    // Every Destination of the target lies in its folder, followed by a forward slash.
    for (const ComponentEntry& entry : ComponentTable(c.target))
      EXPECT_TRUE(entry.Destination.starts_with(std::u16string(c.folder) + u"/"));
  }
}

}  // namespace
}  // namespace repair
