#include "shell/DialDisplay.h"

#include "shell/TrayIcon.h"

namespace telvaro {

namespace {

bool Printable(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x20 && byte != 0x7F;
}

std::string Trimmed(std::string text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  text.erase(0, first);
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

// Contact names from Skype reach the dial buffer too, so the number is cleaned like a caller.
std::string NumberShown(const std::string& number) {
  std::string shown;
  for (char c : number) {
    if (Printable(c)) shown += c;
  }
  if (shown.size() <= kNumberMaxChars) return shown;
  return "..." + shown.substr(shown.size() - (kNumberMaxChars - 3));
}

const char* CallWord(CallShown call) {
  switch (call) {
    case CallShown::Ringing:
      return "Ringing";
    case CallShown::InCall:
      return "In call";
    case CallShown::Ended:
      return "Ended";
    case CallShown::None:
      break;
  }
  return "";
}

std::string OneLine(std::string line) {
  if (line.size() > kTrayTipSize - 1) line.resize(kTrayTipSize - 1);
  return line;
}

}  // namespace

std::string CleanCaller(std::string_view raw) {
  std::string clean;
  for (char c : raw) {
    if (Printable(c)) clean += c;
  }
  clean = Trimmed(std::move(clean));
  if (clean.size() > kCallerMaxChars) clean = Trimmed(clean.substr(0, kCallerMaxChars));
  return clean;
}

std::string DialDisplayText::Joined() const {
  std::string text;
  for (const std::string* line : {&number, &call, &status}) {
    if (line->empty()) continue;
    if (!text.empty()) text += "\r\n";
    text += *line;
  }
  return text;
}

DialDisplayText DialDisplayTextFor(const DialDisplayState& state) {
  DialDisplayText text;
  const std::string number = NumberShown(state.number);
  if (!number.empty()) text.number = state.appName + ": " + number;
  if (state.call != CallShown::None) {
    text.call = CallWord(state.call);
    if (!state.caller.empty()) text.call += ": " + state.caller;
  }
  text.status = state.status;
  // The tip tells the most pressing of the three; with nothing keyed and no call it stays what
  // the tray always said.
  if (!text.call.empty()) {
    text.tip = OneLine(text.call);
  } else if (!text.number.empty()) {
    text.tip = OneLine(text.number);
  } else {
    text.tip = TrayTip(state.status);
  }
  return text;
}

void TypedEcho::Key(std::int32_t appCode, char key) {
  if (appCode != appCode_) keys_.clear();
  appCode_ = appCode;
  keys_ += key;
}

}  // namespace telvaro
