#include "settings/DataVerify.h"

#include <cstdint>
#include <limits>
#include <optional>

namespace telvaro {

namespace {

constexpr std::int64_t kMaxMagnitude = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;

// The digits from `pos` to the end, or nothing when there are none or any other character is
// among them. Accumulation stops just past the 32-bit range, so long texts cannot overflow.
std::optional<std::int64_t> Digits(const std::string& text, std::size_t pos, int base) {
  if (pos >= text.size()) return std::nullopt;
  std::int64_t value = 0;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return std::nullopt;
    value = value * base + digit;
    if (value > kMaxMagnitude) return std::nullopt;
  }
  return value;
}

// A hexadecimal text names a number, not a bit pattern: "$FFFFFFFF" is 4294967295, outside the
// 32-bit signed range like its decimal spelling, and so gives the default.
std::int32_t HexValue(const std::string& text, std::size_t pos, std::int32_t defaultValue) {
  const std::optional<std::int64_t> value = Digits(text, pos, 16);
  if (!value || *value > std::numeric_limits<std::int32_t>::max()) return defaultValue;
  return static_cast<std::int32_t>(*value);
}

}  // namespace

std::int32_t TMyDataVerify::StrToIntEx(const std::string& text, std::int32_t defaultValue) const {
  std::size_t pos = text.find_first_not_of(' ');
  if (pos == std::string::npos) return defaultValue;
  // The prefixes are exactly "$", "x" and "0x"; "X" and "0X" are characters like any other.
  if (text.compare(pos, 1, "$") == 0 || text.compare(pos, 1, "x") == 0) {
    return HexValue(text, pos + 1, defaultValue);
  }
  if (text.compare(pos, 2, "0x") == 0) return HexValue(text, pos + 2, defaultValue);
  bool negative = false;
  if (text[pos] == '+' || text[pos] == '-') {
    negative = text[pos] == '-';
    ++pos;
  }
  const std::optional<std::int64_t> magnitude = Digits(text, pos, 10);
  if (!magnitude) return defaultValue;
  const std::int64_t value = negative ? -*magnitude : *magnitude;
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    return defaultValue;
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace telvaro
