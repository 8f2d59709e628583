// Answering a 10-codec audio offer: the media handler through the reference
// host beside libre's SDP offer/answer, on the same offer text, in one run.
//
//   MedleyNegotiate   AnyCommonFormat + AddAnswerMediaDescription on a parsed
//                     offer, into a new answer document
//   MedleyTextToText  the same, with the offer parsed from text and the
//                     answer printed (what LibreDecodeEncode does)
//   LibreDecodeEncode sdp_decode of the offer into a session with the same
//                     local codecs, then sdp_encode of the answer
//
// Build with -DCMAKE_BUILD_TYPE=Release -DMEDLEY_BUILD_BENCH=ON and run
// sdp_answer_bench. libre (Debian libre-dev) is used here only.
// libre's headers take the standard integer and bool types from the system
// only when told the headers exist.
#define HAVE_INTTYPES_H 1
#define HAVE_STDBOOL_H 1
extern "C" {
#include <re.h>
}

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <string_view>

#include "host/reference_media_state.h"
#include "host/reference_network.h"
#include "host/sdp_document.h"
#include "media/gips_media_handler.h"
#include "platform/bstr.h"

namespace {

constexpr std::string_view kOffer =
    "v=0\r\n"
    "o=- 3917374740 3917374740 IN IP4 192.168.1.34\r\n"
    "s=softphone\r\n"
    "c=IN IP4 192.168.1.34\r\n"
    "t=0 0\r\n"
    "m=audio 58712 RTP/AVP 9 96 0 8 18 3 97 98 99 101\r\n"
    "a=rtpmap:9 G722/8000\r\n"
    "a=rtpmap:96 AMR-WB/16000\r\n"
    "a=fmtp:96 octet-align=1\r\n"
    "a=rtpmap:0 PCMU/8000\r\n"
    "a=rtpmap:8 PCMA/8000\r\n"
    "a=rtpmap:18 G729/8000\r\n"
    "a=fmtp:18 annexb=no\r\n"
    "a=rtpmap:3 GSM/8000\r\n"
    "a=rtpmap:97 AMR/8000\r\n"
    "a=rtpmap:98 iLBC/8000\r\n"
    "a=fmtp:98 mode=30\r\n"
    "a=rtpmap:99 speex/16000\r\n"
    "a=rtpmap:101 telephone-event/8000\r\n"
    "a=fmtp:101 0-16\r\n"
    "a=ptime:20\r\n"
    "a=sendrecv\r\n";

// The local codecs, in preference order, as both sides are configured.
struct LocalCodec {
  const char* name;
  const char* id;
  uint32_t clockRate;
};
constexpr LocalCodec kLocal[] = {{"G722", "9", 8000},  {"AMR-WB", "97", 16000},
                                 {"PCMU", "0", 8000},  {"PCMA", "8", 8000},
                                 {"G729", "18", 8000}, {"GSM", "3", 8000},
                                 {"AMR", "96", 8000},  {"telephone-event", "101", 8000}};

class MedleyAnswerer {
 public:
  MedleyAnswerer() {
    for (const LocalCodec& codec : kLocal)
      handler_->AddPreferredAudioFormat(platform::BString(codec.name).Get());
    handler_->Init(network_.Get());
    VARIANT_BOOL reserved = VARIANT_FALSE;
    handler_->ReserveChannel(&channel_, VARIANT_FALSE, nullptr, &reserved);
    state_->SetChannelId(channel_);
  }
  ~MedleyAnswerer() { handler_->ReleaseChannel(channel_); }

  // One answer line; false when the handler failed.
  bool Answer(host::SdpDocument* offer, host::SdpDocument* answer) {
    VARIANT_BOOL any = VARIANT_FALSE;
    if (FAILED(handler_->AnyCommonFormat(offer, 0, &any))) return false;
    state_->SetAnyCommonFormat(any);
    return SUCCEEDED(handler_->AddAnswerMediaDescription(offer, 0, state_.Get(), answer));
  }

 private:
  platform::ComPtr<host::ReferenceNetwork> network_ = host::ReferenceNetwork::Create();
  platform::ComPtr<host::ReferenceMediaState> state_ = host::ReferenceMediaState::Create();
  platform::ComPtr<CGipsMediaHandler> handler_ = CGipsMediaHandler::Create();
  LONG channel_ = -1;
};

void MedleyNegotiate(benchmark::State& state) {
  MedleyAnswerer answerer;
  auto offer = std::move(host::SdpDocument::Parse(kOffer)).Value();
  for (auto _ : state) {
    auto answer = host::SdpDocument::CreateOutgoing("127.0.0.1", 1, 1);
    if (!answerer.Answer(offer.Get(), answer.Get())) {
      state.SkipWithError("answer failed");
      break;
    }
    benchmark::DoNotOptimize(answer.Get());
  }
}

void MedleyTextToText(benchmark::State& state) {
  MedleyAnswerer answerer;
  for (auto _ : state) {
    auto parsed = host::SdpDocument::Parse(kOffer);
    auto answer = host::SdpDocument::CreateOutgoing("127.0.0.1", 1, 1);
    if (!parsed.Ok() || !answerer.Answer(parsed.Value().Get(), answer.Get())) {
      state.SkipWithError("answer failed");
      break;
    }
    std::string text = answer->Print();
    benchmark::DoNotOptimize(text.data());
  }
}

void LibreDecodeEncode(benchmark::State& state) {
  sa local;
  sa_set_str(&local, "127.0.0.1", 0);
  sdp_session* session = nullptr;
  sdp_media* media = nullptr;
  if (sdp_session_alloc(&session, &local) != 0 ||
      sdp_media_add(&media, session, "audio", 40000, "RTP/AVP") != 0) {
    state.SkipWithError("libre session");
    return;
  }
  for (const LocalCodec& codec : kLocal)
    sdp_format_add(nullptr, media, false, codec.id, codec.name, codec.clockRate, 1, nullptr,
                   nullptr, nullptr, false, nullptr);
  for (auto _ : state) {
    mbuf* offer = mbuf_alloc(kOffer.size());
    mbuf_write_mem(offer, reinterpret_cast<const uint8_t*>(kOffer.data()), kOffer.size());
    offer->pos = 0;
    mbuf* answer = nullptr;
    int error = sdp_decode(session, offer, true);
    if (error == 0) error = sdp_encode(&answer, session, false);
    if (error != 0) {
      state.SkipWithError("libre decode/encode failed");
      mem_deref(offer);
      break;
    }
    benchmark::DoNotOptimize(answer->buf);
    mem_deref(answer);
    mem_deref(offer);
  }
  mem_deref(session);
}

BENCHMARK(MedleyNegotiate);
BENCHMARK(MedleyTextToText);
BENCHMARK(LibreDecodeEncode);

}  // namespace

BENCHMARK_MAIN();
