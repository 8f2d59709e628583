// CMediaHandlerImpl: object plumbing, the channel table lookups, the default
// virtual operations, the local address and the free receive port search.
#include "media/media_handler_impl.h"

#include <algorithm>
#include <cstring>

#include "platform/sockets.h"
#include "platform/trace.h"

CMediaHandlerImpl::CMediaHandlerImpl() = default;

CMediaHandlerImpl::~CMediaHandlerImpl() = default;

HRESULT CMediaHandlerImpl::QueryInterface(REFIID riid, void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMediaHandler)) {
    *ppvObject = static_cast<IMediaHandler*>(this);
    AddRef();
    return S_OK;
  }
  *ppvObject = nullptr;
  return E_NOINTERFACE;
}

ULONG CMediaHandlerImpl::AddRef() { return ++references_; }

ULONG CMediaHandlerImpl::Release() {
  ULONG remaining = --references_;
  if (remaining == 0) delete this;
  return remaining;
}

HRESULT CMediaHandlerImpl::GetChannelState(LONG channelId, ChannelState** state) {
  if (!state) return E_POINTER;
  auto found = channels_.find(channelId);
  if (found == channels_.end()) return E_INVALIDARG;
  *state = &found->second;
  return S_OK;
}

void CMediaHandlerImpl::EnterChannel(LONG channelId) { channels_.try_emplace(channelId); }

bool CMediaHandlerImpl::RemoveChannel(LONG channelId) { return channels_.erase(channelId) != 0; }

HRESULT CMediaHandlerImpl::GetSupportedPayloadTypes(CT_MEDIA_TYPE, PayloadTypeList* formats) {
  if (!formats) return E_POINTER;
  formats->clear();
  return S_OK;
}

HRESULT CMediaHandlerImpl::GetDefaultPacketTime(CT_MEDIA_TYPE, platform::OleStringView,
                                                LONG* milliseconds) {
  platform::Trace("CMediaHandlerImpl::GetDefaultPacketTime\n");
  if (!milliseconds) return E_POINTER;
  *milliseconds = 0;
  return S_OK;
}

bool CMediaHandlerImpl::IsPortInUse(std::uint32_t port) {
  return std::any_of(channels_.begin(), channels_.end(),
                     [port](const auto& entry) { return entry.second.receivePort == port; });
}

HRESULT CMediaHandlerImpl::GetLocalAddress(BSTR* address) {
  if (!address) return E_POINTER;
  if (!network_) return E_UNEXPECTED;
  SysFreeString(*address);
  *address = nullptr;
  // A host that cannot tell its address leaves it empty; the line then
  // carries an empty connection address, which the host's SDP layer reports.
  network_->get_LocalIp(address);
  return S_OK;
}

namespace {

constexpr std::uint32_t kLastPort = 65535;

HRESULT LastSocketError() {
  int error = WSAGetLastError();
  if (error > 0)
    return static_cast<HRESULT>(0x80070000u | (static_cast<std::uint32_t>(error) & 0xFFFFu));
  return static_cast<HRESULT>(error);
}

// Whether a UDP socket can bind 127.0.0.1:port; a socket that cannot be
// created at all is reported through *failure (always a failure code).
bool CanBindLoopback(std::uint16_t port, HRESULT* failure) {
  SOCKET probe = socket(AF_INET, SOCK_DGRAM, 0);
  if (probe == INVALID_SOCKET) {
    HRESULT error = LastSocketError();
    *failure = FAILED(error) ? error : E_FAIL;
    return false;
  }
  sockaddr_in address;
  std::memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool bound = bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  closesocket(probe);
  return bound;
}

}  // namespace

HRESULT CMediaHandlerImpl::FindFreePort(std::uint32_t firstPort, std::uint32_t lastPort,
                                        std::uint16_t* port) {
  if (!port) return E_POINTER;
  platform::EnsureSocketsStarted();
  // 32-bit counting with the end capped at the last port number: stepping by
  // 2 can neither wrap nor run forever, whatever the start and end are.
  lastPort = std::min(lastPort, kLastPort);
  for (std::uint32_t candidate = firstPort; candidate <= lastPort; candidate += 2) {
    if (candidate == 0 || IsPortInUse(candidate)) continue;
    HRESULT failure = S_OK;
    if (CanBindLoopback(static_cast<std::uint16_t>(candidate), &failure)) {
      *port = static_cast<std::uint16_t>(candidate);
      return S_OK;
    }
    if (failure != S_OK) return failure;
  }
  return E_FAIL;
}
