#include "profilectl/control_error.h"

namespace profilectl {

std::u16string ControlError::Description() const {
  switch (number) {
    case ErrorNumber::kInvalidCall: return u"无效的过程调用或参数";
    case ErrorNumber::kOverflow: return u"溢出";
    case ErrorNumber::kBadFileName: return u"文件名或文件号错误";
    case ErrorNumber::kFileNotFound: return u"文件未找到";
    case ErrorNumber::kFileAlreadyOpen: return u"文件已打开";
    case ErrorNumber::kPermissionDenied: return u"权限被拒绝";
    case ErrorNumber::kPathFileAccess: return u"路径/文件访问错误";
    case ErrorNumber::kPathNotFound: return u"路径未找到";
  }
  return u"未知错误";
}

ControlError FromFileError(fileio::Error error) {
  switch (error) {
    case fileio::Error::kNotFound: return {ErrorNumber::kFileNotFound};
    case fileio::Error::kPathNotFound: return {ErrorNumber::kPathNotFound};
    case fileio::Error::kAccessDenied:
    case fileio::Error::kReadOnly:
    case fileio::Error::kSharingViolation: return {ErrorNumber::kPermissionDenied};
    case fileio::Error::kBadName: return {ErrorNumber::kBadFileName};
    case fileio::Error::kIsDirectory:
    case fileio::Error::kDiskFull:
    case fileio::Error::kOther: return {ErrorNumber::kPathFileAccess};
  }
  return {ErrorNumber::kPathFileAccess};
}

}  // namespace profilectl
