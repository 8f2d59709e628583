// Loopback ports for tests that listen: the system picks them (a bind to
// port 0), so copies of a suite running at the same time, or two checkouts,
// get different ones. A port is only known to have been free a moment ago;
// start whatever listens on it at once. Uses the socket names of
// platform/sockets.h, so it serves the Linux suites and the Wine checks alike
// (link medley_platform).
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/sockets.h"

namespace test_support {

// A socket of `type` (SOCK_DGRAM, SOCK_STREAM) bound to 127.0.0.1:`port`
// while the object lives; port 0 takes any free port.
class HeldPort {
 public:
  explicit HeldPort(int port, int type = SOCK_DGRAM) {
    if (!platform::EnsureSocketsStarted()) return;
    socket_ = socket(AF_INET, type, 0);
    if (socket_ == INVALID_SOCKET) return;
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(socket_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
      port_ = ntohs(address.sin_port);
  }
  ~HeldPort() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
  }
  HeldPort(const HeldPort&) = delete;
  HeldPort& operator=(const HeldPort&) = delete;

  // 0 when the port could not be bound.
  int port() const { return port_; }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  int port_ = 0;
};

// A loopback port of `type` that was free a moment ago; 0 when none was found.
inline int FreePort(int type = SOCK_DGRAM) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    const int port = HeldPort(0, type).port();
    if (port >= 1024 && port < 65000) return port;
  }
  return 0;
}

// `count` different even UDP ports whose odd neighbours (RTCP) were free as
// well, all at the same moment: the first ports of the RTP endpoints of one
// test. Empty when they could not be found.
inline std::vector<int> FreeRtpPorts(size_t count) {
  std::vector<std::unique_ptr<HeldPort>> held;
  std::vector<int> ports;
  for (int attempt = 0; attempt < 100 && ports.size() < count; ++attempt) {
    const int even = FreePort() & ~1;
    if (even < 1024) continue;
    auto rtp = std::make_unique<HeldPort>(even);
    auto rtcp = std::make_unique<HeldPort>(even + 1);
    if (rtp->port() == 0 || rtcp->port() == 0) continue;
    ports.push_back(even);
    held.push_back(std::move(rtp));
    held.push_back(std::move(rtcp));
  }
  if (ports.size() < count) ports.clear();
  return ports;
}

// One such port; 0 when none was found.
inline int FreeRtpPort() {
  const std::vector<int> ports = FreeRtpPorts(1);
  return ports.empty() ? 0 : ports.front();
}

}  // namespace test_support
