#include "fuzz_support.h"

#include <algorithm>

namespace fuzz_support {

std::string Padded(std::string body, std::size_t at, std::size_t count, char fill) {
  if (count == 0) return body;
  body.insert(std::min(at, body.size()), count, fill);
  return body;
}

}  // namespace fuzz_support
