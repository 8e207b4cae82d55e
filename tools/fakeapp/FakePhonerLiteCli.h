// The command interpreter of the fake PhonerLite, portable so that the unit tests' fake socket
// and fakeapp's TCP server speak the same language. It keeps one call and runs the documented
// commands: SetNumber, HookOff (places the set number, or takes a ringing call), HookOn (ends or
// refuses), HoldOn/HoldOff, MicroOn/MicroOff, and one-line scripts of If/Else/EndIf and
// Print joined by " & ", testing HasCall and StateIsActive (",": or; "!": not).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace telvaro::fakeapp {

class FakePhonerLiteCli {
 public:
  enum class Call { None, Ringing, Calling, Active };

  // Runs one line as typed; returns what PhonerLite prints back (lines ending in "\r\n").
  std::string Run(std::string_view line) {
    std::string out;
    bool skipping = false;
    bool inIf = false;
    for (std::string_view statement : Split(line, " & ")) {
      statement = Trim(statement);
      const std::string_view word = statement.substr(0, statement.find(' '));
      const std::string_view rest =
          word.size() < statement.size() ? Trim(statement.substr(word.size())) : "";
      if (word == "If") {
        inIf = true;
        skipping = !Test(rest);
      } else if (word == "Else" && inIf) {
        skipping = !skipping;
      } else if (word == "EndIf") {
        inIf = skipping = false;
      } else if (!skipping) {
        out += Do(word, rest);
      }
    }
    return out;
  }

  // The far end: a call comes in, the called party answers, the caller gives up.
  void Ring(std::string caller) {
    call = Call::Ringing;
    number = std::move(caller);
  }
  void FarAnswers() {
    if (call == Call::Calling) call = Call::Active;
  }
  void FarHangsUp() { call = Call::None; }

  Call call = Call::None;
  std::string number;
  bool held = false;
  bool microOpen = true;

 private:
  std::string Do(std::string_view word, std::string_view rest) {
    if (word == "SetNumber") {
      number = std::string(rest);
    } else if (word == "HookOff") {
      if (call == Call::Ringing) call = Call::Active;
      if (call == Call::None && !number.empty()) call = Call::Calling;
    } else if (word == "HookOn") {
      call = Call::None;
      held = false;
    } else if (word == "HoldOn" || word == "HoldOff") {
      held = call != Call::None && word == "HoldOn";
    } else if (word == "MicroOn" || word == "MicroOff") {
      microOpen = word == "MicroOn";
    } else if (word == "Print") {
      return std::string(rest) + "\r\n";
    } else if (!word.empty()) {
      return "unknown command: " + std::string(word) + "\r\n";
    }
    return {};
  }

  bool Test(std::string_view conditions) const {
    for (std::string_view condition : Split(conditions, ",")) {
      condition = Trim(condition);
      const bool negated = !condition.empty() && condition.front() == '!';
      if (negated) condition.remove_prefix(1);
      bool value = false;
      if (condition == "HasCall") value = call != Call::None;
      // A held call counts as not active: the harder case for the ringer, which must not take
      // it for a new call.
      if (condition == "StateIsActive") value = call == Call::Active && !held;
      if (value != negated) return true;
    }
    return false;
  }

  static std::vector<std::string_view> Split(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> parts;
    for (std::size_t at = text.find(separator); at != std::string_view::npos;
         at = text.find(separator)) {
      parts.push_back(text.substr(0, at));
      text.remove_prefix(at + separator.size());
    }
    parts.push_back(text);
    return parts;
  }

  static std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
  }
};

}  // namespace telvaro::fakeapp
