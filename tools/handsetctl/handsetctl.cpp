// handsetctl: drives the virtual handset of a running program from the command line.
//   handsetctl plug|unplug|press N|down N|up N|hold N MS|buzzer|scanning|plugged
// Prints the handset's answer. Exit code: 0 done, 1 command not accepted, 2 no virtual handset
// running, 3 no answer in time.
#include <iostream>
#include <string>

#include "HandsetControl.h"

namespace {

constexpr char kUsage[] =
    "usage: handsetctl plug|unplug|press N|down N|up N|hold N MS|buzzer|scanning|plugged\n"
    "  N is a handset key code 1..16, MS a hold time in milliseconds.\n"
    "  plug/unplug/key commands print 1 when done, 0 when nothing happened (already in that\n"
    "  state, or key scanning is off); buzzer/scanning/plugged print 1 or 0.\n";

enum ExitCode { kDone = 0, kNotAccepted = 1, kNoHandset = 2, kNoAnswer = 3 };

std::string JoinArguments(int argc, char** argv) {
  std::string command;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) command += ' ';
    command += argv[i];
  }
  return command;
}

}  // namespace

int main(int argc, char** argv) {
  using telvaro::tools::HandsetStatus;
  std::string command = JoinArguments(argc, argv);
  if (command.empty() || command == "-h" || command == "--help") {
    std::cerr << kUsage;
    return kNotAccepted;
  }
  telvaro::tools::HandsetReply reply = telvaro::tools::SendHandsetCommand(command);
  switch (reply.status) {
    case HandsetStatus::Ok:
      std::cout << reply.result << '\n';
      return kDone;
    case HandsetStatus::Rejected:
      std::cout << reply.result << std::endl;  // before the complaint, when both share a file
      std::cerr << "handsetctl: the handset did not accept \"" << command << "\"\n" << kUsage;
      return kNotAccepted;
    case HandsetStatus::NotFound:
      std::cerr << "handsetctl: no virtual handset is running (no window of class "
                << telvaro::tools::kHandsetWindowClass << ")\n";
      return kNoHandset;
    case HandsetStatus::NoReply:
      break;
  }
  std::cerr << "handsetctl: the virtual handset did not answer\n";
  return kNoAnswer;
}
