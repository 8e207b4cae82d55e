#include "FakeView.h"

namespace telvaro::sim {

FakeView::FakeView(SimDesktop& desktop) : desktop_(desktop) {
  window_ = desktop_.AddWindow("TMainForm", "TELVARO 1.3.0", 0, 210, 117);
  desktop_.Window(window_).label = "TMainForm";
  desktop_.SetBehaviour(window_, [this](Hwnd, UInt msg, WParam w, LParam l, bool& handled) {
    handled = true;
    return OnMessage(msg, w, l);
  });
}

LResult FakeView::OnMessage(UInt msg, WParam wParam, LParam lParam) {
  TMessage message{msg, wParam, lParam, 0};
  if (hook_ && hook_(message)) return message.Result;
  if (dispatch && dispatch(message)) return message.Result;
  if (msg == win::WM_CLOSE && close) close();
  return message.Result;
}

void FakeView::ShowErrorMessage(const std::string& text) {
  desktop_.Note("view.MessageBox(\"" + text + "\")");
  messageBoxes.push_back(text);
}

// As a real window: its destruction runs FormDestroy, then no message reaches it any more.
void FakeView::DestroyMainWindow() {
  if (destroyed) return;
  desktop_.Note("view.DestroyWindow");
  destroyed = true;
  if (destroy) destroy();
  desktop_.DestroyWindow(window_);
}

void FakeView::ShowMainWindow() {
  desktop_.Note("view.ShowMainWindow");
  ++shownCount;
}

namespace {
const char* Name(FormTimer timer) {
  constexpr const char* kNames[] = {"Timer1", "Timer2", "CallPoll"};
  return kNames[static_cast<int>(timer)];
}
}  // namespace

void FakeView::StartTimer(FormTimer timer) {
  timerLog.push_back(std::string("start ") + Name(timer));
  running_[Index(timer)] = true;
}

void FakeView::StopTimer(FormTimer timer) {
  timerLog.push_back(std::string("stop ") + Name(timer));
  running_[Index(timer)] = false;
}

void FakeView::ProcessPendingMessages() {
  ++pumpCount;
  auto work = std::move(pendingWork);
  pendingWork.clear();
  for (auto& w : work) w();
  desktop_.DeliverPosted();
}

}  // namespace telvaro::sim
