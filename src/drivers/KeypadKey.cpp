// The twelve keypad keys (digits, star, hash) for every supported application.
#include "drivers/KeypadTables.h"
#include "shell/frmMailInterface.h"

namespace telvaro {

namespace {

constexpr std::uint8_t kVkAdd = win::VK_ADD;
constexpr std::uint8_t kVkThree = 0x33;  // the key that, shifted, types '#'

// Key 2 looks the main window up by title alone, so it also reaches a window of that title whose
// class differs; the other keys insist on the class too.
Lookup MainWindowLookup(char key) { return key == '2' ? Lookup::ByTitle : Lookup::ByClassAndTitle; }

// X-Lite and the X-PRO family: keystroke messages sent to the main window.
void XLiteFamilyKey(Techniques& t, std::int32_t appCode, const KeypadKeyData& k) {
  if (k.key != '#') {
    const Hwnd main = t.LocateTarget(MainWindowLookup(k.key));
    if (main == 0) return;
    t.ActivateWindow(main);
    t.SendKeyTriple(main, k.vk, k.key);
    return;
  }
  const Hwnd main = t.LocateTarget(Lookup::ByClassAndTitle);
  if (main == 0) return;
  t.ActivateWindow(main);
  // X-Lite's hash goes through a click on its own dial-pad button rather than a keystroke.
  if (appCode == app::XLite) {
    t.ClickAt(main, kXLiteHashPoint.x, kXLiteHashPoint.y, Delivery::Send);
  } else {
    t.SendShiftedHash(main);
  }
}

// Firefly takes its digits from key-down/key-up alone (no WM_CHAR); star and hash are typed.
void FireflyKey(Techniques& t, const KeypadKeyData& k) {
  const bool digit = k.key != '*' && k.key != '#';
  const Hwnd main = t.LocateTarget(digit ? MainWindowLookup(k.key) : Lookup::ByClassAndTitle);
  if (main == 0) return;
  t.ActivateWindow(main);
  if (digit) {
    t.SendKeyPair(main, k.vk);
  } else {
    t.TapKeyWithModifier(win::VK_SHIFT, k.key == '*' ? kVkAdd : kVkThree);
  }
}

// eyeBeam's keystrokes are posted, not sent, so a busy eyeBeam cannot stall the handset keys.
void EyeBeamKey(Techniques& t, const KeypadKeyData& k) {
  const bool hash = k.key == '#';
  const Hwnd main = t.LocateTarget(hash ? Lookup::ByClassAndTitle : MainWindowLookup(k.key));
  if (main == 0) return;
  t.RestoreAndActivate(main);
  if (hash) {
    t.TapKeyWithModifier(win::VK_SHIFT, kVkThree);
  } else {
    t.PostKeyTriple(main, k.vk, k.key);
  }
}

void CaptionKey(Techniques& t, const char* caption) {
  const Hwnd main = t.LocateTarget(Lookup::ByTitle);
  if (main == 0) return;
  t.ActivateWindow(main);
  t.ClickButtonByCaption(main, caption, Delivery::Send);
}

// Net2Phone: the keys go into its number edit, always at the end of what is there.
void Net2PhoneKey(Techniques& t, WindowsApi& api, Finders& finders, const FoundWindows& found,
                  const KeypadKeyData& k) {
  const Hwnd main = t.LocateTarget(Lookup::ByTitle);
  if (main == 0) return;
  t.RestoreAndActivate(main);
  api.EnumChildWindows(main, finders.Proc(&Finders::FindNet2PhoneControls));
  const Hwnd edit = found.Net2PhoneEdit;
  if (!t.AppendToEdit(edit)) return;
  if (k.key == '#') {
    t.SendShiftedHash(edit);
  } else {
    t.SendKeyTriple(edit, k.vk, k.key);
  }
}

void MediaRingKey(Techniques& t, const KeypadKeyData& k) {
  const Hwnd main = t.LocateTarget(Lookup::ByTitle);
  if (main == 0) return;
  t.RestoreAndActivate(main);
  t.ClickAt(main, k.mediaRing.x, k.mediaRing.y, Delivery::Post);
}

// On PCPhone the star key erases the last digit (Backspace); hash is not used at all.
void PCPhoneKey(Techniques& t, const KeypadKeyData& k) {
  if (k.key == '#') return;
  const Hwnd main = t.LocateTarget(Lookup::ByTitle);
  if (main == 0) return;
  t.ActivateWindow(main);
  t.TapKey(k.key == '*' ? win::VK_BACK : k.vk);
}

// VoipBuster, VoipStunt, VoipCheap. Star erases (Backspace) and so leaves a pending clear of the
// number edit for the next digit or hash.
void VoipKey(Techniques& t, const VoipApp& voip, const KeypadKeyData& k) {
  const bool star = k.key == '*';
  // Keys 1 and 0 post the "Contacts" click; the others send it.
  const Delivery contactsClick = k.key == '1' || k.key == '0' ? Delivery::Post : Delivery::Send;
  if (!t.PrepareVoipWindow(voip, contactsClick, !star)) return;
  if (star) {
    t.TapKey(win::VK_BACK);
  } else if (k.key == '#') {
    t.TapKeyWithModifier(win::VK_SHIFT, kVkThree);
  } else {
    t.PostKeyTriple(voip.fields.Window, k.vk, k.key);
  }
}

}  // namespace

void TMainForm::HandleKeypadKey(char key) {
  const KeypadKeyData* data = FindKeypadKey(key);
  if (data == nullptr) return;
  const KeypadKeyData& k = *data;
  if (CallingApp* calling = RowApp()) return CallingAppKeypadKey(*calling, *RowDialBuffer(), key);
  switch (CurrentAppCode) {
    case app::Skype:
      if (key == '*') {
        SkypeStarKey();
      } else {
        AppendDialDigit(key);
      }
      return;
    case app::XLite:
    case app::XLiteXLook:
    case app::XPro:
    case app::XProVonage:
    case app::XProEngin:
      return XLiteFamilyKey(techniques_, CurrentAppCode, k);
    case app::Firefly:
      return FireflyKey(techniques_, k);
    case app::EyeBeam:
      return EyeBeamKey(techniques_, k);
    case app::SJphone:
      return CaptionKey(techniques_, k.sjphoneCaption);
    case app::IcqPhone:
      return CaptionKey(techniques_, k.icqPhoneCaption);
    case app::Net2PhoneDialer:
    case app::Net2PhoneCommCenter:
      return Net2PhoneKey(techniques_, api_, finders_, Found, k);
    case app::MediaRing:
      return MediaRingKey(techniques_, k);
    case app::YahooCallCenter:
      return techniques_.ClickKeypadChild(finders_.Proc(&Finders::FindYahooToolbars),
                                          Found.YahooKeypad, k.yahoo.x, k.yahoo.y);
    case app::AimPhone:
      return techniques_.ClickKeypadChild(finders_.Proc(&Finders::FindAimKeypad), Found.AimKeypad,
                                          k.aim.x, k.aim.y);
    case app::PCPhone:
      return PCPhoneKey(techniques_, k);
    case app::VoipBuster:
    case app::VoipStunt:
    case app::VoipCheap:
      return VoipKey(techniques_, VoipFor(CurrentAppCode), k);
    default:
      return;  // MSN Messenger has no dial pad: the keys do nothing there.
  }
}

// Star on Skype: during a call it is a tone; otherwise, with Skype in front, it clears what was
// dialled ("NO") or, with nothing dialled, brings up Skype's own dial page ("SKYPE").
void TMainForm::SkypeStarKey() {
  if (FCallPending) {
    AppendDialDigit('*');
    return;
  }
  if (Found.SkypeMainWindow == 0) {
    api_.EnumWindows(finders_.Proc(&Finders::FindSkypeMainWindow));
    return;
  }
  if (api_.GetForegroundWindow() != Found.SkypeMainWindow || FSkype == nullptr) return;
  if (!FDialBuffer.empty()) {
    FDialBuffer.clear();
    FSkype->ReleaseButton("NO");
  } else {
    FSkype->ReleaseButton("SKYPE");
  }
}

}  // namespace telvaro
