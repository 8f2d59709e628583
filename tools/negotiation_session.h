// What the offer and answer commands share: their options and a media
// handler over the voice engine, initialised on a reference network the way a
// softphone host sets it up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/reference_network.h"
#include "media/gips_media_handler.h"
#include "platform/com_ptr.h"
#include "tools/commands.h"

namespace tools {

// Codec names in preference order when --prefer is not given.
constexpr const char* kDefaultPreferredCodecs =
    "G722,AMR-WB,PCMU,PCMA,G729,GSM,AMR,telephone-event";
constexpr std::uint32_t kDefaultRtpPort = 40000;

struct NegotiationOptions {
  std::vector<std::string> preferredCodecs;
  std::string ip;  // this endpoint's address
  std::uint32_t port = kDefaultRtpPort;
  std::string file;  // the offer to answer; empty or "-" for standard input
};

// Reads --prefer LIST, --ip ADDR, --port N and, when `acceptsFile`, one FILE.
// False with a one-line reason when the arguments are not usable. The
// default address is the first non-loopback IPv4 address, else 127.0.0.1.
bool ParseNegotiationOptions(const Arguments& args, bool acceptsFile, NegotiationOptions* options,
                             std::string* error);

// "0x80040066".
std::string HresultText(HRESULT hr);

// A handler preferring the options' codecs, initialised on a network whose
// local address and preferred audio RTP port come from the options. Channels
// reserved through it are released when it goes.
class NegotiationSession {
 public:
  NegotiationSession() = default;
  ~NegotiationSession();
  NegotiationSession(const NegotiationSession&) = delete;
  NegotiationSession& operator=(const NegotiationSession&) = delete;

  HRESULT Start(const NegotiationOptions& options);
  // A new channel; 0x80040066 when the engine refuses one.
  HRESULT ReserveChannel(LONG* channel);
  CGipsMediaHandler& Handler() { return *handler_; }

 private:
  platform::ComPtr<host::ReferenceNetwork> network_;
  platform::ComPtr<CGipsMediaHandler> handler_;
  std::vector<LONG> channels_;
};

}  // namespace tools
