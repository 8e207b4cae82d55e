// Handset key messages, the dial buffer, the long press of the 0 key and the contact Skype reports.
#include <array>
#include <cstddef>
#include <functional>

#include "drivers/Finders.h"
#include "handset/HidUsageMap.h"
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

// The handset library may send its key messages from a thread of its own, and then every wait of
// ours that serves sent messages (activating a window, a send to a busy program) would run the
// next key's handler inside this one: "1 2" would reach the softphone as "21". So a key message
// that comes while a key is being handled is answered at once, so that the library goes on, and
// handled when that key is done. Key-ups keep their place among the keys: the long press of the 0
// key is told from the order of its release and the other keys.
void TMainForm::HandsetKeyMessage(TMessage& message) {
  if (handlingKey_) {
    message.Result = 1;
    api_.ReplyMessage(1);
    // Far more keys than a hand can press while one key is handled: a device gone wild.
    constexpr std::size_t kMostPendingKeys = 256;
    if (pendingKeys_.size() < kMostPendingKeys) pendingKeys_.push_back(message);
    return;
  }
  RunKeyWork([this, &message] { HandleOneKeyMessage(message); });
}

// One key message, then the dial display shows what it changed.
void TMainForm::HandleOneKeyMessage(TMessage& message) {
  if (message.Msg == WM_HANDSET_KEYDOWN) {
    WMHandsetKeyDown(message);
    return AfterKeyDown(message.wParam);
  }
  WMHandsetKeyUp(message);
  RefreshDialDisplay();
}

// Runs one key's work, then the keys that came meanwhile, in order.
void TMainForm::RunKeyWork(const std::function<void()>& work) {
  if (handlingKey_) return work();
  handlingKey_ = true;
  struct Done {
    bool& handling;
    ~Done() { handling = false; }
  } done{handlingKey_};
  work();
  while (!pendingKeys_.empty() && !shutDown_) {
    TMessage next = pendingKeys_.front();
    pendingKeys_.pop_front();
    HandleOneKeyMessage(next);
  }
}

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
    case kVolumeUpKeyCode:  // Up and Down only where they browse a list (Skype, MSN, Voip)
      return VolumeKeysBrowse(CurrentAppCode) ? HandleUpKey() : void();
    case kVolumeDownKeyCode:
      return VolumeKeysBrowse(CurrentAppCode) ? HandleDownKey() : void();
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

// The long press of the 0 key is the last part of that key's handling.
void TMainForm::Timer2Timer() {
  RunKeyWork([this] { HeldZeroKeyTimer(); });
}

void TMainForm::HeldZeroKeyTimer() {
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
