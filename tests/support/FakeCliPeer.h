// A fake PhonerLite command interface behind the TcpClient seam: the interpreter fakeapp runs on
// a real port, with knobs for the faults a real peer can show.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "../../tools/fakeapp/FakePhonerLiteCli.h"
#include "platform/TcpClient.h"

namespace telvaro::test {

struct FakeCliPeer {
  fakeapp::FakePhonerLiteCli cli;
  TcpClient::Status onConnect = TcpClient::Status::Open;  // Connecting: the connect stalls
  bool answers = true;                                    // false: reads commands, says nothing
  std::size_t chunk = 1 << 16;                            // bytes one Receive hands over at most
  std::size_t closeAfterBytes = SIZE_MAX;  // the peer closes once it has sent this many
  std::string junk;                        // sent before the next reply
  std::vector<std::string> lines;          // every line received, in order
  int connects = 0;

  // The commands without the state questions ("If ..."), for readable expectations.
  std::vector<std::string> Commands() const {
    std::vector<std::string> commands;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(commands),
                 [](const std::string& line) { return line.rfind("If ", 0) != 0; });
    return commands;
  }
};

class FakeCliClient final : public TcpClient {
 public:
  explicit FakeCliClient(std::shared_ptr<FakeCliPeer> peer) : peer_(std::move(peer)) {}

  void Connect(std::uint16_t /*port*/) override {
    ++peer_->connects;
    status_ = peer_->onConnect;
    received_.clear();
    toSend_.clear();
    sent_ = 0;
  }
  Status Poll() override { return status_; }
  std::size_t Send(std::string_view bytes) override {
    if (status_ != Status::Open) return 0;
    received_.append(bytes);
    for (std::size_t end = received_.find('\n'); end != std::string::npos;
         end = received_.find('\n')) {
      std::string line = received_.substr(0, end);
      received_.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      peer_->lines.push_back(line);
      const std::string reply = peer_->cli.Run(line);
      if (peer_->answers) toSend_ += std::exchange(peer_->junk, {}) + reply;
    }
    return bytes.size();
  }
  void Receive(std::string& out, std::size_t maxBytes) override {
    if (status_ != Status::Open) return;
    std::size_t n = std::min({maxBytes, peer_->chunk, toSend_.size()});
    if (sent_ + n >= peer_->closeAfterBytes) {
      n = peer_->closeAfterBytes - sent_;
      status_ = Status::Closed;
    }
    out.append(toSend_, 0, n);
    toSend_.erase(0, n);
    sent_ += n;
  }
  void Close() override { status_ = Status::Closed; }

 private:
  std::shared_ptr<FakeCliPeer> peer_;
  Status status_ = Status::Closed;
  std::string received_;
  std::string toSend_;
  std::size_t sent_ = 0;
};

}  // namespace telvaro::test
