// The version reply decoder on arbitrary text.
//
// Input: one mode byte, then the reply: UTF-8 bytes (mode bit 1 clear) or UTF-16LE units
// (set). In one input of 256 (fuzz_support::WantsPadding: a 64 KiB reply is a rare
// input), mode bit 2 pads the reply with spaces to exactly the largest size
// accepted, bit 4 to one byte more.
//
// Checked: nothing crashes; the answer does not depend on the padding below the limit,
// and a reply over the limit is refused; an accepted reply is a JSON object whose
// "result" and "info" "version" are strings (given back unchanged) or numbers (given
// back as decimal text that reads back as the same number); "sid" and "must", when
// usable, are such values too, and a usable "sid" is 1 to 64 ASCII letters, digits,
// '-' or '_'.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "fuzz_support.h"
#include "text/codepage.h"
#include "update/version_reply.h"

namespace {

using nlohmann::json;

bool SidCharacter(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'-' || c == u'_';
}

void CheckValue(const json& object, const char* name, const std::u16string& got, const std::string& reply) {
  FUZZ_CHECK(object.contains(name), std::string("accepted without ") + name + ": " + reply);
  const json& value = object.at(name);
  if (value.is_string()) {
    FUZZ_CHECK(got == text::FromUtf8(value.get<std::string>()), std::string("string changed: ") + name);
    return;
  }
  FUZZ_CHECK(value.is_number(), std::string("accepted a value that is no number or string: ") + name + ": " + reply);
  const std::string digits = text::ToUtf8(got);
  FUZZ_CHECK(!digits.empty(), std::string("empty number text: ") + name);
  if (digits == "Infinity" || digits == "-Infinity") {
    FUZZ_CHECK(std::isinf(value.get<double>()), "Infinity for a finite number: " + reply);
    return;
  }
  FUZZ_CHECK(digits.find_first_not_of("0123456789-+.eE") == std::string::npos, "number text is not decimal: " + digits);
  const json back = json::parse(digits, nullptr, false);
  FUZZ_CHECK(!back.is_discarded() && back.is_number(), "number text does not read back: " + digits);
  if (value.is_number_float() || back.is_number_float()) {
    FUZZ_CHECK(back.get<double>() == value.get<double>(), "number text changes the number: " + digits + " " + reply);
  } else {
    FUZZ_CHECK(back == value, "number text changes the number: " + digits + " " + reply);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz_support::Input input(data, size);
  const std::uint8_t mode = input.Byte();
  const std::string bytes = input.Rest();
  std::u16string reply;
  if (mode & 1) {
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
      reply += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
  } else {
    reply = text::FromUtf8(bytes);
  }
  const auto decoded = update::DecodeVersionReply(reply);
  const std::string utf8 = text::ToUtf8(reply);

  // Only an accepted reply has an answer that padding below the limit must keep.
  if (fuzz_support::WantsPadding(mode, 6, data, size) && (decoded || (mode & 4))) {
    const std::size_t length = utf8.size();
    if (length <= update::kMaxReplyBytes) {
      const std::size_t target = update::kMaxReplyBytes + ((mode & 4) ? 1 : 0);
      const std::u16string padded = reply + std::u16string(target - length, u' ');
      const auto again = update::DecodeVersionReply(padded);
      if (mode & 4) {
        FUZZ_CHECK(!again && again.error() == update::ReplyError::kTooLarge, "a reply over the limit was not refused");
      } else {
        // Blanks after a complete JSON text change nothing.
        if (decoded) FUZZ_CHECK(again && *again == *decoded, "padding below the limit changed an accepted reply");
      }
    }
  }

  if (!decoded) {
    if (decoded.error() == update::ReplyError::kTooLarge) FUZZ_CHECK(utf8.size() > update::kMaxReplyBytes, "refused as too large");
    return 0;
  }
  FUZZ_CHECK(utf8.size() <= update::kMaxReplyBytes, "accepted a reply over the limit");
  const json root = json::parse(utf8, nullptr, false);
  FUZZ_CHECK(!root.is_discarded() && root.is_object(), "accepted a reply that is no JSON object: " + utf8);
  FUZZ_CHECK(root.contains("info") && root.at("info").is_object(), "accepted a reply without an info object: " + utf8);
  const json& info = root.at("info");
  CheckValue(root, "result", decoded->result, utf8);
  CheckValue(info, "version", decoded->version, utf8);
  // "sid" and "must" come with their text or the reason they cannot be used.
  if (decoded->must) CheckValue(info, "must", *decoded->must, utf8);
  else if (decoded->must.error() == update::ReplyError::kMissing) FUZZ_CHECK(!info.contains("must"), "must present");
  if (decoded->sid) {
    CheckValue(info, "sid", *decoded->sid, utf8);
    FUZZ_CHECK(!decoded->sid->empty() && decoded->sid->size() <= 64, "sid length out of bounds");
    for (char16_t c : *decoded->sid) FUZZ_CHECK(SidCharacter(c), "sid character not allowed: " + utf8);
  } else if (decoded->sid.error() == update::ReplyError::kMissing) {
    FUZZ_CHECK(!info.contains("sid"), "sid present but reported missing: " + utf8);
  }
  return 0;
}
