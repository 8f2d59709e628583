// A non-blocking IPv4 UDP socket: the engine's only use of the network.
// udp_socket_posix.cpp and udp_socket_win.cpp (Winsock) implement it; the
// build picks one.
#pragma once

#include <cstddef>
#include <cstdint>

namespace standin {

struct Ipv4Endpoint {
  std::uint32_t address = 0;  // host byte order
  std::uint16_t port = 0;
};

// Reads dotted-decimal IPv4 text; false for anything else.
[[nodiscard]] bool ParseIpv4(const char* text, std::uint32_t* address);

class UdpSocket {
 public:
  enum class BindResult { kBound, kInUse, kFailed };

  UdpSocket() = default;
  ~UdpSocket();
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  // Opens the socket bound to `address`:`port` (port 0: any free port).
  [[nodiscard]] BindResult Bind(std::uint32_t address, std::uint16_t port);
  // Opens the socket on any free port, for sending only.
  [[nodiscard]] bool Open() { return Bind(0, 0) == BindResult::kBound; }
  bool IsOpen() const;
  std::uint16_t LocalPort() const;
  // The IP type-of-service byte of the packets sent from now on.
  bool SetTos(int tos);
  // Sends one datagram; false when the system refused it.
  bool SendTo(const Ipv4Endpoint& to, const std::uint8_t* data, std::size_t size);
  // Takes one waiting datagram into `buffer`: its size (cut to `capacity`),
  // or -1 when none is waiting. Errors a datagram left behind (such as an
  // ICMP report) count as an empty datagram, 0.
  int ReceiveFrom(std::uint8_t* buffer, std::size_t capacity, Ipv4Endpoint* from);

 private:
  void Close();

  std::intptr_t handle_ = -1;
};

}  // namespace standin
