#include "engine/standin/udp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace standin {
namespace {

sockaddr_in ToAddress(std::uint32_t address, std::uint16_t port) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_addr.s_addr = htonl(address);
  result.sin_port = htons(port);
  return result;
}

}  // namespace

bool ParseIpv4(const char* text, std::uint32_t* address) {
  in_addr parsed{};
  if (!text || inet_pton(AF_INET, text, &parsed) != 1) return false;
  *address = ntohl(parsed.s_addr);
  return true;
}

UdpSocket::~UdpSocket() { Close(); }

void UdpSocket::Close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
}

UdpSocket::BindResult UdpSocket::Bind(std::uint32_t address, std::uint16_t port) {
  Close();
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return BindResult::kFailed;
  sockaddr_in local = ToAddress(address, port);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    const int error = errno;
    ::close(fd);
    return error == EADDRINUSE ? BindResult::kInUse : BindResult::kFailed;
  }
  handle_ = fd;
  return BindResult::kBound;
}

bool UdpSocket::IsOpen() const { return handle_ >= 0; }

std::uint16_t UdpSocket::LocalPort() const {
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (handle_ < 0 ||
      ::getsockname(static_cast<int>(handle_), reinterpret_cast<sockaddr*>(&local), &length) != 0)
    return 0;
  return ntohs(local.sin_port);
}

bool UdpSocket::SetTos(int tos) {
  return handle_ >= 0 &&
         ::setsockopt(static_cast<int>(handle_), IPPROTO_IP, IP_TOS, &tos, sizeof tos) == 0;
}

bool UdpSocket::SendTo(const Ipv4Endpoint& to, const std::uint8_t* data, std::size_t size) {
  if (handle_ < 0) return false;
  sockaddr_in remote = ToAddress(to.address, to.port);
  return ::sendto(static_cast<int>(handle_), data, size, MSG_NOSIGNAL,
                  reinterpret_cast<const sockaddr*>(&remote),
                  sizeof remote) == static_cast<ssize_t>(size);
}

int UdpSocket::ReceiveFrom(std::uint8_t* buffer, std::size_t capacity, Ipv4Endpoint* from) {
  if (handle_ < 0) return -1;
  sockaddr_in remote{};
  socklen_t length = sizeof remote;
  ssize_t received = ::recvfrom(static_cast<int>(handle_), buffer, capacity, 0,
                                reinterpret_cast<sockaddr*>(&remote), &length);
  if (received < 0) return errno == EAGAIN || errno == EWOULDBLOCK ? -1 : 0;
  from->address = ntohl(remote.sin_addr.s_addr);
  from->port = ntohs(remote.sin_port);
  return static_cast<int>(received);
}

}  // namespace standin
