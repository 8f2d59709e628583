// A SIP user agent on libre's SIP stack (sip, sipsess, sipreg and its event
// loop) whose calls carry their audio through the plug-in: each call has a
// PhoneMedia on one handler object shared by all calls.
//
// SIP behaviour: the offer may come in the INVITE or, for an INVITE without
// a body, in our 200 OK (the answer then comes in the ACK); re-INVITEs put
// the call on hold and resume it; CANCEL before answer; BYE from either
// side. Refusals: 400 for a body that is not SDP or has no audio line, 488
// when no codec is common, 486 when the engine has no channel left. A BYE or
// CANCEL for an unknown dialog is answered by libre (481).
//
// Every call event is handed to the event sink as one line, "call N ..."
// (see PhoneEvent in sip_phone.cpp for the words). Everything runs on the
// thread that calls Run, which must be the thread that created the handler:
// the loop pumps that thread's messages so the plug-in's tone timer runs.
// One SipPhone per process (libre keeps its loop in process state).
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>

#include "medley/media_handler.h"

struct sip;
struct sipsess_sock;
struct sipreg;
struct sip_lsnr;

namespace host {

struct PhoneCall;

struct PhoneOptions {
  std::string listen = "127.0.0.1:0";  // local SIP address, "ADDR:PORT"
  bool autoAnswer = false;             // else calls ring until Enter is pressed on standard input
  std::string playFile;                // WAV sent into the first call (else the microphone)
  std::string recordFile;              // WAV recording of the first call's conversation, both ways
  std::string dtmf;                    // keys pressed once each call is up
  int seconds = 0;                     // hang up calls after this long; 0: no limit
  std::string user = "medley";         // our user name (and the digest user)
  std::string password;
  std::string registrar;  // "sip:HOST[:PORT]"; empty: no registration
};

class SipPhone {
 public:
  using EventSink = std::function<void(const std::string& line)>;
  using Pump = std::function<void()>;

  // `handler` is initialised and outlives the phone; `pump` dispatches the
  // handler thread's waiting messages without blocking.
  SipPhone(IMediaHandler* handler, PhoneOptions options, EventSink events, Pump pump);
  ~SipPhone();
  SipPhone(const SipPhone&) = delete;
  SipPhone& operator=(const SipPhone&) = delete;

  // Opens the SIP socket and starts registering. 0 or an errno value;
  // `error` says what failed.
  int Start(std::string* error);
  // Calls `uri`; the phone stops when that call has ended.
  int Dial(const std::string& uri);
  // Runs the event loop until Stop, a signal (SIGINT, SIGTERM: every call is
  // hung up first), the end of the dialled call or a refused registration.
  // Answers the process exit status: 0 unless the dialled call was not set
  // up or did not end normally, or the registration was refused.
  int Run();
  void Stop();

  // Implementation hooks for libre's C callbacks.
  struct Hooks;

 private:
  friend struct Hooks;
  PhoneCall* NewCall(bool incoming, const std::string& peer);
  void Finish(PhoneCall* call);
  void ReapFinished();
  void HangUpAll();
  // Starts the played and recorded files on the first call that is up.
  void StartStreams(PhoneCall* call);
  // (Re)starts the played file from its beginning.
  void StartPlaying(PhoneCall* call);
  void Emit(const PhoneCall* call, const std::string& text);

  IMediaHandler* handler_;
  PhoneOptions options_;
  EventSink events_;
  Pump pump_;
  std::string localIp_;
  uint16_t localPort_ = 0;
  ::sip* sip_ = nullptr;
  ::sipsess_sock* sessionSocket_ = nullptr;
  ::sipreg* registration_ = nullptr;
  std::list<std::unique_ptr<PhoneCall>> calls_;
  std::list<std::unique_ptr<PhoneCall>> finished_;
  int nextCallId_ = 1;
  bool dialling_ = false;  // a dialled call ends the loop when it ends
  int exitStatus_ = 0;
  bool stdinWatched_ = false;
  bool registered_ = false;
  bool streamsTaken_ = false;  // the files went to a call already
  struct Timers;
  std::unique_ptr<Timers> timers_;
};

}  // namespace host
