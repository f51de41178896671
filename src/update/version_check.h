#pragma once
// The one-time version check: the tick handler of the main window's Timer2.
//
// It posts "sn=tov" to the version endpoint, decodes the reply (version_reply.h) and
// then either shows nothing, shows the failure notice, or offers the update:
//
//   result "0", or no usable reply   "检测失败,请先使用当前版本"  (title "提示", style 64)
//   version other than "2.0.0"       "发现最新版本" VERSION "，是否现在更新?"  (style 68)
//     Yes                            start explorer.exe on the download page, end the program
//     No, must "0"                   go on
//     No, must anything else         end the program
//
// Going on means: FinishCheck of the window, then Timer2 off. A failed request (no
// request object, unreachable service, TLS failure, time-out) and a malformed reply
// take the failure path, so the repair button always becomes usable. A reply that
// names the built-in version is judged on "result" and "version" alone; one that
// offers an update is malformed without a usable "sid" and "must" (D4). Ending the
// program is the window's EndProgram; the check does nothing after calling it.
//
// The check runs once: a tick while it is under way (for example from a message box's
// loop) and every tick after it has ended do nothing.

#include <optional>
#include <string>
#include <string_view>

namespace update {

// The version endpoint and the download page base, fixed when the program is built
// (endpoints.cpp, linked from the endpoints library the program names).
extern const std::u16string_view kVersionEndpoint;
extern const std::u16string_view kDownloadPageBase;

inline constexpr std::u16string_view kBuiltInVersion = u"2.0.0";
inline constexpr std::u16string_view kSoftwareId = u"tov";

inline constexpr std::u16string_view kNoticeTitle = u"提示";
inline constexpr std::u16string_view kCheckFailedText = u"检测失败,请先使用当前版本";

// The platform services the check uses.
class CheckPlatform {
 public:
  virtual ~CheckPlatform() = default;
  // PostBody(url, data): the response text, or nothing when the request failed (no
  // request object, no connection, time-out). The body is escaped by the callee.
  virtual std::optional<std::u16string> Post(std::u16string_view url, std::u16string_view data) = 0;
  // A modal message box owned by the main window; returns the button pressed.
  virtual int Ask(std::u16string_view text, std::u16string_view title, int style) = 0;
  // Starts the Windows folder's explorer.exe with `commandLine` and the window state
  // `show` and does not wait for it. False when it could not be started.
  virtual bool Start(std::u16string_view commandLine, int show) = 0;
};

// The main window's part.
class CheckWindow {
 public:
  virtual ~CheckWindow() = default;
  // Hides Label2 and enables Command1(0).
  virtual void FinishCheck() = 0;
  // Switches Timer2 off.
  virtual void StopTimer() = 0;
  // Ends the program at once: no further event of the window runs, nothing is asked,
  // the process exits. Normally it does not return; if it does, the check does nothing
  // more.
  virtual void EndProgram() = 0;
};

class VersionCheck {
 public:
  enum class State { kArmed, kChecking, kDone, kEnded };

  VersionCheck(CheckPlatform& platform, CheckWindow& window) : platform_(platform), window_(window) {}
  VersionCheck(const VersionCheck&) = delete;
  VersionCheck& operator=(const VersionCheck&) = delete;

  // The tick of Timer2.
  void Tick();

  State state() const { return state_; }

  // "explorer.exe" with the download page for `sid`, quoted.
  static std::u16string DownloadCommandLine(std::u16string_view sid);
  static std::u16string OfferText(std::u16string_view version);

 private:
  enum class Outcome { kGoOn, kEnd };
  Outcome Run();
  Outcome Failed();

  CheckPlatform& platform_;
  CheckWindow& window_;
  State state_ = State::kArmed;
};

}  // namespace update
