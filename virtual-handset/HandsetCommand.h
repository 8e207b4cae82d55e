// The text commands that drive the virtual handset, kept free of <windows.h> so that the parsing is
// unit-tested on Linux. Commands are short ASCII words, lower case, separated by blanks:
//   plug | unplug | down N | up N | press N | hold N MS | buzzer | scanning | plugged
//   | sending | posting
// N is a handset key code 1..16, MS a hold time in milliseconds. Anything else is rejected whole.
// "sending" makes a device thread of the handset send each report without waiting for it to be
// handled, as a vendor's library may; "posting" (the start) posts them from the program's thread.
#pragma once

#include <array>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string_view>

namespace telvaro::virtual_handset {

enum class Verb {
  Plug,
  Unplug,
  Down,
  Up,
  Press,
  Hold,
  Buzzer,
  Scanning,
  Plugged,
  Sending,
  Posting
};

struct Command {
  Verb verb = Verb::Plug;
  int key = 0;     // handset key code, for the key verbs
  int holdMs = 0;  // for Hold
  friend bool operator==(const Command&, const Command&) = default;
};

inline constexpr int kMinKey = 1;
inline constexpr int kMaxKey = 16;
// A minute is far beyond any long press the program times; the bound keeps a typo from pinning
// a key down for hours.
inline constexpr int kMaxHoldMs = 60000;

struct VerbRule {
  std::string_view name;
  Verb verb;
  int arguments;
};

inline constexpr std::array<VerbRule, 11> kVerbs{{
    {"plug", Verb::Plug, 0},
    {"unplug", Verb::Unplug, 0},
    {"down", Verb::Down, 1},
    {"up", Verb::Up, 1},
    {"press", Verb::Press, 1},
    {"hold", Verb::Hold, 2},
    {"buzzer", Verb::Buzzer, 0},
    {"scanning", Verb::Scanning, 0},
    {"plugged", Verb::Plugged, 0},
    {"sending", Verb::Sending, 0},
    {"posting", Verb::Posting, 0},
}};

// The text carried by a WM_COPYDATA payload: its bytes up to the first NUL, never past size, so
// senders may count the terminator or not. No data is an empty text.
inline std::string_view PayloadText(const void* data, std::size_t size) {
  if (data == nullptr) return {};
  const char* text = static_cast<const char*>(data);
  const void* nul = std::memchr(data, '\0', size);
  return {text,
          nul == nullptr ? size : static_cast<std::size_t>(static_cast<const char*>(nul) - text)};
}

namespace detail {

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Decimal digits only: no sign, no blanks, no trailing garbage.
inline std::optional<int> ParseNumber(std::string_view word, int min, int max) {
  int value = 0;
  const char* end = word.data() + word.size();
  auto [stop, error] = std::from_chars(word.data(), end, value);
  if (word.empty() || word.front() == '-' || error != std::errc{} || stop != end) return {};
  if (value < min || value > max) return {};
  return value;
}

}  // namespace detail

inline std::optional<Command> ParseCommand(std::string_view text) {
  std::array<std::string_view, 3> words;
  std::size_t count = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (detail::IsBlank(text[pos])) {
      ++pos;
      continue;
    }
    std::size_t end = pos;
    while (end < text.size() && !detail::IsBlank(text[end])) ++end;
    if (count == words.size()) return {};
    words[count++] = text.substr(pos, end - pos);
    pos = end;
  }
  if (count == 0) return {};
  for (const VerbRule& rule : kVerbs) {
    if (rule.name != words[0]) continue;
    if (static_cast<int>(count) - 1 != rule.arguments) return {};
    Command command{rule.verb};
    if (rule.arguments >= 1) {
      auto key = detail::ParseNumber(words[1], kMinKey, kMaxKey);
      if (!key) return {};
      command.key = *key;
    }
    if (rule.arguments == 2) {
      auto holdMs = detail::ParseNumber(words[2], 0, kMaxHoldMs);
      if (!holdMs) return {};
      command.holdMs = *holdMs;
    }
    return command;
  }
  return {};
}

}  // namespace telvaro::virtual_handset
