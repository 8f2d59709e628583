// Feeds arbitrary text, read as an SDP offer by the reference host, to the
// media handler's negotiation: AnyCommonFormat and AddAnswerMediaDescription
// for each media line, plus the packet time and the peer address choice.
// The handler runs over the stand-in engine with a fixed preference list;
// each input gets a fresh channel so that nothing carries over.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "host/reference_media_state.h"
#include "host/reference_network.h"
#include "host/sdp_document.h"
#include "media/gips_media_handler.h"
#include "platform/bstr.h"

namespace {

struct Negotiator {
  Negotiator() {
    for (const char* name : {"G722", "AMR-WB", "PCMU", "PCMA", "G729", "CN", "telephone-event"})
      handler->AddPreferredAudioFormat(platform::BString(name).Get());
    handler->Init(network.Get());
    handler->SetSilenceSuppression(VARIANT_TRUE);
  }
  platform::ComPtr<host::ReferenceNetwork> network = host::ReferenceNetwork::Create();
  platform::ComPtr<CGipsMediaHandler> handler = CGipsMediaHandler::Create();
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 64 * 1024) return 0;
  static Negotiator negotiator;
  CGipsMediaHandler& handler = *negotiator.handler;
  auto parsed =
      host::SdpDocument::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!parsed.Ok()) return 0;
  auto offer = std::move(parsed).Value();

  LONG channel = -1;
  VARIANT_BOOL reserved = VARIANT_FALSE;
  if (FAILED(handler.ReserveChannel(&channel, VARIANT_FALSE, nullptr, &reserved)) || !reserved)
    return 0;
  ChannelState* state = nullptr;
  // A receive port already chosen spares each input the port probe.
  if (SUCCEEDED(handler.GetChannelState(channel, &state))) state->receivePort = 40000;

  auto answer = host::SdpDocument::CreateOutgoing("192.0.2.1", 1, 1);
  auto mediaState = host::ReferenceMediaState::Create();
  mediaState->SetChannelId(channel);
  LONG count = 0;
  offer->get_MediaCount(&count);
  for (LONG index = 0; index < count && index < 16; ++index) {
    VARIANT_BOOL any = VARIANT_FALSE;
    handler.AnyCommonFormat(offer.Get(), index, &any);
    mediaState->SetAnyCommonFormat(any);
    mediaState->SetTerminated(index == 3 ? VARIANT_TRUE : VARIANT_FALSE);
    handler.AddAnswerMediaDescription(offer.Get(), index, mediaState.Get(), answer.Get());
    LONG milliseconds = 0;
    handler.GetPacketTime(CT_MEDIA_AUDIO, MEDLEY_OLESTR("PCMU"), offer.Get(), index, &milliseconds);
    platform::BString address;
    std::uint16_t port = 0;
    handler.SelectSendAddress(offer.Get(), answer.Get(), index, address.Receive(), &port);
  }
  (void)answer->Print();
  handler.ReleaseChannel(channel);
  return 0;
}
