// The object through the real COM runtime: creation by ProgID, its
// interfaces and reference count, the module's unload answer, the receive
// port search over real Winsock, and a whole call between two objects.
#include <string>
#include <vector>

#include "host/call_session.h"
#include "host/reference_media_state.h"
#include "host/reference_network.h"
#include "host/sdp_document.h"
#include "medley/audio_control.h"
#include "medley/media_handler.h"
#include "platform/com_ptr.h"
#include "platform/message_queue.h"
#include "platform/sockets.h"
#include "tests/support/free_port.h"
#include "tests/wine/wine_checks.h"

namespace wine_tests {

namespace {

using platform::ComPtr;

ComPtr<IMediaHandler> CreateByProgId(Checks& checks, const wchar_t* progId) {
  CLSID clsid = {};
  HRESULT hr = CLSIDFromProgID(progId, &clsid);
  checks.Expect(SUCCEEDED(hr) && IsEqualCLSID(clsid, CLSID_GipsMediaHandler),
                "CLSIDFromProgID " + Narrow(progId), Hex(hr));
  ComPtr<IMediaHandler> handler;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IMediaHandler,
                        handler.ReceiveVoid());
  checks.ExpectHr(hr, S_OK, "CoCreateInstance by " + Narrow(progId));
  return handler;
}

HRESULT CanUnloadNow() {
  HMODULE module = GetModuleHandleW(L"medley.dll");
  auto canUnloadNow = module ? reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(
                                   GetProcAddress(module, "DllCanUnloadNow")))
                             : nullptr;
  return canUnloadNow ? canUnloadNow() : E_FAIL;
}

// The port of the audio line an offer from a new object writes.
LONG OfferedPort(Checks& checks) {
  ComPtr<IMediaHandler> handler = CreateByProgId(checks, L"Medley.GipsMediaHandler");
  if (!handler) return -1;
  auto network = host::ReferenceNetwork::Create();
  auto state = host::ReferenceMediaState::Create();
  auto offer = host::SdpDocument::CreateOutgoing("127.0.0.1", 1, 1);
  LONG channel = -1;
  VARIANT_BOOL ok = VARIANT_FALSE;
  if (FAILED(handler->Init(network.Get())) ||
      FAILED(handler->ReserveChannel(&channel, VARIANT_TRUE, nullptr, &ok)))
    return -1;
  state->SetChannelId(channel);
  HRESULT hr =
      handler->AddOfferMediaDescription(CT_MEDIA_AUDIO, state->AsMediaState(), offer.Get());
  handler->ReleaseChannel(channel);
  if (FAILED(hr) || offer->Session().media.empty()) return -1;
  return offer->Session().media.front().port;
}

// The DTMF gate of a sending channel: a key, its release, a second key
// within 200 ms (dropped without being read), and once the one-shot window
// timer has fired the gate is open again (so 'A', no key, is refused).
void CheckToneGate(Checks& checks, const tools::CallParty& party) {
  ComPtr<IAudioControl> audio;
  if (!checks.Expect(SUCCEEDED(party.handler.As(&audio)), "tone: IAudioControl")) return;
  checks.ExpectHr(audio->StartDtmfTone('5', party.channel), S_OK, "tone: key 5 while sending");
  checks.ExpectHr(audio->StopDtmfTone(party.channel), S_OK, "tone: key released");
  checks.ExpectHr(audio->StartDtmfTone('A', party.channel), S_OK,
                  "tone: a key within 200 ms is dropped");
  platform::PumpMessagesFor(300);
  checks.ExpectHr(audio->StartDtmfTone('A', party.channel), E_INVALIDARG,
                  "tone: after the timer fired the next key is read");
}

}  // namespace

void CheckObject(Checks& checks) {
  ComPtr<IMediaHandler> handler = CreateByProgId(checks, L"Medley.GipsMediaHandler.1");
  if (!handler) return;
  checks.ExpectHr(CanUnloadNow(), S_FALSE, "DllCanUnloadNow while an object lives");

  ComPtr<IUnknown> unknown;
  ComPtr<IMediaHandlerEx> extended;
  ComPtr<IAudioControl> audio;
  checks.Expect(SUCCEEDED(handler.As(&unknown)) &&
                    static_cast<void*>(unknown.Get()) == static_cast<void*>(handler.Get()),
                "IUnknown is the IMediaHandler pointer");
  checks.Expect(SUCCEEDED(handler.As(&extended)) &&
                    static_cast<void*>(extended.Get()) != static_cast<void*>(handler.Get()),
                "IMediaHandlerEx has its own pointer");
  HRESULT hr = handler.As(&audio);
  checks.Expect(hr == S_OK &&
                    static_cast<void*>(audio.Get()) != static_cast<void*>(handler.Get()) &&
                    static_cast<void*>(audio.Get()) != static_cast<void*>(extended.Get()),
                "IAudioControl has its own pointer", Hex(hr));
  // Held: handler, unknown, extended and audio; one count for all.
  checks.Expect(audio && audio->AddRef() == 5 && extended->Release() == 4,
                "one reference count for every interface");
  void* factory = nullptr;
  checks.ExpectHr(handler->QueryInterface(IID_IClassFactory, &factory), E_NOINTERFACE,
                  "QueryInterface IClassFactory on the object");

  auto sdp = host::SdpDocument::CreateOutgoing("127.0.0.1", 1, 1);
  auto state = host::ReferenceMediaState::Create();
  checks.ExpectHr(
      extended->AddOfferMediaDescription(CT_MEDIA_AUDIO, state->AsMediaState(), sdp.Get()),
      E_UNEXPECTED, "AddOfferMediaDescription before Init");
  auto network = host::ReferenceNetwork::Create();
  checks.ExpectHr(extended->Init(network.Get()), S_OK, "Init through IMediaHandlerEx");
  checks.Expect(network->Settings().voice_engine != nullptr, "Init hands the engine to the host");
  auto other = host::ReferenceNetwork::Create();
  checks.Expect(handler->Init(other.Get()) == S_OK && other->TotalCallCount() == 0,
                "a second Init does nothing");
  BSTR version = nullptr;
  hr = handler->get_Version(&version);
  checks.Expect(hr == S_OK && SysStringLen(version) > 0, "Version \"" + Narrow(version) + "\"");
  SysFreeString(version);
  checks.ExpectHr(extended->SetReserved(42), S_OK, "IMediaHandlerEx::SetReserved");

  handler.Reset();
  unknown.Reset();
  extended.Reset();
  audio.Reset();
  checks.ExpectHr(CanUnloadNow(), S_OK, "DllCanUnloadNow once every object is gone");
}

void CheckPortProbe(Checks& checks) {
  if (!checks.Expect(platform::EnsureSocketsStarted(), "Winsock starts")) return;
  LONG free = OfferedPort(checks);
  checks.Expect(free >= 40000 && free % 2 == 0, "an offer takes a free even port from 40000",
                std::to_string(free));
  // Occupy that port on 127.0.0.1: the next offer must step over it.
  SOCKET busy = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(free));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool bound = busy != INVALID_SOCKET &&
               bind(busy, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  if (checks.Expect(bound, "the test holds port " + std::to_string(free))) {
    LONG next = OfferedPort(checks);
    checks.Expect(next == free + 2, "the search steps over a busy port",
                  std::to_string(free) + " then " + std::to_string(next));
  }
  if (busy != INVALID_SOCKET) closesocket(busy);
}

void CheckWholeCall(Checks& checks) {
  tools::CallParty caller;
  tools::CallParty callee;
  caller.name = "caller";
  callee.name = "callee";
  caller.handler = CreateByProgId(checks, L"Medley.GipsMediaHandler");
  callee.handler = CreateByProgId(checks, L"Medley.GipsMediaHandler");
  if (!caller.handler || !callee.handler) return;
  caller.preferredCodecs = {"PCMU", "PCMA", "telephone-event"};
  callee.preferredCodecs = {"PCMA", "PCMU", "telephone-event"};
  // Each side starts its port search at a port of its own, free a moment ago.
  const std::vector<int> ports = test_support::FreeRtpPorts(2);
  if (!checks.Expect(ports.size() == 2, "call: two free loopback ports")) return;
  caller.network->Settings().preferred_audio_rtp_port = ports[0];
  callee.network->Settings().preferred_audio_rtp_port = ports[1];
  tools::CallSession session(caller, callee, [&checks](const tools::CallStep& step) {
    if (step.operation != "AddPreferredAudioFormat")
      checks.ExpectHr(step.result, S_OK, "call: " + step.party + " " + step.operation);
  });
  if (FAILED(session.Prepare(caller)) || FAILED(session.Prepare(callee))) return;
  HRESULT connected = session.Connect();
  const auto& offered = session.Offer().Session().media;
  const auto& answered = session.Answer().Session().media;
  const std::string offerFormats =
      offered.empty() ? "(none)" : platform::WideToNarrow(offered.front().formats);
  const std::string answerFormats =
      answered.empty() ? "(none)" : platform::WideToNarrow(answered.front().formats);
  checks.Expect(offerFormats == "0 8 101" && answerFormats == "8 0 101",
                "call: offer and answer in each side's preference order",
                offerFormats + " / " + answerFormats);
  if (checks.ExpectHr(connected, S_OK, "call: connected")) CheckToneGate(checks, caller);
  checks.ExpectHr(session.HangUp(), S_OK, "call: hung up");
  checks.Expect(caller.channel == -1 && callee.channel == -1, "call: both channels released");
}

}  // namespace wine_tests
