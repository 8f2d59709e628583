#include "engine/standin/udp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/filter.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace standin {
namespace {

sockaddr_in ToAddress(std::uint32_t address, std::uint16_t port) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_addr.s_addr = htonl(address);
  result.sin_port = htons(port);
  return result;
}

// One instruction of a classic BPF program; `yes` and `no` skip that many
// instructions after a comparison.
sock_filter Bpf(int code, std::uint32_t k, int yes = 0, int no = 0) {
  return sock_filter{static_cast<std::uint16_t>(code), static_cast<std::uint8_t>(yes),
                     static_cast<std::uint8_t>(no), k};
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
  connected_ = false;
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

bool UdpSocket::SetReceiveBufferSize(int bytes) {
  return handle_ >= 0 &&
         ::setsockopt(static_cast<int>(handle_), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0;
}

bool UdpSocket::Connect(const Ipv4Endpoint& peer) {
  if (handle_ < 0) return false;
  sockaddr_in remote = ToAddress(peer.address, peer.port);
  connected_ = ::connect(static_cast<int>(handle_), reinterpret_cast<const sockaddr*>(&remote),
                         sizeof remote) == 0;
  if (connected_) peer_ = peer;
  return connected_;
}

bool UdpSocket::Disconnect() {
  if (handle_ < 0 || !connected_) return false;
  sockaddr none{};
  none.sa_family = AF_UNSPEC;  // dissolves the association; the local port stays
  if (::connect(static_cast<int>(handle_), &none, sizeof none) != 0) return false;
  connected_ = false;
  return true;
}

bool UdpSocket::AcceptOnly(const Ipv4Endpoint* sources, int count) {
  if (handle_ < 0) return false;
  const int fd = static_cast<int>(handle_);
  if (count <= 0) {
    const int unused = 0;  // the option takes no value, but the call wants an int's length
    return ::setsockopt(fd, SOL_SOCKET, SO_DETACH_FILTER, &unused, sizeof unused) == 0 ||
           errno == ENOENT;  // none was set
  }
  // A classic BPF program run on each datagram as it reaches the socket,
  // where the packet starts at the UDP header: source port at 0, the IP
  // header's source address at SKF_NET_OFF + 12. Per source, when the
  // address differs skip to the next source; otherwise compare the port
  // (unless any port will do) and keep the datagram on a match.
  constexpr std::uint32_t kKeep = 0xFFFFFFFF, kDrop = 0;
  constexpr auto kSourceAddress = static_cast<std::uint32_t>(SKF_NET_OFF + 12);
  std::vector<sock_filter> program;
  for (int i = 0; i < count; ++i) {
    const bool anyPort = sources[i].port == 0;
    program.push_back(Bpf(BPF_LD | BPF_W | BPF_ABS, kSourceAddress));
    program.push_back(Bpf(BPF_JMP | BPF_JEQ | BPF_K, sources[i].address, 0, anyPort ? 1 : 3));
    if (!anyPort) {
      program.push_back(Bpf(BPF_LD | BPF_H | BPF_ABS, 0));
      program.push_back(Bpf(BPF_JMP | BPF_JEQ | BPF_K, sources[i].port, 0, 1));
    }
    program.push_back(Bpf(BPF_RET | BPF_K, kKeep));
  }
  program.push_back(Bpf(BPF_RET | BPF_K, kDrop));
  const sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
  return ::setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &filter, sizeof filter) == 0;
}

bool UdpSocket::SendTo(const Ipv4Endpoint& to, const std::uint8_t* data, std::size_t size) {
  if (handle_ < 0 || (connected_ && !(to == peer_))) return false;
  if (connected_)
    return ::send(static_cast<int>(handle_), data, size, MSG_NOSIGNAL) ==
           static_cast<ssize_t>(size);
  sockaddr_in remote = ToAddress(to.address, to.port);
  return ::sendto(static_cast<int>(handle_), data, size, MSG_NOSIGNAL,
                  reinterpret_cast<const sockaddr*>(&remote),
                  sizeof remote) == static_cast<ssize_t>(size);
}

int UdpSocket::ReceiveBatch(std::uint8_t* buffer, std::size_t slotSize, ReceivedDatagram* datagrams,
                            int count) {
  constexpr int kMaxBatch = 64;
  if (handle_ < 0 || count <= 0) return -1;
  count = count < kMaxBatch ? count : kMaxBatch;
  mmsghdr messages[kMaxBatch]{};
  iovec vectors[kMaxBatch];
  sockaddr_in sources[kMaxBatch];
  for (int i = 0; i < count; ++i) {
    vectors[i] = iovec{buffer + static_cast<std::size_t>(i) * slotSize, slotSize};
    messages[i].msg_hdr.msg_iov = &vectors[i];
    messages[i].msg_hdr.msg_iovlen = 1;
    messages[i].msg_hdr.msg_name = &sources[i];
    messages[i].msg_hdr.msg_namelen = sizeof sources[i];
  }
  const int received = ::recvmmsg(static_cast<int>(handle_), messages, static_cast<unsigned>(count),
                                  MSG_DONTWAIT, nullptr);
  if (received < 0) return errno == EAGAIN || errno == EWOULDBLOCK ? -1 : 0;
  for (int i = 0; i < received; ++i) {
    const msghdr& header = messages[i].msg_hdr;
    datagrams[i].size = messages[i].msg_len < slotSize ? messages[i].msg_len : slotSize;
    datagrams[i].truncated = (header.msg_flags & MSG_TRUNC) != 0;
    datagrams[i].from.address = ntohl(sources[i].sin_addr.s_addr);
    datagrams[i].from.port = ntohs(sources[i].sin_port);
  }
  return received;
}

}  // namespace standin
