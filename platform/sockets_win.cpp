#include "platform/sockets.h"

namespace platform {

bool EnsureSocketsStarted() {
  // One WSAStartup for the life of the process; the matching WSACleanup is
  // left to process exit, when Winsock tears itself down.
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

std::string FirstNonLoopbackIpv4Address() {
  if (!EnsureSocketsStarted()) return {};
  char host[256] = {};
  if (gethostname(host, sizeof host) != 0) return {};
  addrinfo hints = {};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* results = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &results) != 0) return {};
  std::string found;
  for (const addrinfo* entry = results; entry && found.empty(); entry = entry->ai_next) {
    if (entry->ai_family != AF_INET || !entry->ai_addr) continue;
    in_addr address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr;
    if ((ntohl(address.s_addr) >> 24) == 127) continue;
    char text[INET_ADDRSTRLEN] = {};
    if (inet_ntop(AF_INET, &address, text, sizeof text)) found = text;
  }
  freeaddrinfo(results);
  return found;
}

}  // namespace platform
