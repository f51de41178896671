#pragma once
// The version service's answer and its decoding.
//
// The reply is parsed as strict JSON and never run as script. It must be a JSON object
// holding "result" and "info", with "info" an object holding "version", "sid" and
// "must"; all four values are read, whatever "result" says. A number gives its decimal
// text (0 gives "0", 2.0 gives "2"), a string stays exactly as it is. Anything else is
// a malformed reply: more than 64 KiB of text, text that is not JSON, a value that is
// not an object, a missing value, a Boolean, null, object or array where a value is
// read, and a "sid" that could not safely complete the download page address (1 to 64
// ASCII letters, digits, '-' or '_').

#include <cstddef>
#include <expected>
#include <string>
#include <string_view>

namespace update {

struct VersionReply {
  std::u16string result;   // "0": the service reports that the check failed
  std::u16string version;  // the newest release
  std::u16string sid;      // completes the download page address
  std::u16string must;     // "0": the update is optional; anything else: mandatory

  bool operator==(const VersionReply&) const = default;
};

enum class ReplyError {
  kTooLarge,    // more than kMaxReplyBytes
  kNotJson,     // empty, or not strict JSON
  kNotObject,   // the reply, or its "info", is not an object
  kMissing,     // one of the four values is absent
  kWrongKind,   // a value is neither a number nor a string
  kUnsafeSid,   // "sid" is not 1 to 64 of [A-Za-z0-9_-]
};

// Largest reply accepted, in bytes of its UTF-8 form.
inline constexpr std::size_t kMaxReplyBytes = 64 * 1024;

std::expected<VersionReply, ReplyError> DecodeVersionReply(std::u16string_view reply);

// True for a sid that may go into a command line: 1 to 64 ASCII letters, digits, '-'
// or '_'.
bool IsSafeSid(std::u16string_view sid);

}  // namespace update
