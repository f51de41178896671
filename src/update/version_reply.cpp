#include "update/version_reply.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>

#include "text/codepage.h"

namespace update {
namespace {

using nlohmann::json;

// The decimal text of a JSON number: integers as they are, an integral floating-point
// value without fraction or exponent while it is below 1e21, any other value in the
// shortest form that reads back as the same number.
std::string NumberText(const json& value) {
  if (value.is_number_integer() || value.is_number_unsigned()) return value.dump();
  const double d = value.get<double>();
  if (std::isinf(d)) return d < 0 ? "-Infinity" : "Infinity";
  if (d == 0) return "0";  // -0 too
  if (std::trunc(d) == d && std::fabs(d) < 1e21) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.0f", d);
    return buffer;
  }
  return value.dump();
}

std::expected<std::u16string, ReplyError> Text(const json& object, const char* name) {
  const auto it = object.find(name);
  if (it == object.end()) return std::unexpected(ReplyError::kMissing);
  if (it->is_string()) return text::FromUtf8(it->get_ref<const std::string&>());
  if (it->is_number()) return text::FromUtf8(NumberText(*it));
  return std::unexpected(ReplyError::kWrongKind);
}

}  // namespace

bool IsSafeSid(std::u16string_view sid) {
  if (sid.empty() || sid.size() > 64) return false;
  for (const char16_t c : sid) {
    const bool ok = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' ||
                    c == u'_';
    if (!ok) return false;
  }
  return true;
}

std::expected<VersionReply, ReplyError> DecodeVersionReply(std::u16string_view reply) {
  // Every UTF-16 unit takes at least one UTF-8 byte.
  if (reply.size() > kMaxReplyBytes) return std::unexpected(ReplyError::kTooLarge);
  const std::string utf8 = text::ToUtf8(reply);
  if (utf8.size() > kMaxReplyBytes) return std::unexpected(ReplyError::kTooLarge);

  const json root = json::parse(utf8, nullptr, /*allow_exceptions=*/false);
  if (root.is_discarded()) return std::unexpected(ReplyError::kNotJson);
  if (!root.is_object()) return std::unexpected(ReplyError::kNotObject);

  VersionReply out;
  auto result = Text(root, "result");
  if (!result) return std::unexpected(result.error());
  out.result = std::move(*result);

  const auto info = root.find("info");
  if (info == root.end()) return std::unexpected(ReplyError::kMissing);
  if (!info->is_object()) return std::unexpected(ReplyError::kNotObject);
  auto version = Text(*info, "version");
  if (!version) return std::unexpected(version.error());
  out.version = std::move(*version);
  out.sid = Text(*info, "sid");
  if (out.sid && !IsSafeSid(*out.sid)) out.sid = std::unexpected(ReplyError::kUnsafeSid);
  out.must = Text(*info, "must");
  return out;
}

}  // namespace update
