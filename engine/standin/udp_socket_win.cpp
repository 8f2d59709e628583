// Winsock. IP_TOS is set as asked; Windows itself may leave the byte at 0
// unless the system's QoS policy allows programs to mark their packets.
#include "engine/standin/udp_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace standin {
namespace {

// Keeps recvfrom from failing with WSAECONNRESET after an ICMP "port
// unreachable" for an earlier datagram (SIO_UDP_CONNRESET).
constexpr DWORD kUdpConnectionReset = IOC_IN | IOC_VENDOR | 12;

bool StartWinsock() {
  // One WSAStartup for the life of the process; Winsock tears itself down at exit.
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

sockaddr_in ToAddress(std::uint32_t address, std::uint16_t port) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_addr.s_addr = htonl(address);
  result.sin_port = htons(port);
  return result;
}

SOCKET Handle(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

}  // namespace

bool ParseIpv4(const char* text, std::uint32_t* address) {
  in_addr parsed{};
  if (!text || !StartWinsock() || inet_pton(AF_INET, text, &parsed) != 1) return false;
  *address = ntohl(parsed.s_addr);
  return true;
}

UdpSocket::~UdpSocket() { Close(); }

void UdpSocket::Close() {
  if (handle_ != -1) closesocket(Handle(handle_));
  handle_ = -1;
  connected_ = false;
}

UdpSocket::BindResult UdpSocket::Bind(std::uint32_t address, std::uint16_t port) {
  Close();
  if (!StartWinsock()) return BindResult::kFailed;
  SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (socket == INVALID_SOCKET) return BindResult::kFailed;
  BOOL exclusive = TRUE;
  setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
             sizeof exclusive);
  sockaddr_in local = ToAddress(address, port);
  if (::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    const int error = WSAGetLastError();
    closesocket(socket);
    return error == WSAEADDRINUSE || error == WSAEACCES ? BindResult::kInUse : BindResult::kFailed;
  }
  u_long nonBlocking = 1;
  BOOL report = FALSE;
  DWORD unused = 0;
  if (ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) {
    closesocket(socket);
    return BindResult::kFailed;
  }
  WSAIoctl(socket, kUdpConnectionReset, &report, sizeof report, nullptr, 0, &unused, nullptr,
           nullptr);
  handle_ = static_cast<std::intptr_t>(socket);
  return BindResult::kBound;
}

bool UdpSocket::IsOpen() const { return handle_ != -1; }

std::uint16_t UdpSocket::LocalPort() const {
  sockaddr_in local{};
  int length = sizeof local;
  if (handle_ == -1 ||
      getsockname(Handle(handle_), reinterpret_cast<sockaddr*>(&local), &length) != 0)
    return 0;
  return ntohs(local.sin_port);
}

bool UdpSocket::SetTos(int tos) {
  DWORD value = static_cast<DWORD>(tos);
  return handle_ != -1 && setsockopt(Handle(handle_), IPPROTO_IP, IP_TOS,
                                     reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

bool UdpSocket::SetReceiveBufferSize(int bytes) {
  return handle_ != -1 && setsockopt(Handle(handle_), SOL_SOCKET, SO_RCVBUF,
                                     reinterpret_cast<const char*>(&bytes), sizeof bytes) == 0;
}

bool UdpSocket::Connect(const Ipv4Endpoint& peer) {
  if (handle_ == -1) return false;
  sockaddr_in remote = ToAddress(peer.address, peer.port);
  connected_ =
      ::connect(Handle(handle_), reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0;
  if (connected_) peer_ = peer;
  return connected_;
}

bool UdpSocket::Disconnect() {
  if (handle_ == -1 || !connected_) return false;
  sockaddr_in none{};  // an all-zero address dissolves the association
  if (::connect(Handle(handle_), reinterpret_cast<const sockaddr*>(&none), sizeof none) != 0)
    return false;
  connected_ = false;
  return true;
}

bool UdpSocket::AcceptOnly(const Ipv4Endpoint*, int) { return false; }

bool UdpSocket::SendTo(const Ipv4Endpoint& to, const std::uint8_t* data, std::size_t size) {
  if (handle_ == -1 || (connected_ && !(to == peer_))) return false;
  if (connected_)
    return ::send(Handle(handle_), reinterpret_cast<const char*>(data), static_cast<int>(size),
                  0) == static_cast<int>(size);
  sockaddr_in remote = ToAddress(to.address, to.port);
  return ::sendto(Handle(handle_), reinterpret_cast<const char*>(data), static_cast<int>(size), 0,
                  reinterpret_cast<const sockaddr*>(&remote),
                  sizeof remote) == static_cast<int>(size);
}

int UdpSocket::ReceiveBatch(std::uint8_t* buffer, std::size_t slotSize, ReceivedDatagram* datagrams,
                            int count) {
  if (handle_ == -1 || count <= 0) return -1;
  int taken = 0;
  while (taken < count) {
    sockaddr_in remote{};
    int length = sizeof remote;
    char* slot = reinterpret_cast<char*>(buffer + static_cast<std::size_t>(taken) * slotSize);
    const int received = ::recvfrom(Handle(handle_), slot, static_cast<int>(slotSize), 0,
                                    reinterpret_cast<sockaddr*>(&remote), &length);
    bool truncated = false;
    if (received == SOCKET_ERROR) {
      const int error = WSAGetLastError();
      if (error == WSAEWOULDBLOCK) break;
      if (error != WSAEMSGSIZE) return taken;  // a reported error ends the batch
      truncated = true;
    }
    ReceivedDatagram& datagram = datagrams[taken++];
    datagram.size = truncated ? slotSize : static_cast<std::size_t>(received);
    datagram.truncated = truncated;
    datagram.from.address = ntohl(remote.sin_addr.s_addr);
    datagram.from.port = ntohs(remote.sin_port);
  }
  return taken == 0 ? -1 : taken;
}

}  // namespace standin
