#include "SimSkype.h"

#include <cstring>

namespace telvaro::sim {

SimSkype::SimSkype(SimDesktop& desktop, const std::string& title) : desktop_(desktop) {
  discoverMsg_ = desktop_.RegisterWindowMessageA("SkypeControlAPIDiscover");
  attachMsg_ = desktop_.RegisterWindowMessageA("SkypeControlAPIAttach");
  mainWindow = desktop_.AddWindow("tSkMainForm.UnicodeClass", title, 0, 400, 600);
  pageControl = desktop_.AddWindow("TTntPageControl.UnicodeClass", "", mainWindow, 200, 300);
  apiWindow = desktop_.AddWindow("SkypeAPIWindow", "", 0, 0, 0);
  desktop_.Window(mainWindow).label = "Skype";
  desktop_.Window(pageControl).label = "SkypePageControl";
  desktop_.Window(apiWindow).label = "SkypeAPI";

  desktop_.SetBehaviour(apiWindow, [this](Hwnd, UInt msg, WParam w, LParam l, bool& handled) {
    if (msg == discoverMsg_) {
      client = w;
      desktop_.SendMessageA(client, attachMsg_, apiWindow, attachStatus);
      return LResult{0};
    }
    if (msg != win::WM_COPYDATA) {
      handled = false;
      return LResult{0};
    }
    const auto* cds = reinterpret_cast<const CopyDataStruct*>(l);
    std::string text;
    if (cds && cds->lpData) {
      const char* bytes = static_cast<const char*>(cds->lpData);
      text.assign(bytes, strnlen(bytes, cds->cbData));
    }
    commands.push_back(text);
    if (text == "PING" && answerPing && client == w) Send("PONG");
    return LResult{1};
  });
  desktop_.SetBehaviour(pageControl, [this](Hwnd, UInt msg, WParam, LParam, bool& handled) {
    handled = msg == win::TCM_GETCURSEL;
    return LResult{selectedTab};
  });
}

LResult SimSkype::Send(const std::string& text) {
  std::string buffer = text;
  CopyDataStruct cds;
  cds.cbData = static_cast<std::uint32_t>(buffer.size() + 1);
  cds.lpData = buffer.c_str();
  return desktop_.SendMessageA(client, win::WM_COPYDATA, apiWindow, reinterpret_cast<LParam>(&cds));
}

}  // namespace telvaro::sim
