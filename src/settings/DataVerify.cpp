#include "settings/DataVerify.h"

#include <cctype>
#include <cstdint>
#include <limits>
#include <optional>

namespace telvaro {

namespace {

std::optional<std::int64_t> Digits(const std::string& text, std::size_t pos, int base) {
  if (pos >= text.size()) return std::nullopt;
  std::int64_t value = 0;
  for (; pos < text.size(); ++pos) {
    const int c = std::tolower(static_cast<unsigned char>(text[pos]));
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) return std::nullopt;
    value = value * base + digit;
    if (value > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  }
  return value;
}

}  // namespace

std::int32_t TMyDataVerify::StrToIntEx(const std::string& text, std::int32_t defaultValue) const {
  std::size_t pos = text.find_first_not_of(' ');
  if (pos == std::string::npos) return defaultValue;
  bool negative = false;
  if (text[pos] == '+' || text[pos] == '-') {
    negative = text[pos] == '-';
    ++pos;
  }
  int base = 10;
  if (text.compare(pos, 1, "$") == 0 || text.compare(pos, 1, "x") == 0 ||
      text.compare(pos, 1, "X") == 0) {
    base = 16;
    pos += 1;
  } else if (text.compare(pos, 2, "0x") == 0 || text.compare(pos, 2, "0X") == 0) {
    base = 16;
    pos += 2;
  }
  const std::optional<std::int64_t> magnitude = Digits(text, pos, base);
  if (!magnitude) return defaultValue;
  std::int64_t value = negative ? -*magnitude : *magnitude;
  // Hexadecimal texts name a 32-bit pattern: $FFFFFFFF is -1.
  if (base == 16 && !negative && value > std::numeric_limits<std::int32_t>::max()) {
    value -= std::int64_t{1} << 32;
  }
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    return defaultValue;
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace telvaro
