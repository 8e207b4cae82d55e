// The Winsock TcpClient: a non-blocking socket that is polled, never waited on.
#pragma once

#include <memory>

#include "platform/TcpClient.h"

namespace telvaro {

std::unique_ptr<TcpClient> CreateWinsockTcpClient();

}  // namespace telvaro
