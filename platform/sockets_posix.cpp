#include <ifaddrs.h>
#include <net/if.h>
#include <unistd.h>

#include <cerrno>

#include "platform/sockets.h"

int closesocket(SOCKET socket) { return close(socket); }

int WSAGetLastError() { return errno; }

namespace platform {

bool EnsureSocketsStarted() { return true; }

std::string FirstNonLoopbackIpv4Address() {
  ifaddrs* interfaces = nullptr;
  if (getifaddrs(&interfaces) != 0) return {};
  std::string found;
  for (const ifaddrs* entry = interfaces; entry && found.empty(); entry = entry->ifa_next) {
    if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
    if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
    in_addr address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr;
    if ((ntohl(address.s_addr) >> 24) == 127) continue;
    char text[INET_ADDRSTRLEN] = {};
    if (inet_ntop(AF_INET, &address, text, sizeof text)) found = text;
  }
  freeifaddrs(interfaces);
  return found;
}

}  // namespace platform
