#include "repair/repair_report.h"

#include <gtest/gtest.h>

#include <string>

#include "text/codepage.h"

namespace repair {
namespace {

using fileio::Error;
using Side = CopyFailure::Side;

TEST(CopyFailureReason, PlainReasons) {
  struct Case {
    Side side;
    Error error;
    FailureReason reason;
  };
  for (const Case& c : {Case{Side::kSource, Error::kNotFound, FailureReason::kSourceMissing},
                        Case{Side::kSource, Error::kPathNotFound, FailureReason::kSourceMissing},
                        Case{Side::kSource, Error::kIsDirectory, FailureReason::kSourceMissing},
                        Case{Side::kSource, Error::kAccessDenied, FailureReason::kSourceUnreadable},
                        Case{Side::kSource, Error::kSharingViolation, FailureReason::kSourceUnreadable},
                        Case{Side::kDestination, Error::kAccessDenied, FailureReason::kNoRights},
                        Case{Side::kDestination, Error::kReadOnly, FailureReason::kReadOnly},
                        Case{Side::kDestination, Error::kSharingViolation, FailureReason::kInUse},
                        Case{Side::kDestination, Error::kPathNotFound, FailureReason::kFolderMissing},
                        Case{Side::kDestination, Error::kIsDirectory, FailureReason::kFolderInTheWay},
                        Case{Side::kDestination, Error::kDiskFull, FailureReason::kDiskFull},
                        Case{Side::kDestination, Error::kOther, FailureReason::kCopyFailed}}) {
    EXPECT_EQ(CopyFailureReason({c.side, c.error}), c.reason)
        << static_cast<int>(c.side) << " " << static_cast<int>(c.error);
  }
}

TEST(FailureReport, EachReasonInPlainWords) {
  struct Case {
    FailureReason reason;
    std::uint32_t exitCode;
    const char* line;
    const char* advice;
  };
  const char* generic = "请以管理员身份运行本工具，关闭所有Kestrova系列软件后重新修复。";
  const Case cases[] = {
      {FailureReason::kSourceUnreadable, 0, "a.ocx：复制失败，无法读取ocx文件夹中的这个文件",
       "请确认本工具旁边的ocx文件夹完整，然后重新修复。"},
      {FailureReason::kReadOnly, 0, "a.ocx：复制失败，系统文件夹中的这个文件是只读文件",
       "请取消这些文件的“只读”属性，然后重新修复。"},
      {FailureReason::kFolderMissing, 0, "a.ocx：复制失败，系统文件夹不存在", generic},
      {FailureReason::kFolderInTheWay, 0, "a.ocx：复制失败，目标位置是一个同名的文件夹", generic},
      {FailureReason::kDiskFull, 0, "a.ocx：复制失败，磁盘空间不足", generic},
      {FailureReason::kCopyFailed, 0, "a.ocx：复制失败，无法写入系统文件夹", generic},
      {FailureReason::kExitCode, 3, "a.ocx：注册失败，注册程序返回错误代码 3", generic},
      {FailureReason::kExitCode, 0xC0000005, "a.ocx：注册失败，注册程序返回错误代码 0xC0000005", generic},
  };
  for (const Case& c : cases) {
    const RowFailure failures[] = {{u"a.ocx", c.reason, c.exitCode}};
    const std::string text = text::ToUtf8(FailureReport(RepairTarget::System32, failures));
    EXPECT_EQ(text, std::string("32位系统（C:\\WINDOWS\\System32）修复没有完成，以下文件出现问题：\r\n\r\n") + c.line +
                        "\r\n\r\n" + c.advice);
  }
}

}  // namespace
}  // namespace repair
