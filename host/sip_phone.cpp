#include "host/sip_phone.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "host/sip_phone_call.h"
#include "platform/bstr.h"

namespace host {

namespace {

// The host's audio format code for WAV streams.
constexpr LONG kWavFormat = 3;
// A pressed key is held this long, then released; the next key follows
// after the pause (the plug-in's tone gate needs 200 ms between presses).
constexpr uint64_t kKeyHoldMs = 160;
constexpr uint64_t kKeyPauseMs = 140;
// How often the loop pumps the handler thread's messages.
constexpr uint64_t kPumpMs = 10;
// Time left for BYEs and final responses to go out before the loop ends.
constexpr uint64_t kShutdownMs = 200;

const char* ReasonFor(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 486:
      return "Busy Here";
    case 488:
      return "Not Acceptable Here";
    default:
      return "Server Internal Error";
  }
}

std::string Text(const pl& value) { return std::string(value.p ? value.p : "", value.l); }

std::string Body(const sip_msg* msg) {
  if (!msg || !msg->mb) return {};
  return std::string(reinterpret_cast<const char*>(mbuf_buf(msg->mb)), mbuf_get_left(msg->mb));
}

mbuf* BodyBuffer(const std::string& text) {
  mbuf* buffer = mbuf_alloc(text.size() + 1);
  if (!buffer) return nullptr;
  mbuf_write_str(buffer, text.c_str());
  mbuf_set_pos(buffer, 0);
  return buffer;
}

bool IsSdp(const sip_msg* msg) { return msg_ctype_cmp(&msg->ctyp, "application", "sdp"); }

}  // namespace

struct SipPhone::Timers {
  tmr pump;
  tmr reap;
  tmr stop;
  Timers() {
    tmr_init(&pump);
    tmr_init(&reap);
    tmr_init(&stop);
  }
  ~Timers() {
    tmr_cancel(&pump);
    tmr_cancel(&reap);
    tmr_cancel(&stop);
  }
};

namespace {
SipPhone* g_running = nullptr;  // the phone whose loop runs, for the signal handler
bool g_libreReady = false;
}  // namespace

// libre's callbacks, with access to the phone's state.
struct SipPhone::Hooks {
  static void Pump(void* arg) {
    auto* phone = static_cast<SipPhone*>(arg);
    if (phone->pump_) phone->pump_();
    tmr_start(&phone->timers_->pump, kPumpMs, Pump, phone);
  }
  static void Reap(void* arg) { static_cast<SipPhone*>(arg)->ReapFinished(); }
  static void Cancel(void*) { re_cancel(); }
  static void Signal(int) {
    if (!g_running) return re_cancel();
    g_running->HangUpAll();
    g_running->Stop();
  }

  static int Auth(char** user, char** password, const char*, void* arg) {
    auto* phone = static_cast<SipPhone*>(arg);
    if (phone->options_.password.empty()) return EAUTH;
    int err = str_dup(user, phone->options_.user.c_str());
    return err ? err : str_dup(password, phone->options_.password.c_str());
  }

  static void Registered(int err, const sip_msg* msg, void* arg) {
    auto* phone = static_cast<SipPhone*>(arg);
    const std::string aor =
        "sip:" + phone->options_.user + "@" + phone->options_.registrar.substr(4);
    if (err) {
      phone->Emit(nullptr, std::string("registration failed: ") + std::strerror(err));
    } else if (msg->scode < 200) {
      return;
    } else if (msg->scode < 300) {
      if (!phone->registered_) phone->Emit(nullptr, "registered " + aor);
      phone->registered_ = true;
      return;
    } else {
      phone->Emit(nullptr,
                  "registration refused " + std::to_string(msg->scode) + " " + Text(msg->reason));
    }
    phone->exitStatus_ = 1;
    phone->Stop();
  }

  // An INVITE outside any dialog.
  static void Incoming(const sip_msg* msg, void* arg) {
    auto* phone = static_cast<SipPhone*>(arg);
    PhoneCall* call = phone->NewCall(true, Text(msg->from.auri));
    phone->Emit(call, "incoming from " + call->peer);
    const std::string body = Body(msg);
    int status = 200;
    std::string sdp;
    if (body.empty()) {  // the offer is ours, in the 200 OK
      HRESULT hr = call->media.Offer(&sdp);
      if (FAILED(hr)) status = hr == static_cast<HRESULT>(0x80040066u) ? 486 : 500;
    } else if (!IsSdp(msg)) {
      status = 400;
    } else {
      PhoneAnswer answer = call->media.Answer(body);
      status = answer.status;
      sdp = std::move(answer.sdp);
    }
    if (status != 200) {
      sip_treply(nullptr, phone->sip_, msg, static_cast<uint16_t>(status), ReasonFor(status));
      phone->Emit(call, "refused " + std::to_string(status) + " " + ReasonFor(status));
      phone->Finish(call);
      return;
    }
    int err =
        sipsess_accept(&call->session, phone->sessionSocket_, msg, 180, "Ringing",
                       phone->options_.user.c_str(), "application/sdp", nullptr, Auth, phone, false,
                       Offer, Answer, Established, nullptr, nullptr, Closed, call, nullptr);
    if (err) {
      sip_treply(nullptr, phone->sip_, msg, 500, ReasonFor(500));
      phone->Emit(call, "refused 500 " + std::string(ReasonFor(500)));
      phone->Finish(call);
      return;
    }
    call->pendingAnswer = std::move(sdp);
    call->ringing = true;
    phone->Emit(call, "ringing");
    if (phone->options_.autoAnswer) AnswerCall(call);
  }

  static void AnswerCall(PhoneCall* call) {
    mbuf* body = BodyBuffer(call->pendingAnswer);
    int err = body ? sipsess_answer(call->session, 200, "OK", body, nullptr) : ENOMEM;
    mem_deref(body);
    call->ringing = false;
    if (err) {
      call->phone->Emit(call, std::string("failed: ") + std::strerror(err));
      call->phone->Finish(call);
      return;
    }
    call->phone->Emit(call, "answered");
    if (!call->media.Codec().empty()) call->phone->Emit(call, "codec " + call->media.Codec());
  }

  static void StdinReadable(int flags, void* arg) {
    auto* phone = static_cast<SipPhone*>(arg);
    char line[256];
    ssize_t got = (flags & FD_READ) ? ::read(0, line, sizeof line) : 0;
    if (got <= 0) {
      fd_close(0);
      phone->stdinWatched_ = false;
      return;
    }
    for (auto& call : phone->calls_) {
      if (call->ringing) {
        AnswerCall(call.get());
        return;
      }
    }
  }

  // An offer in a re-INVITE (or in the 200 OK to our INVITE without one).
  static int Offer(mbuf** body, const sip_msg* msg, void* arg) {
    auto* call = static_cast<PhoneCall*>(arg);
    std::string sdp;
    const std::string offer = Body(msg);
    if (offer.empty()) {
      HRESULT hr = call->media.Offer(&sdp);
      if (FAILED(hr)) return EPROTO;
    } else {
      const bool wasHeld = call->media.Held();
      const std::string codec = call->media.Codec();
      PhoneAnswer answer = call->media.Answer(offer);
      if (answer.status != 200) return EPROTO;
      sdp = std::move(answer.sdp);
      if (call->media.Held() != wasHeld) {
        call->phone->Emit(call, call->media.Held() ? "on hold" : "resumed");
        // Stopping the sending stopped the played file; it starts again.
        if (!call->media.Held() && call->source) call->phone->StartPlaying(call);
      }
      if (call->media.Codec() != codec) call->phone->Emit(call, "codec " + call->media.Codec());
    }
    *body = BodyBuffer(sdp);
    return *body ? 0 : ENOMEM;
  }

  // The peer's answer to our offer: in the 200 OK, or in the ACK.
  static int Answer(const sip_msg* msg, void* arg) {
    auto* call = static_cast<PhoneCall*>(arg);
    const std::string codec = call->media.Codec();
    HRESULT hr = call->media.TakeAnswer(Body(msg));
    if (hr != S_OK) {
      char code[16];
      std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
      call->phone->Emit(call, hr == S_FALSE
                                  ? std::string("failed: the peer turned the audio line down")
                                  : std::string("failed: the answer is not usable (") + code + ")");
      return EPROTO;
    }
    if (call->media.Codec() != codec) call->phone->Emit(call, "codec " + call->media.Codec());
    return 0;
  }

  static void Progress(const sip_msg* msg, void* arg) {
    auto* call = static_cast<PhoneCall*>(arg);
    if (msg->scode == 180 || msg->scode == 183) {
      if (!call->ringing) call->phone->Emit(call, "ringing");
      call->ringing = true;
    }
  }

  static void Established(const sip_msg*, void* arg) {
    auto* call = static_cast<PhoneCall*>(arg);
    SipPhone* phone = call->phone;
    call->established = true;
    call->ringing = false;
    if (!call->incoming) phone->Emit(call, "answered");
    phone->StartStreams(call);
    if (!phone->options_.dtmf.empty()) tmr_start(&call->keyTimer, 0, PressKey, call);
    if (phone->options_.seconds > 0)
      tmr_start(&call->hangUpTimer, static_cast<uint64_t>(phone->options_.seconds) * 1000, HangUp,
                call);
  }

  static void PressKey(void* arg) {
    auto* call = static_cast<PhoneCall*>(arg);
    IAudioControl* audio = call->media.AudioControl();
    const std::string& keys = call->phone->options_.dtmf;
    if (!audio || call->nextKey >= keys.size()) return;
    const char key = keys[call->nextKey];
    if (!call->keyDown) {
      HRESULT hr = audio->StartDtmfTone(key, call->media.Channel());
      call->phone->Emit(call, std::string(SUCCEEDED(hr) ? "dtmf sent " : "dtmf refused ") + key);
      call->keyDown = true;
      tmr_start(&call->keyTimer, kKeyHoldMs, PressKey, call);
      return;
    }
    audio->StopDtmfTone(call->media.Channel());
    call->keyDown = false;
    if (++call->nextKey < keys.size()) tmr_start(&call->keyTimer, kKeyPauseMs, PressKey, call);
  }

  static void HangUp(void* arg) {
    auto* call = static_cast<PhoneCall*>(arg);
    call->byUs = true;
    call->phone->Emit(call, "hung up by us");
    call->phone->Finish(call);
  }

  static void Closed(int err, const sip_msg* msg, void* arg) {
    auto* call = static_cast<PhoneCall*>(arg);
    SipPhone* phone = call->phone;
    // libre reports a BYE, and a CANCEL before the answer, as ECONNRESET.
    if (msg && !msg->req && msg->scode >= 300) {
      phone->Emit(call, "refused by peer " + std::to_string(msg->scode) + " " + Text(msg->reason));
    } else if (err == ECONNRESET || (msg && msg->req)) {
      phone->Emit(call,
                  call->established || !call->incoming ? "hung up by peer" : "cancelled by peer");
    } else if (err) {
      phone->Emit(call, std::string("failed: ") + std::strerror(err));
    } else {
      phone->Emit(call, "hung up by peer");
    }
    if (call->session) {  // libre ends the session itself
      call->session = static_cast<sipsess*>(mem_deref(call->session));
    }
    phone->Finish(call);
  }
};

SipPhone::SipPhone(IMediaHandler* handler, PhoneOptions options, EventSink events, Pump pump)
    : handler_(handler),
      options_(std::move(options)),
      events_(std::move(events)),
      pump_(std::move(pump)) {}

SipPhone::~SipPhone() {
  HangUpAll();
  ReapFinished();
  if (stdinWatched_) fd_close(0);
  registration_ = static_cast<::sipreg*>(mem_deref(registration_));
  sessionSocket_ = static_cast<::sipsess_sock*>(mem_deref(sessionSocket_));
  if (sip_) sip_close(sip_, true);
  sip_ = static_cast<::sip*>(mem_deref(sip_));
  timers_.reset();
  if (g_libreReady) libre_close();
  g_libreReady = false;
}

int SipPhone::Start(std::string* error) {
  if (!g_libreReady) {
    int err = libre_init();
    if (err) {
      *error = "the SIP library did not start";
      return err;
    }
    g_libreReady = true;
  }
  timers_ = std::make_unique<Timers>();
  sa local;
  int err = sa_decode(&local, options_.listen.data(), options_.listen.size());
  if (err) {
    *error = "'" + options_.listen + "' is not ADDR:PORT";
    return err;
  }
  err = sip_alloc(&sip_, nullptr, 32, 32, 32, "medley phone", nullptr, nullptr);
  if (!err) err = sip_transp_add(sip_, SIP_TRANSP_UDP, &local);
  if (!err) err = sipsess_listen(&sessionSocket_, sip_, 32, Hooks::Incoming, this);
  if (err) {
    *error = "cannot listen on " + options_.listen + " (" + std::strerror(err) + ")";
    return err;
  }
  sa bound;
  sip_transp_laddr(sip_, &bound, SIP_TRANSP_UDP, nullptr);
  char address[64] = {};
  sa_ntop(&bound, address, sizeof address);
  localIp_ = address;
  localPort_ = sa_port(&bound);
  events_("listening on sip:" + options_.user + "@" + localIp_ + ":" + std::to_string(localPort_));
  if (!options_.registrar.empty()) {
    const std::string aor = "sip:" + options_.user + "@" + options_.registrar.substr(4);
    err = sipreg_register(&registration_, sip_, options_.registrar.c_str(), aor.c_str(), nullptr,
                          aor.c_str(), 3600, options_.user.c_str(), nullptr, 0, 0, Hooks::Auth,
                          this, false, Hooks::Registered, this, nullptr, nullptr);
    if (err) {
      *error = "cannot register at " + options_.registrar + " (" + std::strerror(err) + ")";
      return err;
    }
  }
  // Enter answers a ringing call when standard input is a terminal or a pipe.
  struct stat input;
  const bool watchable = ::fstat(0, &input) == 0 &&
                         (S_ISFIFO(input.st_mode) || S_ISSOCK(input.st_mode) || ::isatty(0));
  if (!options_.autoAnswer && watchable && fd_listen(0, FD_READ, Hooks::StdinReadable, this) == 0)
    stdinWatched_ = true;
  return 0;
}

int SipPhone::Dial(const std::string& uri) {
  PhoneCall* call = NewCall(false, uri);
  dialling_ = true;
  Emit(call, "dialling " + uri);
  std::string sdp;
  HRESULT hr = call->media.Offer(&sdp);
  if (FAILED(hr)) {
    Emit(call, "failed: no channel for the call");
    exitStatus_ = 1;
    Finish(call);
    return EBUSY;
  }
  const std::string from =
      "sip:" + options_.user + "@" + localIp_ + ":" + std::to_string(localPort_);
  mbuf* body = BodyBuffer(sdp);
  int err =
      body ? sipsess_connect(&call->session, sessionSocket_, uri.c_str(), nullptr, from.c_str(),
                             options_.user.c_str(), nullptr, 0, "application/sdp", body,
                             Hooks::Auth, this, false, Hooks::Offer, Hooks::Answer, Hooks::Progress,
                             Hooks::Established, nullptr, nullptr, Hooks::Closed, call, nullptr)
           : ENOMEM;
  mem_deref(body);
  if (err) {
    Emit(call, "failed: cannot call " + uri + " (" + std::strerror(err) + ")");
    exitStatus_ = 1;
    Finish(call);
  }
  return err;
}

int SipPhone::Run() {
  g_running = this;
  tmr_start(&timers_->pump, 0, Hooks::Pump, this);
  re_main(Hooks::Signal);
  g_running = nullptr;
  HangUpAll();
  ReapFinished();
  return exitStatus_;
}

void SipPhone::Stop() { tmr_start(&timers_->stop, kShutdownMs, Hooks::Cancel, nullptr); }

PhoneCall* SipPhone::NewCall(bool incoming, const std::string& peer) {
  calls_.push_back(
      std::make_unique<PhoneCall>(this, nextCallId_++, incoming, peer, handler_, localIp_));
  return calls_.back().get();
}

void SipPhone::StartStreams(PhoneCall* call) {
  IAudioControl* audio = call->media.AudioControl();
  if (streamsTaken_ || !audio) return;
  streamsTaken_ = true;
  if (!options_.playFile.empty()) StartPlaying(call);
  if (!options_.recordFile.empty()) {
    platform::BString file(options_.recordFile);
    call->recording = SUCCEEDED(
        audio->StartRecordAudioConversation(call->media.Channel(), kWavFormat, file.Get()));
    if (!call->recording) Emit(call, "cannot record into " + options_.recordFile);
  }
}

void SipPhone::StartPlaying(PhoneCall* call) {
  IAudioControl* audio = call->media.AudioControl();
  call->source = FileAudioSource::Open(options_.playFile);
  if (!call->source || FAILED(audio->StartSendAudioStream(call->media.Channel(), kWavFormat,
                                                          call->source.Get(), 100))) {
    call->source = nullptr;
    Emit(call, "cannot play " + options_.playFile);
  }
}

void SipPhone::Finish(PhoneCall* call) {
  for (auto it = calls_.begin(); it != calls_.end(); ++it) {
    if (it->get() != call) continue;
    call->StopStreams();
    call->media.Stop();
    if (dialling_ && !call->incoming) {
      if (!call->established) exitStatus_ = 1;
      Stop();
    }
    finished_.splice(finished_.end(), calls_, it);
    if (timers_) tmr_start(&timers_->reap, 0, Hooks::Reap, this);
    return;
  }
}

void SipPhone::ReapFinished() { finished_.clear(); }

void SipPhone::HangUpAll() {
  while (!calls_.empty()) {
    PhoneCall* call = calls_.front().get();
    call->byUs = true;
    Emit(call, "hung up by us");
    Finish(call);
  }
}

void SipPhone::Emit(const PhoneCall* call, const std::string& text) {
  if (!events_) return;
  events_(call ? "call " + std::to_string(call->id) + " " + text : text);
}

}  // namespace host
