#pragma once
// The version service's answer and its decoding.
//
// The reply is parsed as strict JSON and never run as script. It must be a JSON object
// holding "result" and "info", with "info" an object holding "version". A number gives
// its decimal text (0 gives "0", 2.0 gives "2"), a string stays exactly as it is.
// Anything else is a malformed reply: more than 64 KiB of text, text that is not JSON,
// a value that is not an object, a missing "result", "info" or "version", or a Boolean,
// null, object or array in their place.
//
// "sid" and "must" matter only when an update is offered (D4): a reply that names the
// built-in version is judged on "result" and "version" alone. They are decoded all the
// same, each to its text or to the reason it is unusable (missing, of the wrong kind,
// and for "sid" one that could not safely complete the download page address: 1 to 64
// ASCII letters, digits, '-' or '_'); the check refuses the reply when it needs them.

#include <cstddef>
#include <expected>
#include <string>
#include <string_view>

namespace update {

enum class ReplyError {
  kTooLarge,    // more than kMaxReplyBytes
  kNotJson,     // empty, or not strict JSON
  kNotObject,   // the reply, or its "info", is not an object
  kMissing,     // a value is absent
  kWrongKind,   // a value is neither a number nor a string
  kUnsafeSid,   // "sid" is not 1 to 64 of [A-Za-z0-9_-]
};

struct VersionReply {
  std::u16string result;   // "0": the service reports that the check failed
  std::u16string version;  // the newest release
  // Only when an update is offered:
  std::expected<std::u16string, ReplyError> sid;   // completes the download page address
  std::expected<std::u16string, ReplyError> must;  // "0": optional; anything else: mandatory

  bool operator==(const VersionReply&) const = default;
};


// Largest reply accepted, in bytes of its UTF-8 form.
inline constexpr std::size_t kMaxReplyBytes = 64 * 1024;

std::expected<VersionReply, ReplyError> DecodeVersionReply(std::u16string_view reply);

// True for a sid that may go into a command line: 1 to 64 ASCII letters, digits, '-'
// or '_'.
bool IsSafeSid(std::u16string_view sid);

}  // namespace update
