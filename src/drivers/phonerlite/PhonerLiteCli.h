// PhonerLite's command interface ("CLI access" in its options): text lines over TCP on this
// machine's port 50600, the commands a script or a telnet user types. This file holds the words,
// the reading of replies and the connection; PhonerLitePhone puts them behind the handset keys.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/TcpClient.h"

namespace telvaro::phonerlite {

inline constexpr std::uint16_t kCliPort = 50600;
// The interface is off unless the user turns it on; the program is then told apart from an
// absent one by its process.
inline constexpr const char* kProcessImage = "PhonerLite.exe";

// The hook commands are named after the handset: lifting it (HookOff) places the call to the
// number set before, or takes a ringing call; laying it down (HookOn) ends a call or turns a
// ringing one away. PhonerLite's own example script places its call with SetNumber then HookOff
// and ends it, both when the call failed and when it is done, with HookOn. Its command table says
// the opposite ("HookOn: creates new call or answers incoming call"); the table's two comments
// are swapped against the example, against the names and against every telephone's hook switch,
// so the example is taken as the truth and the fake interface in the tests behaves the same way.
inline constexpr std::string_view kHookOff = "HookOff";
inline constexpr std::string_view kHookOn = "HookOn";
inline constexpr std::string_view kHoldOn = "HoldOn";
inline constexpr std::string_view kHoldOff = "HoldOff";
// The microphone sound device: closed is muted.
inline constexpr std::string_view kMicroOn = "MicroOn";
inline constexpr std::string_view kMicroOff = "MicroOff";

// "SetNumber <number>" with only what a number holds: the rest of the line is the number, and an
// "&" would start a further command of the script.
std::string SetNumberCommand(std::string_view number);

// The call state, asked with the conditions scripts test (HasCall, StateIsActive): one line each,
// If/Else/EndIf joined by "&" as a one-line script, printing a word we look for in the reply.
struct CallFlags {
  bool hasCall = false;
  bool active = false;
  bool operator==(const CallFlags&) const = default;
};
const std::vector<std::string>& CallStateQuestion();

// One word of a reply: which condition it answers and how. A reply line counts when its last word
// is one of ours, whatever comes before it (a prompt); the echo of our own question ends in
// "EndIf" and never counts.
struct Answer {
  enum class Condition { HasCall, StateIsActive } condition;
  bool value;
};
std::optional<Answer> ReadAnswer(std::string_view line);

// Cuts what arrives into lines ("\n", a "\r" before it dropped). A line longer than kMaxLineBytes
// is no answer of ours: it is dropped whole, however long, without being kept.
class LineReader {
 public:
  static constexpr std::size_t kMaxLineBytes = 256;
  std::vector<std::string> Feed(std::string_view bytes);
  void Reset();

 private:
  std::string partial_;
  bool overlong_ = false;
};

// The one connection, driven by Tick and never waiting: connecting, reconnecting after a drop,
// sending the commands in order, asking the call state and reading the answers. Every wait has a
// bound; past it the connection counts as stalled, is closed and made anew.
class CliLink {
 public:
  enum class State { Down, Connecting, Open, Refused };
  static constexpr std::uint32_t kConnectTimeoutMs = 3000;
  static constexpr std::uint32_t kAnswerTimeoutMs = 3000;
  static constexpr std::uint32_t kRetryMs = 1000;
  static constexpr std::uint32_t kQuestionEveryMs = 400;
  static constexpr std::size_t kMaxPendingBytes = 4096;
  static constexpr std::size_t kMaxReadPerTick = std::size_t{64} * 1024;

  using ClientFactory = std::function<std::unique_ptr<TcpClient>()>;
  CliLink(ClientFactory makeClient, std::uint16_t port);

  void Tick(std::uint32_t nowMs);
  // Queues one command line and sends what can go now; false when it was dropped (the queue
  // is full, or no connection can be made at all).
  bool Command(std::string_view line, std::uint32_t nowMs);
  // Closes the connection and forgets everything; the next Tick connects again.
  void Stop();

  State GetState() const { return state_; }
  // The last call state PhonerLite answered on this connection; none before the first answer,
  // nor from a command on until the answer to a question asked after it.
  std::optional<CallFlags> Call() const { return call_; }
  // Counts connections made: a new one means PhonerLite may have forgotten what we set.
  std::uint32_t Connections() const { return connections_; }

 private:
  void StartConnect(std::uint32_t nowMs);
  void Drop(State state, std::uint32_t nowMs);
  void Flush();
  void Read(std::uint32_t nowMs);
  void Ask(std::uint32_t nowMs);

  ClientFactory makeClient_;
  std::uint16_t port_;
  std::unique_ptr<TcpClient> client_;
  State state_ = State::Down;
  bool everTried_ = false;
  std::uint32_t since_ = 0;  // when the connect began, or when the link went down
  std::string pending_;
  LineReader reader_;
  bool asking_ = false;
  bool stale_ = false;  // a command went after the question: its answer may predate it
  std::uint32_t askedAt_ = 0;
  std::optional<bool> hasCall_;
  std::optional<bool> active_;
  std::optional<CallFlags> call_;
  std::uint32_t connections_ = 0;
};

}  // namespace telvaro::phonerlite
