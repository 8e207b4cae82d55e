// What the dial display and the tray tooltip say: the number as it is keyed, the call with its
// caller, and the last status line. Portable and unit-tested; the Win32 popup only draws the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace telvaro {

enum class CallShown { None, Ringing, InCall, Ended };

// A caller's name is outside input (a peer chooses it): shown at most this long.
inline constexpr std::size_t kCallerMaxChars = 64;
// The keyed number's room on the display; the newest keys are the ones kept in view.
inline constexpr std::size_t kNumberMaxChars = 40;

// Printable bytes only (control characters and NULs dropped), blanks at the ends trimmed, at most
// kCallerMaxChars. Never interpreted: markup stays the text it is.
std::string CleanCaller(std::string_view raw);

struct DialDisplayState {
  std::string appName;  // the selected row's display name
  std::string number;   // what is keyed for the selected row
  CallShown call = CallShown::None;
  std::string caller;  // cleaned; empty when not known
  std::string status;  // the status line
};

struct DialDisplayText {
  std::string number;  // "MicroSIP: 5550100", or empty
  std::string call;    // "Ringing: Alice", "In call", "Ended: Alice", or empty
  std::string status;
  std::string tip;  // the tray icon's tooltip
  bool operator==(const DialDisplayText&) const = default;
  // The lines that say something, one below the other: the popup's text and accessible name.
  std::string Joined() const;
};

DialDisplayText DialDisplayTextFor(const DialDisplayState& state);

// The keys typed into applications that keep no number of their own in TELVARO: echoed for the
// display only, forgotten at the call and hang-up keys and when another row is chosen.
class TypedEcho {
 public:
  void Key(std::int32_t appCode, char key);
  void Clear() { keys_.clear(); }
  std::string For(std::int32_t appCode) const { return appCode == appCode_ ? keys_ : ""; }

 private:
  std::int32_t appCode_ = 0;
  std::string keys_;
};

// Who calls on the Skype call asked about: the partner's display name, else the handle.
struct SkypeCaller {
  std::int32_t callId = 0;  // 0: nobody asked about
  std::string name;
  std::string handle;
  std::string Best() const { return name.empty() ? handle : name; }
};

}  // namespace telvaro
