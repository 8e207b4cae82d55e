#pragma once

#include <cstdint>
#include <string>

namespace telvaro {

class TMyDataVerify {
 public:
  // Leading blanks, then an optional sign and decimal digits, or hexadecimal digits after "$",
  // "x" or "0x"; anything else, or a value outside 32 bits, gives the default.
  std::int32_t StrToIntEx(const std::string& text, std::int32_t defaultValue) const;
};

}  // namespace telvaro
