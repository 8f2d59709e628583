#include <ostream>

#include "host/reference_media_state.h"
#include "host/sdp_document.h"
#include "tools/commands.h"
#include "tools/negotiation_session.h"

namespace tools {

int RunOffer(const Arguments& args, std::ostream& out, std::ostream& err) {
  NegotiationOptions options;
  std::string error;
  if (!ParseNegotiationOptions(args, false, &options, &error)) {
    err << "medley offer: " << error << " (see medley help offer)\n";
    return 2;
  }
  NegotiationSession session;
  HRESULT hr = session.Start(options);
  if (FAILED(hr)) {
    err << "medley offer: the media handler did not start (" << HresultText(hr) << ")\n";
    return 1;
  }
  LONG channel = -1;
  hr = session.ReserveChannel(&channel);
  if (FAILED(hr)) {
    err << "medley offer: no voice channel (" << HresultText(hr) << ")\n";
    return 1;
  }
  auto state = host::ReferenceMediaState::Create();
  state->SetChannelId(channel);
  auto offer = host::SdpDocument::CreateOutgoing(options.ip);
  hr = session.Handler().AddOfferMediaDescription(CT_MEDIA_AUDIO, state.Get(), offer.Get());
  if (FAILED(hr)) {
    err << "medley offer: writing the audio line failed (" << HresultText(hr) << ")\n";
    return 1;
  }
  out << offer->Print();
  return 0;
}

}  // namespace tools
