#include "repair/repair_report.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace repair {
namespace {

using fileio::Error;

// Exit codes of regsvr32 are small numbers; a crash status is easier to look up in hex.
std::u16string ExitCodeText(std::uint32_t code) {
  char digits[16];
  const int n = code < 0x10000 ? std::snprintf(digits, sizeof digits, "%u", static_cast<unsigned>(code))
                               : std::snprintf(digits, sizeof digits, "0x%08X", static_cast<unsigned>(code));
  return std::u16string(digits, digits + n);
}

std::u16string ReasonText(const RowFailure& failure) {
  switch (failure.reason) {
    case FailureReason::kSourceMissing: return u"ocx文件夹中没有这个文件";
    case FailureReason::kSourceUnreadable: return u"无法读取ocx文件夹中的这个文件";
    case FailureReason::kNoRights: return u"没有写入系统文件夹的权限";
    case FailureReason::kReadOnly: return u"系统文件夹中的这个文件是只读文件";
    case FailureReason::kInUse: return u"文件正被运行中的程序使用";
    case FailureReason::kFolderMissing: return u"系统文件夹不存在";
    case FailureReason::kFolderInTheWay: return u"目标位置是一个同名的文件夹";
    case FailureReason::kDiskFull: return u"磁盘空间不足";
    case FailureReason::kCopyFailed: return u"无法写入系统文件夹";
    case FailureReason::kNotStarted: return u"无法启动注册程序regsvr32";
    case FailureReason::kExitCode: return u"注册程序返回错误代码 " + ExitCodeText(failure.exitCode);
    case FailureReason::kNotFinished: return u"注册程序在60秒内没有结束";
    case FailureReason::kNotScheduled: return u"无法安排重新启动后的注册";
    case FailureReason::kAtRestart: return u"文件正被运行中的程序使用，将在重新启动Windows后替换";
  }
  return u"";
}

bool Any(std::span<const RowFailure> failures, FailureReason reason) {
  return std::any_of(failures.begin(), failures.end(), [reason](const RowFailure& f) { return f.reason == reason; });
}

}  // namespace

bool IsRegistrationFailure(FailureReason reason) {
  return reason == FailureReason::kNotStarted || reason == FailureReason::kExitCode ||
         reason == FailureReason::kNotFinished || reason == FailureReason::kNotScheduled;
}

bool OnlyAwaitsRestart(std::span<const RowFailure> failures) {
  return std::all_of(failures.begin(), failures.end(),
                     [](const RowFailure& f) { return f.reason == FailureReason::kAtRestart; });
}

std::u16string SuccessReport(RepairTarget target, bool replacedInUse) {
  std::u16string text(SuccessMessage(target));
  if (replacedInUse) text += u"\r\n\r\n正在运行的程序仍使用原来的组件，重新启动这些程序后即使用修复后的组件。";
  return text;
}

FailureReason CopyFailureReason(const CopyFailure& failure) {
  if (failure.side == CopyFailure::Side::kSource) {
    switch (failure.error) {
      case Error::kNotFound:
      case Error::kPathNotFound:
      case Error::kIsDirectory: return FailureReason::kSourceMissing;
      default: return FailureReason::kSourceUnreadable;
    }
  }
  switch (failure.error) {
    case Error::kAccessDenied: return FailureReason::kNoRights;
    case Error::kReadOnly: return FailureReason::kReadOnly;
    case Error::kSharingViolation: return FailureReason::kInUse;
    case Error::kNotFound:
    case Error::kPathNotFound: return FailureReason::kFolderMissing;
    case Error::kIsDirectory: return FailureReason::kFolderInTheWay;
    case Error::kDiskFull: return FailureReason::kDiskFull;
    default: return FailureReason::kCopyFailed;
  }
}

std::u16string FailureReport(RepairTarget target, std::span<const RowFailure> failures) {
  std::u16string text;
  text += TargetLabel(target);
  text += u"（";
  text += TargetFolder(target);
  const bool onlyRestart = OnlyAwaitsRestart(failures);
  text += onlyRestart ? u"）修复需要重新启动Windows才能完成：\r\n" : u"）修复没有完成，以下文件出现问题：\r\n";

  std::vector<RowFailure> listed;
  for (const RowFailure& failure : failures) {
    if (std::find(listed.begin(), listed.end(), failure) != listed.end()) continue;
    listed.push_back(failure);
    text += u"\r\n";
    text += failure.file;
    text += failure.reason == FailureReason::kAtRestart ? u"："
            : IsRegistrationFailure(failure.reason)     ? u"：注册失败，"
                                                        : u"：复制失败，";
    text += ReasonText(failure);
  }

  text += u"\r\n";
  bool advised = false;
  if (Any(failures, FailureReason::kNoRights)) {
    text += u"\r\n请右键点击本工具，选择“以管理员身份运行”，然后重新修复。";
    advised = true;
  }
  if (Any(failures, FailureReason::kReadOnly)) {
    text += u"\r\n请取消这些文件的“只读”属性，然后重新修复。";
    advised = true;
  }
  if (Any(failures, FailureReason::kInUse)) {
    text += u"\r\n请关闭所有正在运行的Kestrova系列软件，然后重新修复。";
    advised = true;
  }
  if (Any(failures, FailureReason::kSourceMissing) || Any(failures, FailureReason::kSourceUnreadable)) {
    text += u"\r\n请确认本工具旁边的ocx文件夹完整，然后重新修复。";
    advised = true;
  }
  if (Any(failures, FailureReason::kAtRestart)) {
    text += u"\r\n请重新启动Windows以完成修复。";
    if (onlyRestart) advised = true;
  }
  if (!advised) text += u"\r\n请以管理员身份运行本工具，关闭所有Kestrova系列软件后重新修复。";
  return text;
}

}  // namespace repair
