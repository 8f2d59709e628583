#include "tools/negotiation_session.h"

#include <cstdio>

#include "platform/bstr.h"
#include "platform/sockets.h"

namespace tools {
namespace {

std::vector<std::string> SplitCodecList(const std::string& list) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    std::string name = list.substr(start, comma - start);
    size_t first = name.find_first_not_of(" \t");
    size_t last = name.find_last_not_of(" \t");
    if (first != std::string::npos) names.push_back(name.substr(first, last - first + 1));
    start = comma + 1;
  }
  return names;
}

bool ParsePort(const std::string& text, std::uint32_t* port) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  unsigned long value = std::stoul(text);
  if (value > 65535) return false;
  *port = static_cast<std::uint32_t>(value);
  return true;
}

}  // namespace

bool ParseNegotiationOptions(const Arguments& args, bool acceptsFile, NegotiationOptions* options,
                             std::string* error) {
  *options = NegotiationOptions();
  std::string prefer = kDefaultPreferredCodecs;
  bool fileGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    bool takesValue = arg == "--prefer" || arg == "--ip" || arg == "--port";
    if (takesValue && i + 1 >= args.size()) {
      *error = "option " + arg + " needs a value";
      return false;
    }
    if (arg == "--prefer") {
      prefer = args[++i];
    } else if (arg == "--ip") {
      options->ip = args[++i];
      if (options->ip.empty()) {
        *error = "--ip needs an address";
        return false;
      }
    } else if (arg == "--port") {
      if (!ParsePort(args[++i], &options->port)) {
        *error = "--port needs a number from 0 to 65535, not '" + args[i] + "'";
        return false;
      }
    } else if (acceptsFile && !fileGiven && (arg == "-" || arg.rfind('-', 0) != 0)) {
      options->file = arg;
      fileGiven = true;
    } else {
      *error = "unexpected argument '" + arg + "'";
      return false;
    }
  }
  options->preferredCodecs = SplitCodecList(prefer);
  if (options->ip.empty()) options->ip = platform::FirstNonLoopbackIpv4Address();
  if (options->ip.empty()) options->ip = "127.0.0.1";
  return true;
}

std::string HresultText(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

NegotiationSession::~NegotiationSession() {
  if (!handler_) return;
  for (LONG channel : channels_) handler_->ReleaseChannel(channel);
}

HRESULT NegotiationSession::Start(const NegotiationOptions& options) {
  network_ = host::ReferenceNetwork::Create();
  network_->Settings().local_ip = platform::NarrowToWide(options.ip);
  network_->Settings().preferred_audio_rtp_port = static_cast<LONG>(options.port);
  handler_ = CGipsMediaHandler::Create();
  for (const std::string& name : options.preferredCodecs) {
    HRESULT hr = handler_->AddPreferredAudioFormat(platform::BString(name).Get());
    if (FAILED(hr)) return hr;
  }
  return handler_->Init(network_.Get());
}

HRESULT NegotiationSession::ReserveChannel(LONG* channel) {
  VARIANT_BOOL reserved = VARIANT_FALSE;
  HRESULT hr = handler_->ReserveChannel(channel, VARIANT_FALSE, nullptr, &reserved);
  if (FAILED(hr)) return hr;
  if (reserved != VARIANT_TRUE) return kMediaChannelFailure;
  channels_.push_back(*channel);
  return S_OK;
}

}  // namespace tools
