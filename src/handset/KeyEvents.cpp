// Handset key messages, the dial buffer, the long press of the 0 key and the contact Skype reports.
#include <array>

#include "drivers/Finders.h"
#include "handset/KeyCodes.h"
#include "shell/frmMailInterface.h"

namespace telvaro {

namespace {

// The handset's key codes run down the keypad's columns; codes 13 to 16 are the function keys.
constexpr std::array<char, 12> kKeypadKeyForCode = {'1', '4', '7', '*', '2', '5',
                                                    '8', '0', '3', '6', '9', '#'};
constexpr const char* kContactFocused = "CONTACTS FOCUSED ";
constexpr int kContactFocusedLength = 17;

}  // namespace

void TMainForm::WMHandsetKeyDown(TMessage& message) {
  const WParam code = message.wParam;
  if (code >= kFirstKeypadKeyCode && code <= kLastKeypadKeyCode)
    return HandleKeypadKey(kKeypadKeyForCode[code - kFirstKeypadKeyCode]);
  switch (code) {
    case kCallKeyCode:
      return HandleCallKey();
    case kHangUpKeyCode:
      return HandleHangUpKey();
    case kUpKeyCode:
      return HandleUpKey();
    case kDownKeyCode:
      return HandleDownKey();
    case kRedialKeyCode:
      return HandleRedialKey();
    case kBackspaceKeyCode:
      return HandleBackspaceKey();
    case kFlashKeyCode:
      return HandleFlashKey();
    case kMuteKeyCode:
      return HandleMuteKey();
    default:
      return;  // not a key of this handset
  }
}

void TMainForm::WMHandsetKeyUp(TMessage& message) {
  // The rows with a buffer of their own have the 0 in it already: a short press leaves it there.
  if (RowDialBuffer() != nullptr && view_.TimerRunning(FormTimer::Timer2)) {
    return view_.StopTimer(FormTimer::Timer2);
  }
  if (CurrentAppCode != app::Skype || !view_.TimerRunning(FormTimer::Timer2)) return;
  view_.StopTimer(FormTimer::Timer2);
  // Another key released while 0 is held drops the 0 unsent; it stays in the buffers.
  if (message.wParam != static_cast<WParam>(kZeroKeyCode)) return;
  SendToSkype('0');
}

void TMainForm::AppendDialDigit(char key) {
  if (FContactMode) {
    FDialBuffer.clear();
    FDialCopy.clear();
    // The handset library may wait on this message; let it go on while we work.
    api_.ReplyMessage(1);
  }
  FContactMode = false;
  FDialBuffer += key;
  FDialCopy = FDialBuffer;
  if (CurrentAppCode != app::Skype) return;
  if (Found.SkypeMainWindow == 0) {
    api_.EnumWindows(finders_.Proc(&Finders::FindSkypeMainWindow));
    Found.SkypeMainWindow = api_.FindWindowA(FTargetClass.c_str(), nullptr);
  }
  if (api_.GetForegroundWindow() != Found.SkypeMainWindow) return;
  if (key == '0') {
    // Key-up or the timer decides between "0" and "+".
    FHeldKey = '0';
    view_.StartTimer(FormTimer::Timer2);
    return;
  }
  SendToSkype(key);
}

void TMainForm::SendToSkype(char c) {
  const std::string text(1, c);
  if (ActiveCallId != 0) FSkype->SetCallProperty(ActiveCallId, TSkypeCallProperty::Dtmf, text);
  FSkype->ReleaseButton(text);
}

void TMainForm::Timer2Timer() {
  view_.StopTimer(FormTimer::Timer2);
  if (DialBuffer* buffer = RowDialBuffer(); buffer != nullptr) {
    if (FHeldKey == '0') buffer->ZeroHeld();
    return;
  }
  if (CurrentAppCode != app::Skype || FHeldKey != '0') return;
  if (FDialBuffer == "0") {
    SendToSkype('+');
    FDialBuffer = "+";
    return;
  }
  SendToSkype('0');
}

void TMainForm::SkypeCopyData(const std::string& rawdata) {
  if (static_cast<int>(rawdata.size()) <= kContactFocusedLength ||
      CountOccurrences(rawdata, kContactFocused) <= 0 || !FContactMode) {
    return;
  }
  const std::string contact = TailFrom(rawdata, kContactFocusedLength + 1);
  if (contact.empty()) return;
  FDialBuffer = contact;
  FDialCopy = contact;
  view_.SetContactLabel(contact);
}

void TMainForm::BringSkypeForward() {
  techniques_.BringToFront(Found.SkypeMainWindow);
  FSkype->Ping();
  FSkype->FocusSkype();
}

}  // namespace telvaro
