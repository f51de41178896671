#pragma once
// Bytes as a quoted C-style literal, for failure messages: CR, LF, quotes and
// backslashes escaped, other control and non-ASCII bytes as \xHH.
#include <string>
#include <string_view>

namespace testing_support {

std::string Escaped(std::string_view bytes);

}  // namespace testing_support
