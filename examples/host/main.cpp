// answer_offer: a host's answer to an incoming call's SDP offer, made by the
// plug-in. Usage: answer_offer OFFER_FILE [LOCAL_IP]
//
// The walk-through of docs/integrating.md: create the component by ProgID,
// Init it with the host's network settings, tell it the preferred codecs,
// and for each offered audio line check for a common format, reserve a
// channel and let the plug-in write its answer line. Lines of other media are
// turned down with port 0. Prints the answer; exit status 0 when every step
// succeeded, 1 otherwise (with the failing step and its HRESULT on stderr).
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#if __has_include(<medley/activation.h>)
#include <medley/activation.h>  // CLSIDFromProgID, CoCreateInstance off Windows
#endif
#include <medley/audio_control.h>
#include <medley/media_handler.h>

#include "host_objects.h"
#include "sdp_document.h"

namespace {

// Holds one reference and releases it at the end of the scope.
template <typename T>
struct Ref {
  T* p = nullptr;
  ~Ref() {
    if (p) p->Release();
  }
  T* operator->() const { return p; }
};

bool Check(const char* step, HRESULT hr) {
  if (SUCCEEDED(hr)) return true;
  std::fprintf(stderr, "answer_offer: %s failed (0x%08X)\n", step, static_cast<unsigned>(hr));
  return false;
}

// Answers offered line `index` into `answer`; reserves a channel when the
// line can be answered and adds it to `channels`.
bool AnswerLine(IMediaHandler* handler, SdpDocument* offer, LONG index, SdpDocument* answer,
                std::vector<LONG>* channels) {
  const SdpMediaLine& offered = offer->media[static_cast<size_t>(index)];
  if (MediaTypeOf(offered.media) != CT_MEDIA_AUDIO) {
    SdpMediaLine rejected = offered;
    rejected.port = 0;
    rejected.connection = {};
    rejected.attributes.clear();
    answer->media.push_back(rejected);
    return true;
  }
  VARIANT_BOOL anyCommon = VARIANT_FALSE;
  if (!Check("AnyCommonFormat", handler->AnyCommonFormat(offer, index, &anyCommon))) return false;
  LONG channel = -1;
  if (anyCommon == VARIANT_TRUE && offered.port != 0) {
    VARIANT_BOOL reserved = VARIANT_FALSE;
    if (!Check("ReserveChannel",
               handler->ReserveChannel(&channel, VARIANT_FALSE, nullptr, &reserved)))
      return false;
    channels->push_back(channel);
  }
  // With nothing in common or a line the peer turned down, the plug-in
  // writes a rejected line (port 0).
  Ref<IMediaState> state{
      CreateHostMediaState(channel, anyCommon, offered.port == 0 ? VARIANT_TRUE : VARIANT_FALSE)};
  return Check("AddAnswerMediaDescription",
               handler->AddAnswerMediaDescription(offer, index, state.p, answer));
}

int Run(const std::string& offerText, const std::string& localIp) {
  std::string error;
  Ref<SdpDocument> offer{SdpDocument::Parse(offerText, &error)};
  if (!offer.p) {
    std::fprintf(stderr, "answer_offer: %s\n", error.c_str());
    return 1;
  }

  // The component, created by ProgID as it was registered (medley register,
  // or regsvr32 on Windows).
  CLSID clsid;
  if (!Check("CLSIDFromProgID", CLSIDFromProgID(MEDLEY_OLESTR("Medley.GipsMediaHandler"), &clsid)))
    return 1;
  Ref<IMediaHandler> handler;
  if (!Check("CoCreateInstance",
             CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IMediaHandler,
                              reinterpret_cast<void**>(&handler.p))))
    return 1;
  Ref<INetwork> network{CreateHostNetwork(localIp, 40000)};
  if (!Check("Init", handler->Init(network.p))) return 1;

  // The codecs this host prefers, best first.
  Ref<IAudioControl> audio;
  if (!Check("QueryInterface(IAudioControl)",
             handler->QueryInterface(IID_IAudioControl, reinterpret_cast<void**>(&audio.p))))
    return 1;
  for (const char* codec : {"G722", "PCMU", "PCMA", "telephone-event"}) {
    BSTR name = ToBstr(codec);
    HRESULT hr = audio->AddPreferredAudioFormat(name);
    SysFreeString(name);
    if (!Check("AddPreferredAudioFormat", hr)) return 1;
  }

  Ref<SdpDocument> answer{new SdpDocument()};
  answer->origin = "- 1 1 IN IP4 " + localIp;
  std::vector<LONG> channels;
  bool ok = true;
  for (LONG i = 0; ok && i < static_cast<LONG>(offer->media.size()); ++i)
    ok = AnswerLine(handler.p, offer.p, i, answer.p, &channels);
  if (ok) std::cout << answer->Print();

  // Hang up: a call that goes on would now start listening and playout.
  for (LONG channel : channels) handler->ReleaseChannel(channel);
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: answer_offer OFFER_FILE [LOCAL_IP]\n");
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "answer_offer: cannot read %s\n", argv[1]);
    return 1;
  }
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  CoInitialize(nullptr);
  int status = Run(text, argc == 3 ? argv[2] : "127.0.0.1");
  CoUninitialize();
  return status;
}
