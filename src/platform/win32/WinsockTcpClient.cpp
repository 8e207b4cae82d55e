#include "platform/win32/WinsockTcpClient.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>

namespace telvaro {

namespace {

class WinsockTcpClient final : public TcpClient {
 public:
  WinsockTcpClient() {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~WinsockTcpClient() override {
    WinsockTcpClient::Close();
    if (started_) WSACleanup();
  }
  WinsockTcpClient(const WinsockTcpClient&) = delete;
  WinsockTcpClient& operator=(const WinsockTcpClient&) = delete;

  void Connect(std::uint16_t port) override {
    Close();
    status_ = Status::Closed;
    if (!started_) return;
    socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket_ == INVALID_SOCKET) return;
    u_long nonBlocking = 1;
    if (::ioctlsocket(socket_, FIONBIO, &nonBlocking) != 0) return Close();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(port);
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    if (::connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
      status_ = Status::Open;
      return;
    }
    const int error = ::WSAGetLastError();
    if (error == WSAEWOULDBLOCK || error == WSAEINPROGRESS) {
      status_ = Status::Connecting;
      return;
    }
    Fail(error);
  }

  // A non-blocking connect ends writable (made) or in the exception set (failed); select with a
  // zero timeout only looks.
  Status Poll() override {
    if (status_ != Status::Connecting) return status_;
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(socket_, &writable);
    FD_SET(socket_, &failed);
    timeval now{0, 0};
    if (::select(0, nullptr, &writable, &failed, &now) == SOCKET_ERROR) {
      Fail(::WSAGetLastError());
    } else if (FD_ISSET(socket_, &failed)) {
      int error = 0;
      int length = sizeof error;
      ::getsockopt(socket_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
      Fail(error);
    } else if (FD_ISSET(socket_, &writable)) {
      status_ = Status::Open;
    }
    return status_;
  }

  std::size_t Send(std::string_view bytes) override {
    if (status_ != Status::Open || bytes.empty()) return 0;
    const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 16));
    const int sent = ::send(socket_, bytes.data(), chunk, 0);
    if (sent >= 0) return static_cast<std::size_t>(sent);
    const int error = ::WSAGetLastError();
    if (error != WSAEWOULDBLOCK) Fail(error);
    return 0;
  }

  void Receive(std::string& out, std::size_t maxBytes) override {
    char buffer[4096];
    while (status_ == Status::Open && maxBytes > 0) {
      const int wanted = static_cast<int>(std::min<std::size_t>(maxBytes, sizeof buffer));
      const int got = ::recv(socket_, buffer, wanted, 0);
      if (got > 0) {
        out.append(buffer, static_cast<std::size_t>(got));
        maxBytes -= static_cast<std::size_t>(got);
        continue;
      }
      if (got == 0) return Fail(0);  // the peer closed
      const int error = ::WSAGetLastError();
      if (error != WSAEWOULDBLOCK) Fail(error);
      return;
    }
  }

  void Close() override {
    if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
    socket_ = INVALID_SOCKET;
    status_ = Status::Closed;
  }

 private:
  void Fail(int error) {
    if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
    socket_ = INVALID_SOCKET;
    status_ = error == WSAECONNREFUSED ? Status::Refused : Status::Closed;
  }

  bool started_ = false;
  SOCKET socket_ = INVALID_SOCKET;
  Status status_ = Status::Closed;
};

}  // namespace

std::unique_ptr<TcpClient> CreateWinsockTcpClient() { return std::make_unique<WinsockTcpClient>(); }

}  // namespace telvaro
