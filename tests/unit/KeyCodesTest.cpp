// The sixteen handset key codes, through the message the handset library sends. VoipBuster is the
// target because every one of its sixteen keys leaves a different mark on its windows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CallKeyDesk.h"
#include "KeyTrace.h"

namespace telvaro {
namespace {

using sim::KeyDesk;
using Lines = std::vector<std::string>;

struct VoipBusterDesk : KeyDesk {
  VoipBusterDesk() : KeyDesk(sim::row::VoipBuster) {
    windows = {Button(Main("VoipBuster - someone"), "Contacts", "Contacts"),
               main,
               Add("Edit", "", main, "Edit"),
               Add("ContactListCtrl", "", main, "List"),
               Button(main, "OffHook", "OffHook"),
               Button(main, "OnHook", "OnHook")};
  }
  // What every window received, window by window, and what the handset library was asked to do.
  Lines Marks() const {
    Lines marks;
    for (const Hwnd h : windows) {
      const sim::SimWindow& w = p.desktop.Window(h);
      for (const std::string& line : w.received) marks.push_back(w.label + ": " + line);
    }
    for (const std::string& call : p.handset.calls) marks.push_back("handset: " + call);
    return marks;
  }
  std::vector<Hwnd> windows;
};

const std::string kContactsClick = "Contacts: BM_CLICK 0x0 0x00000000";

Lines Digit(int vk, char ch) {
  using sim::trace::Hex;
  return {kContactsClick, "Main: WM_KEYDOWN " + Hex(vk) + " 0x001C0001",
          "Main: WM_CHAR " + Hex(static_cast<unsigned char>(ch)) + " 0x001C0001",
          "Main: WM_KEYUP " + Hex(vk) + " 0x401C0001"};
}

TEST(HandsetKeyCodes, EveryCodeReachesItsKey) {
  struct Case {
    WParam code;
    const char* key;
    Lines marks;
  };
  const Case cases[] = {
      {0, "none", {}},
      {1, "1", Digit(0x61, '1')},
      {2, "4", Digit(0x64, '4')},
      {3, "7", Digit(0x67, '7')},
      {4, "star: Backspace typed", {kContactsClick, "Main: key 0x8 down", "Main: key 0x8 up"}},
      {5, "2", Digit(0x62, '2')},
      {6, "5", Digit(0x65, '5')},
      {7, "8", Digit(0x68, '8')},
      {8, "0", Digit(0x60, '0')},
      {9, "3", Digit(0x63, '3')},
      {10, "6", Digit(0x66, '6')},
      {11, "9", Digit(0x69, '9')},
      {12,
       "hash: Shift+3 typed",
       {kContactsClick, "Main: key 0x10 down", "Main: key 0x33 down", "Main: key 0x33 up",
        "Main: key 0x10 up"}},
      {13, "call: OffHook", {"OffHook: BM_CLICK 0x0 0x00000000"}},
      {14, "hang-up: OnHook", {"OnHook: BM_CLICK 0x0 0x00000000", "handset: StopBuzzer"}},
      {15,
       "Up: the list's arrow, down and up",
       {kContactsClick, "List: WM_SETFOCUS 0x0 0x00000000", "List: WM_KEYDOWN 0x26 0x00000000",
        "List: WM_KEYUP 0x26 0x00000000"}},
      {16,
       "Down: the list's arrow, down only",
       {kContactsClick, "List: WM_SETFOCUS 0x0 0x00000000", "List: WM_KEYDOWN 0x28 0x00000000"}},
      {17, "none", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "code " << c.code << " (" << c.key << ")");
    VoipBusterDesk d;
    d.p.Post(WM_HANDSET_KEYDOWN, c.code);
    d.p.desktop.DeliverPosted();
    EXPECT_EQ(d.Marks(), c.marks);
  }
}

}  // namespace
}  // namespace telvaro
