// UDP sockets under their Winsock names (SOCKET, INVALID_SOCKET, socket,
// bind, closesocket, WSAGetLastError), and the local IPv4 address lookup the
// command-line tool uses. On Windows these are the system's own; elsewhere
// the POSIX calls stand behind the same names and WSAGetLastError answers
// errno.
#pragma once

#include <string>

#include "medley/com_base.h"

#if defined(_WIN32)

#include <winsock2.h>
#include <ws2tcpip.h>

#else  // !_WIN32

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

using SOCKET = int;
constexpr SOCKET INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;

int closesocket(SOCKET socket);
// The error code of the calling thread's last failed socket call.
int WSAGetLastError();

#endif  // !_WIN32

namespace platform {

// Starts the socket library once per process (WSAStartup on Windows; nothing
// elsewhere). True when sockets can be used. Safe to call from any thread.
bool EnsureSocketsStarted();

// The dotted-decimal text of the first IPv4 address of this machine that is
// not a loopback address (127.0.0.0/8), in the order the system lists its
// interfaces; empty when there is none.
std::string FirstNonLoopbackIpv4Address();

}  // namespace platform
