// A whole audio call between two media handler objects, driven the way a
// softphone host drives its plug-in: the caller offers, the callee answers,
// both start their media, and both hang up. The host's side (network
// settings, SDP documents, media states) is the reference host's.
//
// The handlers are used only through their COM interfaces, so the objects may
// come from the entry points, from the COM runtime or from a loaded module.
// Every call made on a handler is recorded as a step with its result.
// Called on one thread, the handlers' apartment thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/reference_media_state.h"
#include "host/reference_network.h"
#include "host/sdp_document.h"
#include "medley/host_interfaces.h"
#include "platform/com_ptr.h"

namespace tools {

// One side of a call: the handler and the host objects kept for it.
struct CallParty {
  std::string name;  // in step records: "caller", "callee"
  platform::ComPtr<IMediaHandler> handler;
  platform::ComPtr<host::ReferenceNetwork> network = host::ReferenceNetwork::Create();
  platform::ComPtr<host::ReferenceMediaState> state = host::ReferenceMediaState::Create();
  // Codec names in preference order, handed over through IAudioControl.
  std::vector<std::string> preferredCodecs;
  LONG channel = -1;          // -1 while none is reserved
  bool mediaStarted = false;  // SetReceiveParameters was called on the channel
};

struct CallStep {
  std::string party;
  std::string operation;  // "ReserveChannel", "StartListen", ...
  HRESULT result;
};

class CallSession {
 public:
  using StepObserver = std::function<void(const CallStep&)>;

  // Both parties must outlive the session. `observer` sees each step as it
  // is made.
  CallSession(CallParty& caller, CallParty& callee, StepObserver observer = {});

  // Init with the party's network, then its preferred codecs through
  // IAudioControl (E_NOINTERFACE when the handler has none). Stops at the
  // first failure.
  HRESULT Prepare(CallParty& party);

  // The caller reserves a channel and writes its offer; the callee asks
  // whether anything is common, reserves a channel and writes its answer
  // (with port 0 when nothing is common); then each side sets its receive
  // parameters, listens, plays out, sets its send parameters from the peer's
  // description and sends (callee first). Stops at the first failure and
  // returns it; S_FALSE when the callee turned the line down (no media runs).
  HRESULT Connect();

  // Caller first, each party with a channel stops sending, playout and
  // listening (when its media was started) and releases the channel. Every
  // step runs; the first failure is returned.
  HRESULT HangUp();

  host::SdpDocument& Offer() { return *offer_; }
  host::SdpDocument& Answer() { return *answer_; }
  const std::vector<CallStep>& Steps() const { return steps_; }

 private:
  HRESULT Record(const CallParty& party, const char* operation, HRESULT result);
  HRESULT StartMedia(CallParty& party, host::SdpDocument* own, host::SdpDocument* peer);

  CallParty& caller_;
  CallParty& callee_;
  StepObserver observer_;
  platform::ComPtr<host::SdpDocument> offer_;
  platform::ComPtr<host::SdpDocument> answer_;
  std::vector<CallStep> steps_;
};

}  // namespace tools
