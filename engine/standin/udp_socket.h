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

  friend bool operator==(const Ipv4Endpoint&, const Ipv4Endpoint&) = default;
};

// One datagram taken by ReceiveBatch; its bytes are in the caller's slot.
struct ReceivedDatagram {
  std::size_t size = 0;  // bytes in the slot, at most the slot size
  Ipv4Endpoint from;
  bool truncated = false;  // it was larger than the slot: the rest is lost
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
  // Asks the system to queue up to `bytes` of received datagrams; the
  // system may grant less (on Linux, net.core.rmem_max caps it).
  bool SetReceiveBufferSize(int bytes);
  // Receives from `peer` only: the system drops every other source's
  // datagrams before they are queued. Sending to other endpoints is not
  // supported while connected.
  bool Connect(const Ipv4Endpoint& peer);
  // Receives from every source again.
  bool Disconnect();
  bool Connected() const { return connected_; }
  // Asks the system to drop, before they are queued, datagrams from every
  // source but `sources` (port 0: any port of that address); an empty list
  // lifts the restriction. False where the system cannot do this (only
  // Linux can): then every source's datagrams keep arriving.
  bool AcceptOnly(const Ipv4Endpoint* sources, int count);
  // Sends one datagram; false when the system refused it (or when the
  // socket is connected to another endpoint).
  bool SendTo(const Ipv4Endpoint& to, const std::uint8_t* data, std::size_t size);
  // Takes up to `count` waiting datagrams, the i-th into `buffer` + i *
  // `slotSize`, and describes them in `datagrams`. Answers how many were
  // taken, or -1 when none is waiting. An error left behind by an earlier
  // datagram (such as an ICMP report) is consumed and answers 0. On Linux
  // one system call takes the whole batch.
  int ReceiveBatch(std::uint8_t* buffer, std::size_t slotSize, ReceivedDatagram* datagrams,
                   int count);

 private:
  void Close();

  std::intptr_t handle_ = -1;
  bool connected_ = false;
  Ipv4Endpoint peer_;  // while connected
};

}  // namespace standin
