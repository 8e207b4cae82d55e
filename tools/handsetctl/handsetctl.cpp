// handsetctl: drives the virtual handset of a running program from the command line.
//   handsetctl [--pid P] plug|unplug|press N|down N|up N|hold N MS|buzzer|scanning|plugged
//                        |sending|posting
// Every process that loaded the virtual handset has one. Without --pid the command goes to
// TELVARO's, or else to the first found; when several run, a note on stderr says which.
// Prints the handset's answer. Exit code: 0 done, 1 command not accepted, 2 no virtual handset
// running (in that process), 3 no answer in time.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "HandsetControl.h"

namespace {

constexpr char kUsage[] =
    "usage: handsetctl [--pid P] plug|unplug|press N|down N|up N|hold N "
    "MS|buzzer|scanning|plugged|sending|posting\n"
    "  N is a handset key code 1..16, MS a hold time in milliseconds.\n"
    "  sending: from now on the handset's own thread sends each key without waiting for it to\n"
    "  be handled, as a vendor's library may; posting: posts them again (the start).\n"
    "  P is the process whose virtual handset to drive; without it, TELVARO's (or the only one).\n"
    "  plug/unplug/key commands print 1 when done, 0 when nothing happened (already in that\n"
    "  state, or key scanning is off); buzzer/scanning/plugged print 1 or 0.\n";

enum ExitCode { kDone = 0, kNotAccepted = 1, kNoHandset = 2, kNoAnswer = 3 };

std::string JoinArguments(int first, int argc, char** argv) {
  std::string command;
  for (int i = first; i < argc; ++i) {
    if (i > first) command += ' ';
    command += argv[i];
  }
  return command;
}

// A process id in decimal; 0 for anything else.
DWORD ParsePid(const char* text) {
  char* end = nullptr;
  unsigned long value = std::strtoul(text, &end, 10);
  return end != text && *end == '\0' ? static_cast<DWORD>(value) : 0;
}

}  // namespace

int main(int argc, char** argv) {
  using telvaro::tools::HandsetStatus;
  int first = 1;
  DWORD processId = 0;
  if (argc > 1 && std::string(argv[1]) == "--pid") {
    processId = argc > 2 ? ParsePid(argv[2]) : 0;
    if (processId == 0) {
      std::cerr << "handsetctl: --pid needs a process id\n" << kUsage;
      return kNotAccepted;
    }
    first = 3;
  }
  std::string command = JoinArguments(first, argc, argv);
  if (command.empty() || command == "-h" || command == "--help") {
    std::cerr << kUsage;
    return kNotAccepted;
  }
  const std::vector<DWORD> running = telvaro::tools::HandsetProcesses();
  if (processId == 0) processId = telvaro::tools::DefaultHandsetProcess();
  telvaro::tools::HandsetReply reply = telvaro::tools::SendHandsetCommand(command, processId);
  // The answer first, before any complaint: callers read it from the first line.
  if (reply.status == HandsetStatus::Ok || reply.status == HandsetStatus::Rejected) {
    std::cout << reply.result << std::endl;
  }
  if (running.size() > 1 && reply.status != HandsetStatus::NotFound) {
    std::cerr << "handsetctl: " << running.size() << " virtual handsets run; this drove the one of "
              << "process " << processId
              << (processId == telvaro::tools::TelvaroProcessId() ? " (TELVARO)" : "") << '\n';
  }
  switch (reply.status) {
    case HandsetStatus::Ok:
      return kDone;
    case HandsetStatus::Rejected:
      std::cerr << "handsetctl: the handset did not accept \"" << command << "\"\n" << kUsage;
      return kNotAccepted;
    case HandsetStatus::NotFound:
      std::cerr << "handsetctl: no virtual handset is running"
                << (first == 3 ? " in that process" : "") << " (no window of class "
                << telvaro::tools::kHandsetWindowClass << ")\n";
      return kNoHandset;
    case HandsetStatus::NoReply:
      break;
  }
  std::cerr << "handsetctl: the virtual handset did not answer\n";
  return kNoAnswer;
}
