// The keys a standard USB desk phone has beyond the library's handset: Redial, its backspace key,
// Flash and Mute. They act where TELVARO holds the number (the calling apps, Skype's dial copy)
// or where the app documents a command for them; elsewhere they do nothing.
#include "shell/frmMailInterface.h"

namespace telvaro {

// Dials the last number again; never answers or ends a call by accident.
void TMainForm::HandleRedialKey() {
  if (CallingApp* calling = RowApp()) {
    DialBuffer& buffer = *RowDialBuffer();
    if (calling->State() != CallState::Idle || buffer.Last().empty()) return;
    buffer.Set(buffer.Last());
    return CallingAppCallKey(*calling, buffer);
  }
  // Skype's call key dials its dial copy when nothing new was keyed.
  if (CurrentAppCode == app::Skype && ActiveCallId == 0 && RingingCallId == 0 &&
      !FDialCopy.empty()) {
    HandleCallKey();
  }
}

// The last digit of a number TELVARO holds goes; with nothing dialled a ringing call is turned
// down, the hang-up key's road.
void TMainForm::HandleBackspaceKey() {
  if (CallingApp* calling = RowApp()) {
    if (RowDialBuffer()->RemoveLastDigit()) return;
    if (calling->State() == CallState::Ringing) HandleHangUpKey();
    return;
  }
  if (CurrentAppCode == app::Skype && RingingCallId != 0 && FDialBuffer.empty()) {
    HandleHangUpKey();
  }
}

void TMainForm::HandleFlashKey() {
  if (CallingApp* calling = RowApp()) calling->Flash();
}

void TMainForm::HandleMuteKey() {
  if (CallingApp* calling = RowApp()) calling->Mute();
}

}  // namespace telvaro
