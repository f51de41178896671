#include "update/version_check.h"

#include "update/version_reply.h"
#include "win32/values.h"

namespace update {

std::u16string VersionCheck::DownloadCommandLine(std::u16string_view sid) {
  std::u16string line = u"explorer.exe \"";
  line += kDownloadPageBase;
  line += sid;
  line += u'"';
  return line;
}

std::u16string VersionCheck::OfferText(std::u16string_view version) {
  std::u16string offer = u"发现最新版本";
  offer += version;
  offer += u"，是否现在更新?";
  return offer;
}

void VersionCheck::Tick() {
  if (state_ != State::kArmed) return;
  state_ = State::kChecking;
  if (Run() == Outcome::kEnd) {
    state_ = State::kEnded;
    window_.EndProgram();
    return;
  }
  window_.FinishCheck();
  window_.StopTimer();
  state_ = State::kDone;
}

VersionCheck::Outcome VersionCheck::Failed() {
  platform_.Ask(kCheckFailedText, kNoticeTitle, win::kMbInformation);
  return Outcome::kGoOn;
}

VersionCheck::Outcome VersionCheck::Run() {
  std::u16string body = u"sn=";
  body += kSoftwareId;
  const auto text = platform_.Post(kVersionEndpoint, body);
  if (!text) return Failed();
  const auto reply = DecodeVersionReply(*text);
  if (!reply || reply->result == u"0") return Failed();
  if (reply->version == kBuiltInVersion) return Outcome::kGoOn;
  // An update is offered: now the reply must say where to get it and whether it may be
  // declined (D4: a sid unfit for the command line makes the reply malformed).
  if (!reply->sid || !reply->must) return Failed();

  if (platform_.Ask(OfferText(reply->version), kNoticeTitle, win::kMbYesNoInformation) == win::kIdYes) {
    // Without the download page the user would be left with neither the update nor
    // the tool: a page that cannot be opened counts as a failed check.
    if (!platform_.Start(DownloadCommandLine(*reply->sid), win::kShowMinimized)) return Failed();
    return Outcome::kEnd;
  }
  return *reply->must == u"0" ? Outcome::kGoOn : Outcome::kEnd;
}

}  // namespace update
