#include "drivers/phonerlite/PhonerLiteCli.h"

#include <utility>

namespace telvaro::phonerlite {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
// The words our question prints; the prefix keeps them apart from whatever else PhonerLite says.
constexpr std::string_view kHasCallYes = "telvaro.HasCall=1";
constexpr std::string_view kHasCallNo = "telvaro.HasCall=0";
constexpr std::string_view kActiveYes = "telvaro.StateIsActive=1";
constexpr std::string_view kActiveNo = "telvaro.StateIsActive=0";

bool BelongsInNumber(char c) { return (c >= '0' && c <= '9') || c == '+' || c == '*' || c == '#'; }

std::string Ask(std::string_view condition, std::string_view yes, std::string_view no) {
  std::string line = "If ";
  line.append(condition).append(" & Print ").append(yes);
  line.append(" & Else & Print ").append(no).append(" & EndIf");
  return line;
}

std::string_view LastWord(std::string_view line) {
  const std::size_t end = line.find_last_not_of(" \t");
  if (end == std::string_view::npos) return {};
  line = line.substr(0, end + 1);
  const std::size_t space = line.find_last_of(" \t");
  return space == std::string_view::npos ? line : line.substr(space + 1);
}

}  // namespace

std::string SetNumberCommand(std::string_view number) {
  std::string command = "SetNumber ";
  for (char c : number) {
    if (BelongsInNumber(c)) command += c;
  }
  return command;
}

const std::vector<std::string>& CallStateQuestion() {
  static const std::vector<std::string> question = {
      Ask("HasCall", kHasCallYes, kHasCallNo),
      Ask("StateIsActive", kActiveYes, kActiveNo),
  };
  return question;
}

std::optional<Answer> ReadAnswer(std::string_view line) {
  const std::string_view word = LastWord(line);
  if (word == kHasCallYes) return Answer{Answer::Condition::HasCall, true};
  if (word == kHasCallNo) return Answer{Answer::Condition::HasCall, false};
  if (word == kActiveYes) return Answer{Answer::Condition::StateIsActive, true};
  if (word == kActiveNo) return Answer{Answer::Condition::StateIsActive, false};
  return std::nullopt;
}

std::vector<std::string> LineReader::Feed(std::string_view bytes) {
  std::vector<std::string> lines;
  for (char c : bytes) {
    if (c == '\n') {
      if (!overlong_) {
        if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
        lines.push_back(std::move(partial_));
      }
      partial_.clear();
      overlong_ = false;
    } else if (overlong_) {
      continue;
    } else if (partial_.size() == kMaxLineBytes) {
      partial_.clear();
      overlong_ = true;
    } else {
      partial_ += c;
    }
  }
  return lines;
}

void LineReader::Reset() {
  partial_.clear();
  overlong_ = false;
}

CliLink::CliLink(ClientFactory makeClient, std::uint16_t port)
    : makeClient_(std::move(makeClient)), port_(port) {}

void CliLink::Tick(std::uint32_t nowMs) {
  if (state_ == State::Down || state_ == State::Refused) {
    if (everTried_ && nowMs - since_ < kRetryMs) return;
    StartConnect(nowMs);
  }
  if (state_ == State::Connecting) {
    const TcpClient::Status status = client_->Poll();
    if (status == TcpClient::Status::Refused) return Drop(State::Refused, nowMs);
    if (status == TcpClient::Status::Closed) return Drop(State::Down, nowMs);
    if (status == TcpClient::Status::Connecting) {
      if (nowMs - since_ >= kConnectTimeoutMs) Drop(State::Down, nowMs);
      return;
    }
    state_ = State::Open;
    ++connections_;
  }
  if (state_ != State::Open) return;
  Read(nowMs);
  if (state_ != State::Open) return;
  if (asking_ && nowMs - askedAt_ >= kAnswerTimeoutMs) return Drop(State::Down, nowMs);
  if (!asking_ && (call_ == std::nullopt || nowMs - askedAt_ >= kQuestionEveryMs)) Ask(nowMs);
  Flush();
  if (client_->Poll() == TcpClient::Status::Closed) Drop(State::Down, nowMs);
}

bool CliLink::Command(std::string_view line, std::uint32_t nowMs) {
  if (pending_.size() + line.size() + kLineEnd.size() > kMaxPendingBytes) return false;
  if (state_ == State::Down || state_ == State::Refused) StartConnect(nowMs);
  if (client_ == nullptr) return false;
  pending_.append(line).append(kLineEnd);
  // What PhonerLite said before the command may no longer hold, nor may an answer on its way.
  call_.reset();
  stale_ = asking_;
  Tick(nowMs);
  return true;
}

void CliLink::Stop() {
  if (client_ != nullptr) client_->Close();
  Drop(State::Down, 0);
  everTried_ = false;
}

void CliLink::StartConnect(std::uint32_t nowMs) {
  everTried_ = true;
  since_ = nowMs;
  if (client_ == nullptr) client_ = makeClient_();
  if (client_ == nullptr) {
    state_ = State::Down;
    return;
  }
  reader_.Reset();
  client_->Connect(port_);
  state_ = State::Connecting;
}

void CliLink::Drop(State state, std::uint32_t nowMs) {
  if (client_ != nullptr) client_->Close();
  state_ = state;
  since_ = nowMs;
  pending_.clear();
  reader_.Reset();
  asking_ = false;
  stale_ = false;
  call_.reset();
}

void CliLink::Flush() {
  while (!pending_.empty()) {
    const std::size_t sent = client_->Send(pending_);
    if (sent == 0) return;
    pending_.erase(0, sent);
  }
}

void CliLink::Read(std::uint32_t nowMs) {
  std::string bytes;
  client_->Receive(bytes, kMaxReadPerTick);
  for (const std::string& line : reader_.Feed(bytes)) {
    const std::optional<Answer> answer = ReadAnswer(line);
    if (!answer || !asking_) continue;
    (answer->condition == Answer::Condition::HasCall ? hasCall_ : active_) = answer->value;
    if (hasCall_ && active_) {
      // An answer to a question asked before our last command may show the state before it.
      if (!stale_) call_ = CallFlags{*hasCall_, *active_};
      asking_ = false;
      stale_ = false;
    }
  }
  // A peer that closed mid-reply leaves its last line unfinished: it is never read.
  if (client_->Poll() == TcpClient::Status::Closed) Drop(State::Down, nowMs);
}

void CliLink::Ask(std::uint32_t nowMs) {
  for (const std::string& line : CallStateQuestion()) pending_.append(line).append(kLineEnd);
  asking_ = true;
  askedAt_ = nowMs;
  hasCall_.reset();
  active_.reset();
}

}  // namespace telvaro::phonerlite
