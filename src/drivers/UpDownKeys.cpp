// The Up and Down keys: move through a contact list of the selected application. For several
// applications the Up key has a single function of its own and the Down key does nothing.
#include <array>
#include <string>

#include "drivers/CallKeyTables.h"
#include "drivers/KeySteps.h"
#include "shell/frmMailInterface.h"

namespace telvaro {

using namespace keydata;

namespace {

// Skype moves its own focus and reports the focused contact, which the call key then dials. It
// is only driven once it answered a ping and only while it is in front; the contact list lives on
// the first tab of its page control.
void BrowseSkype(KeyTools& t, const char* button) {
  TMainForm& form = t.form;
  if (!form.FSkypeSeen) return;
  form.FContactMode = true;
  if (t.found.SkypeMainWindow == 0) {
    t.api.EnumWindows(t.finders.Proc(&Finders::FindSkypeMainWindow));
  }
  const Hwnd skypeMain = t.found.SkypeMainWindow;
  if (t.api.GetForegroundWindow() != skypeMain) return;
  t.api.EnumChildWindows(skypeMain, t.finders.Proc(&Finders::FindSkypeControls));
  const Hwnd pages = t.found.SkypePageControl;
  LResult tab = 0;
  // A page control that did not answer may show another tab, where the button would act on
  // something else than the contact list: stop, as for every unanswered query. One never found
  // has nothing to say, and the button goes as it always did.
  if (pages != 0 && !t.techniques.Ask(pages, win::TCM_GETCURSEL, 0, 0, &tab)) return;
  if (tab != 0) PostClick(t.api, pages, kSkypeTabPoint, 0, 0);
  form.FSkype->ReleaseButton(button);
}

// The arrows move through the call dialog's contact list; without the dialog there is nothing to
// browse. The main window must run for the press to count at all.
void BrowseMsn(KeyTools& t, const MsnKeys& msn, std::uint8_t vk, bool contactMode) {
  if (t.techniques.LocateTarget(Lookup::ByTitle) == 0) return;
  if (contactMode) t.form.FContactMode = true;
  const Hwnd dialog = FindFirstWindow(t.api, msn.browseDialogs);
  if (dialog == 0) return;
  t.techniques.BringToFront(dialog);
  t.techniques.TapKey(vk);
}

// The next digit starts a new number instead of appending to the one the list put in the edit.
void BrowseVoip(KeyTools& t, const VoipApp& voip, std::uint8_t vk, bool withKeyUp) {
  const Hwnd main = LocateVoipWindow(t, voip);
  if (main == 0) return;
  t.techniques.ClickButtonByCaption(main, kVoipContacts, Delivery::Post);
  voip.clearEditPending = 1;
  t.api.EnumChildWindows(main, voip.controlsFinder);
  t.techniques.RestoreAndActivate(main);
  t.techniques.PostFocusAndKey(voip.fields.ContactList, vk, withKeyUp);
}

void UpFirefly(KeyTools& t) {
  const Hwnd main = t.techniques.LocateTarget(Lookup::ByClassAndTitle);
  if (main == 0) return;
  t.techniques.BringToFront(main);
  t.api.EnumChildWindows(main, t.finders.Proc(&Finders::FindFireflyMultiButton));
  t.techniques.ClickAt(t.found.FireflyMultiButton, kFireflyUpPoint.x, kFireflyUpPoint.y,
                       Delivery::Send);
}

// Up is ICQPhone's correction key: a Backspace in the number field.
void UpIcqPhone(KeyTools& t) {
  const Hwnd main = t.techniques.LocateTarget(Lookup::ByTitle);
  if (main == 0) return;
  t.techniques.RestoreAndActivate(main);
  t.api.EnumChildWindows(main, t.finders.Proc(&Finders::FindIcqPhoneEdit));
  const Hwnd edit = t.found.IcqPhoneEdit;
  LResult length = 0;
  if (!t.techniques.Ask(edit, win::WM_GETTEXTLENGTH, 0, 0, &length) || length == 0) return;
  t.techniques.SendKeyTriple(edit, win::VK_BACK, kBackspaceChar);
  std::array<char, kIcqTextMax + 1> buffer{};
  // A text that was never read is not an empty one: writing it back would erase the number.
  if (!t.techniques.Ask(edit, win::WM_GETTEXT, kIcqTextMax,
                        reinterpret_cast<LParam>(buffer.data()))) {
    return;
  }
  buffer.back() = '\0';
  const std::string text(buffer.data());
  if (!t.techniques.Ask(edit, win::WM_SETTEXT, 0, reinterpret_cast<LParam>(text.c_str()))) return;
  // Setting the text leaves the caret at the start; the next digit must append.
  t.techniques.AppendToEdit(edit);
}

}  // namespace

void TMainForm::HandleUpKey() {
  // No list to move through: Up takes back the last digit keyed.
  if (DialBuffer* buffer = RowDialBuffer()) {
    buffer->RemoveLastDigit();
    return;
  }
  KeyTools tools{*this, api_, techniques_, finders_, Found};
  switch (CurrentAppCode) {
    case app::Skype:
      BrowseSkype(tools, kSkypeUp);
      break;
    case app::Msn70:
    case app::Msn75:
      BrowseMsn(tools, MsnKeysFor(CurrentAppCode), win::VK_UP, false);
      break;
    case app::VoipBuster:
    case app::VoipStunt:
    case app::VoipCheap:
      BrowseVoip(tools, VoipFor(CurrentAppCode), win::VK_UP, true);
      break;
    case app::Firefly:
      UpFirefly(tools);
      break;
    case app::IcqPhone:
      UpIcqPhone(tools);
      break;
    default:  // one click on the main window, or nothing
      RunMainWindowStep(tools, kUpKeySteps, CurrentAppCode);
      break;
  }
}

void TMainForm::HandleDownKey() {
  // With nothing keyed, Down brings back the last number dialled for the call key.
  if (DialBuffer* buffer = RowDialBuffer()) {
    buffer->RecallLast();
    return;
  }
  KeyTools tools{*this, api_, techniques_, finders_, Found};
  switch (CurrentAppCode) {
    case app::Skype:
      BrowseSkype(tools, kSkypeDown);
      break;
    case app::Msn70:
    case app::Msn75:
      BrowseMsn(tools, MsnKeysFor(CurrentAppCode), win::VK_DOWN, true);
      break;
    case app::VoipBuster:
    case app::VoipStunt:
    case app::VoipCheap:
      BrowseVoip(tools, VoipFor(CurrentAppCode), win::VK_DOWN, false);
      break;
    default:  // nothing for the other applications
      break;
  }
}

}  // namespace telvaro
