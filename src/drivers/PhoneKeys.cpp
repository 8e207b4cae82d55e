// The keys a standard USB desk phone has beyond the library's handset: Redial, its backspace key,
// Flash and Mute. None of the applications of the table has a command for them yet.
#include "shell/frmMailInterface.h"

namespace telvaro {

void TMainForm::HandleRedialKey() {}

void TMainForm::HandleBackspaceKey() {}

void TMainForm::HandleFlashKey() {}

void TMainForm::HandleMuteKey() {}

}  // namespace telvaro
