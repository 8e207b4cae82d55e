#pragma once

#include <cstdint>
#include <string>

namespace telvaro {

class TMyDataVerify {
 public:
  // Leading blanks, then an optional sign and decimal digits, or hexadecimal digits (unsigned)
  // after "$", "x" or "0x"; anything else, or a value outside the 32-bit signed range, gives
  // the default.
  std::int32_t StrToIntEx(const std::string& text, std::int32_t defaultValue) const;
};

}  // namespace telvaro
