// The keys a standard USB desk phone has beyond the library's handset: Redial, its backspace key,
// Flash and Mute. Flash and Mute go to the calling apps that have commands for them.
#include "shell/frmMailInterface.h"

namespace telvaro {

void TMainForm::HandleRedialKey() {}

void TMainForm::HandleBackspaceKey() {}

void TMainForm::HandleFlashKey() {
  if (CallingApp* app = RowApp()) app->Flash();
}

void TMainForm::HandleMuteKey() {
  if (CallingApp* app = RowApp()) app->Mute();
}

}  // namespace telvaro
