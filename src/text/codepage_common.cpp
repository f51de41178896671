#include "text/codepage.h"

namespace text {

std::size_t LengthWithoutDanglingLeadByte(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (IsLeadByte(static_cast<unsigned char>(bytes[i]))) {
      if (i + 1 == bytes.size()) return i;
      i += 2;
    } else {
      i += 1;
    }
  }
  return bytes.size();
}

}  // namespace text
