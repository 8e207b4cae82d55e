#include "shell/TrayIcon.h"

namespace telvaro {

std::string TrayTip(const std::string& statusLine) {
  std::string tip = "TELVARO";
  if (!statusLine.empty()) tip += "\n" + statusLine;
  if (tip.size() > kTrayTipSize - 1) tip.resize(kTrayTipSize - 1);
  return tip;
}

void TrayIcon::Show() {
  wanted_ = true;
  if (!shown_) TryAdd();
}

void TrayIcon::Hide() {
  wanted_ = false;
  if (retrying_) {
    shell_.StopRetryTimer();
    retrying_ = false;
  }
  if (!shown_) return;
  shell_.Delete();
  shown_ = false;
}

void TrayIcon::SetImage(int image) {
  content_.image = image == 1 ? 1 : 0;
  Update();
}

void TrayIcon::SetStatus(const std::string& statusLine) {
  content_.tip = TrayTip(statusLine);
  Update();
}

void TrayIcon::SetTip(const std::string& tip) {
  content_.tip = tip.substr(0, kTrayTipSize - 1);
  Update();
}

void TrayIcon::ImagesChanged() { Update(true); }

void TrayIcon::OnRetryTimer() {
  if (wanted_ && !shown_) {
    TryAdd();
    return;
  }
  // A stray tick after the icon came or went.
  if (retrying_) {
    shell_.StopRetryTimer();
    retrying_ = false;
  }
}

void TrayIcon::OnTaskbarCreated() {
  shown_ = false;
  if (wanted_) TryAdd();
}

bool TrayIcon::WantsMenu(unsigned event) const {
  if (menuOpen_) return false;
  if (version4_) {
    return event == tray::kSelect || event == tray::kKeySelect || event == tray::kContextMenu;
  }
  return event == tray::kLButtonUp || event == tray::kRButtonUp;
}

void TrayIcon::MenuClosed(bool dismissedWithEscape) {
  menuOpen_ = false;
  if (dismissedWithEscape && shown_) shell_.SetFocus();
}

void TrayIcon::TryAdd() {
  // An add that timed out while Explorer was busy may have added the icon all the same; a second
  // add then fails forever, but a modify succeeds.
  if (shell_.Add(content_) || shell_.Modify(content_)) {
    shown_ = true;
    sent_ = content_;
    version4_ = shell_.SetVersion4();
    if (retrying_) {
      shell_.StopRetryTimer();
      retrying_ = false;
    }
    return;
  }
  if (!retrying_) {
    shell_.StartRetryTimer();
    retrying_ = true;
  }
}

void TrayIcon::Update(bool force) {
  if (!shown_) return;  // the next add sends the current content
  if (content_ == sent_ && !force) return;
  if (shell_.Modify(content_)) {
    sent_ = content_;
    return;
  }
  // The shell no longer knows the icon (Explorer restarted without telling us): add it anew. The
  // delete clears whatever half of it may be left, so that the add cannot fail on a duplicate.
  shell_.Delete();
  shown_ = false;
  if (wanted_) TryAdd();
}

}  // namespace telvaro
