// The fake PhonerLite: its command interface on 127.0.0.1:50600 (FakePhonerLiteCli.h), a call
// that a test makes ring through a window message, and the faults a real peer can show.
//
//   fakeapp.exe --phonerlite --log <file> [--refuse | --stall | --close-mid-reply]
//
//   --refuse           runs without listening: PhonerLite with "CLI access" off
//   --stall            takes connections and commands, answers nothing
//   --close-mid-reply  sends half of each reply, then closes the connection
//
// A hidden window of class "FakePhonerLiteControl" takes the far end's doings as posted
// messages: WM_APP+10 a call comes in (from "5551234"), WM_APP+11 the caller gives up or the
// called party hangs up, WM_APP+12 the called party answers. The log, one line each:
//
//   ready                      listening (or, with --refuse, running)
//   connected / disconnected   a client came or went ("reconnected" for every later one)
//   command <line>             every line received but the state questions ("If ...")
//   call <state>               the call changed: none, ringing, calling, active
#pragma once

namespace telvaro::fakeapp {

inline constexpr char kPhonerLiteSwitch[] = "--phonerlite";
inline constexpr char kPhonerLiteControlClass[] = "FakePhonerLiteControl";

int RunFakePhonerLite(int argc, char** argv);

}  // namespace telvaro::fakeapp
