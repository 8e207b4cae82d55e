// One TCP connection to a server on this machine's loopback, that never waits: connecting,
// sending and reading each return at once with what could be done now. Command interfaces of
// softphones that listen on a local port are spoken through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace telvaro {

class TcpClient {
 public:
  enum class Status {
    Connecting,  // the connection is under way
    Open,        // connected: bytes can be sent and read
    Refused,     // nobody listens on the port
    Closed,      // the peer closed, or the connection failed
  };

  virtual ~TcpClient() = default;
  // Starts connecting to 127.0.0.1:port; a connection already made is closed first.
  virtual void Connect(std::uint16_t port) = 0;
  // Where the connection stands now.
  virtual Status Poll() = 0;
  // Hands the system what it takes of `bytes` now; how many it took (0 when it took none or the
  // connection failed, which Poll then says).
  virtual std::size_t Send(std::string_view bytes) = 0;
  // Appends to `out` what has arrived, at most `maxBytes`. Finding the peer closed makes the
  // status Closed (after whatever it sent before closing).
  virtual void Receive(std::string& out, std::size_t maxBytes) = 0;
  virtual void Close() = 0;
};

}  // namespace telvaro
