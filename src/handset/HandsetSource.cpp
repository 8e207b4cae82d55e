#include "handset/HandsetSource.h"

namespace telvaro {

HandsetMessages HandsetSources::MessagesFor(std::size_t index) {
  HandsetMessages m;
  m.keyDown = WM_HANDSET_KEYDOWN;
  m.keyUp = WM_HANDSET_KEYUP;
  for (UInt i = 0; i < 4; ++i) m.aux[i] = WM_HANDSET_AUX1 + i;
  if (index == 0) {
    m.arrival = WM_HANDSET_ARRIVAL;
    m.removal = WM_HANDSET_REMOVAL;
  } else {
    m.arrival = WM_HANDSET_SOURCE_BASE + 2 * static_cast<UInt>(index - 1);
    m.removal = m.arrival + 1;
  }
  return m;
}

void HandsetSources::Arrived(std::size_t index, WParam wParam, LParam lParam) {
  if (index >= sources_.size()) return;
  sources_[index]->Arrived(wParam, lParam);
  UpdateDeferral();
}

void HandsetSources::Removed(std::size_t index, WParam wParam, LParam lParam) {
  if (index >= sources_.size()) return;
  sources_[index]->Removed(wParam, lParam);
  UpdateDeferral();
}

void HandsetSources::UpdateDeferral() {
  bool earlierHasHandset = false;
  for (HandsetSource* s : sources_) {
    s->Defer(earlierHasHandset);
    earlierHasHandset = earlierHasHandset || s->HasHandset();
  }
}

}  // namespace telvaro
