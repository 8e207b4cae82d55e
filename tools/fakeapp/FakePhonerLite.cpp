#include "FakePhonerLite.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "../common/FakeLog.h"
#include "../common/LineLog.h"
#include "FakePhonerLiteCli.h"

namespace telvaro::fakeapp {
namespace {

constexpr u_short kPort = 50600;
constexpr UINT kRing = WM_APP + 10;
constexpr UINT kFarHangsUp = WM_APP + 11;
constexpr UINT kFarAnswers = WM_APP + 12;
constexpr const char* kCallNames[] = {"none", "ringing", "calling", "active"};

enum class Fault { None, Refuse, Stall, CloseMidReply };

struct Server {
  std::string log;
  Fault fault = Fault::None;
  std::mutex lock;  // the interpreter: the socket thread and the control window share it
  FakePhonerLiteCli cli;
  FakePhonerLiteCli::Call logged = FakePhonerLiteCli::Call::None;
  int connections = 0;

  // Under the lock.
  void LogCallChange() {
    if (cli.call == logged) return;
    logged = cli.call;
    tools::AppendLine(log, std::string("call ") + kCallNames[static_cast<int>(logged)]);
  }

  void Serve(SOCKET client) {
    tools::AppendLine(log, connections++ == 0 ? "connected" : "reconnected");
    std::string received;
    char buffer[1024];
    for (int got; (got = ::recv(client, buffer, sizeof buffer, 0)) > 0;) {
      received.append(buffer, static_cast<std::size_t>(got));
      for (std::size_t end; (end = received.find('\n')) != std::string::npos;) {
        std::string line = received.substr(0, end);
        received.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!Answer(client, line)) return Close(client);
      }
    }
    Close(client);
  }

  // False when the connection is to end here.
  bool Answer(SOCKET client, const std::string& line) {
    std::string reply;
    {
      std::lock_guard<std::mutex> guard(lock);
      if (line.rfind("If ", 0) != 0) tools::AppendLine(log, "command " + line);
      reply = cli.Run(line);
      LogCallChange();
    }
    if (fault == Fault::Stall || reply.empty()) return true;
    if (fault == Fault::CloseMidReply) {
      ::send(client, reply.data(), static_cast<int>(reply.size() / 2), 0);
      return false;
    }
    ::send(client, reply.data(), static_cast<int>(reply.size()), 0);
    return true;
  }

  void Close(SOCKET client) {
    ::closesocket(client);
    tools::AppendLine(log, "disconnected");
  }

  void Listen() {
    SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    BOOL reuse = TRUE;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse),
                 sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(kPort);
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 4) != 0) {
      tools::AppendLine(log, "cannot listen: " + std::to_string(::WSAGetLastError()));
      return;
    }
    tools::AppendLine(log, "ready");
    for (SOCKET client; (client = ::accept(listener, nullptr, nullptr)) != INVALID_SOCKET;) {
      Serve(client);
    }
  }
};

Server* g_server = nullptr;  // the control window's way to the server

LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kRing && message != kFarHangsUp && message != kFarAnswers) {
    return DefWindowProcA(window, message, wParam, lParam);
  }
  std::lock_guard<std::mutex> guard(g_server->lock);
  if (message == kRing) g_server->cli.Ring("5551234");
  if (message == kFarHangsUp) g_server->cli.FarHangsUp();
  if (message == kFarAnswers) g_server->cli.FarAnswers();
  g_server->LogCallChange();
  return 0;
}

}  // namespace

int RunFakePhonerLite(int argc, char** argv) {
  Server server;
  for (int i = 2; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--log" && i + 1 < argc) server.log = tools::NormalizeLogPath(argv[++i]);
    if (arg == "--refuse") server.fault = Fault::Refuse;
    if (arg == "--stall") server.fault = Fault::Stall;
    if (arg == "--close-mid-reply") server.fault = Fault::CloseMidReply;
  }
  g_server = &server;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = ControlProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kPhonerLiteControlClass;
  RegisterClassA(&windowClass);
  CreateWindowA(kPhonerLiteControlClass, "", 0, 0, 0, 0, 0, nullptr, nullptr, windowClass.hInstance,
                nullptr);
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 3;
  if (server.fault == Fault::Refuse) {
    tools::AppendLine(server.log, "ready");
  } else {
    std::thread(&Server::Listen, &server).detach();
  }
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}

}  // namespace telvaro::fakeapp
