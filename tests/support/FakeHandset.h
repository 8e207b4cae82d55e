// Records every call of the handset library, in order.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "handset/HandsetLibrary.h"

namespace telvaro::sim {

class FakeHandset : public HandsetLibrary {
 public:
  int StartDeviceDetection(Hwnd window, UInt arrival, UInt removal, UInt keyDown, UInt keyUp,
                           UInt aux1, UInt aux2, UInt aux3, UInt aux4) override {
    detectionWindow = window;
    Record("StartDeviceDetection(" + std::to_string(arrival) + "," + std::to_string(removal) + "," +
           std::to_string(keyDown) + "," + std::to_string(keyUp) + "," + std::to_string(aux1) +
           "," + std::to_string(aux2) + "," + std::to_string(aux3) + "," + std::to_string(aux4) +
           ")");
    return 1;
  }
  void HandleUsbDeviceChange(std::uint32_t wParam, std::uint32_t lParam) override {
    Record("HandleUsbDeviceChange(" + std::to_string(wParam) + "," + std::to_string(lParam) + ")");
  }
  int StartKeyScan() override { return Call("StartKeyScan"); }
  int StopKeyScan() override { return Call("StopKeyScan"); }
  int CloseDevice() override { return Call("CloseDevice"); }
  void StartBuzzer() override {
    Call("StartBuzzer");
    buzzing = true;
  }
  void StopBuzzer() override {
    Call("StopBuzzer");
    buzzing = false;
  }

  int Count(const std::string& name) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), name));
  }

  std::vector<std::string> calls;
  // Sees every call too (the test program writes them into the desktop's trace).
  std::function<void(const std::string&)> observer;
  Hwnd detectionWindow = 0;
  bool buzzing = false;

 private:
  int Call(const char* name) {
    Record(name);
    return 1;
  }
  void Record(const std::string& call) {
    calls.push_back(call);
    if (observer) observer(call);
  }
};

}  // namespace telvaro::sim
