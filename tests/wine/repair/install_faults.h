#pragma once
// The platform's own install calls of the copy, with faults on request: the rights to
// schedule anything for the restart missing, or the move into place failing once the
// destination in use has been renamed aside. Every other call is the real one.
#include <vector>

#include "repair/file_copy.h"

namespace repair {

class FaultyInstallCalls final : public InstallCalls {
 public:
  bool refuseSchedules = false;      // as without administrator rights
  bool failMoveAfterRename = false;  // the move into place fails after the rename aside

  bool Exists(const fileio::Path& path) override { return real_.Exists(path); }
  fileio::Status Rename(const fileio::Path& from, const fileio::Path& to) override {
    renamedFrom_ = from;
    return real_.Rename(from, to);
  }
  // Fails the move into the name that was just renamed away.
  fileio::Status MoveOver(const fileio::Path& from, const fileio::Path& to) override {
    if (failMoveAfterRename && to == renamedFrom_) {
      renamedFrom_.clear();
      return std::unexpected(fileio::Error::kOther);
    }
    return real_.MoveOver(from, to);
  }
  fileio::Status Delete(const fileio::Path& path) override { return real_.Delete(path); }
  fileio::Status DeleteAtRestart(const fileio::Path& path) override {
    if (refuseSchedules) return std::unexpected(fileio::Error::kAccessDenied);
    return real_.DeleteAtRestart(path);
  }
  fileio::Status ReplaceAtRestart(const fileio::Path& from, const fileio::Path& to) override {
    if (refuseSchedules) return std::unexpected(fileio::Error::kAccessDenied);
    return real_.ReplaceAtRestart(from, to);
  }
  std::vector<fileio::Path> AsideFiles(const fileio::Path& destination) override {
    return real_.AsideFiles(destination);
  }
  unsigned long ProcessId() override { return real_.ProcessId(); }

 private:
  InstallCalls& real_ = SystemInstallCalls();
  fileio::Path renamedFrom_;
};

}  // namespace repair
