// A voice engine for tests. It implements all nine engine interfaces over
// plain state that tests can read and change, records every call as text,
// and fails any operation on demand with a chosen last error.
//
// Recorded calls read like the call itself: "SetSendTOS(3,184,0)". Numbers
// are decimal, bools "true"/"false", texts as they are ("null" for a null
// pointer), floats as printf "%g", streams "stream" or "null", codec records
// "{payloadType,name,frequency,packetSize,channels,rate}". Out-parameters
// are left out: "GetMicVolume()", "GetCodec(2)", "GetVersion(500)".
// Besides the operations the log holds "GetInterface(GIPSVEFile)" for every
// interface handed out, "Release(GIPSVEFile)" for every release and
// "Delete()" when the factory is asked to delete the engine.
//
// The engine refuses on its own only what a real engine must: an unknown
// channel (kUnknownChannel), a null stream or file name (kInvalidArgument),
// a Release with no reference held (kNotHeld) and a stream write that fails
// during a conversion (kStreamFailed). Everything else succeeds and updates
// the state, unless FailNext/FailAlways say otherwise.
//
// Conversions copy the input stream to the output stream unchanged. Streams
// given to the play and record operations are kept in the state, so a test
// can drive them as the engine's threads would. Single-threaded.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/voice_engine.h"

class TestVoiceEngine : public GIPSVoiceEngine {
 public:
  // Error codes of the refusals the engine makes itself.
  static constexpr int kUnknownChannel = 9002;
  static constexpr int kInvalidArgument = 9003;
  static constexpr int kNotHeld = 9012;
  static constexpr int kStreamFailed = 9020;

  enum class Interface {
    kBase,
    kCodec,
    kVqe,
    kFile,
    kVolume,
    kHardware,
    kVideoSync,
    kNetwork,
    kDtmf
  };
  static constexpr int kInterfaceCount = 9;
  // "GIPSVEBase", "GIPSVECodec", ... as in the log.
  static const char* InterfaceName(Interface which);

  struct Channel {
    int receivePort = -1;
    int receiveRtcpPort = -1;
    std::string destinationIp;
    int destinationPort = -1;
    bool listening = false;
    bool playing = false;
    bool sending = false;
    bool hasSendCodec = false;
    EngineCodecRecord sendCodec{};
    // Announced receive payload types, in call order.
    std::vector<EngineCodecRecord> receiveCodecs;
    bool vad = false;
    int tos = 0;
    int dtmfPayloadType = -1;
    std::vector<int> telephoneEvents;
    bool inputMute = false;
    GIPSVEInStream* localFile = nullptr;
    int localFileKind = -1;
    float localFileScale = 0;
    GIPSVEInStream* microphoneFile = nullptr;
    int microphoneFileKind = -1;
    float microphoneFileScale = 0;
    bool microphoneFileMixed = false;
  };

  struct State {
    bool initialised = false;
    int lastError = 0;
    std::vector<EngineCodecRecord> codecs = DefaultCodecs();
    std::map<int, Channel> channels;
    int nextChannel = 0;
    std::string version = "Test voice engine 1.0";
    int micVolume = 128;
    int micLevel = 0;
    int speakerLevel = 0;
    bool echoCancellation = false;
    bool gainControl = false;
    int recordingDevice = -1;
    int playbackDevice = -1;
    GIPSVEOutStream* playoutRecording = nullptr;
    bool playoutRecordingHasCodec = false;
    EngineCodecRecord playoutRecordingCodec{};
    bool recordingCall = false;
    bool callPaused = false;
    std::string callFileName;
    EngineCodecRecord callCodec{};
  };

  TestVoiceEngine();
  ~TestVoiceEngine() override;
  TestVoiceEngine(const TestVoiceEngine&) = delete;
  TestVoiceEngine& operator=(const TestVoiceEngine&) = delete;

  // A zero-filled record with these values (the name cut to 31 bytes).
  static EngineCodecRecord MakeCodec(int payloadType, std::string_view name, int frequency,
                                     int packetSize, int channels, int rate);
  // PCMU 0, PCMA 8, AMRWB 97 (16000), CN 13, telephone-event 101.
  static std::vector<EngineCodecRecord> DefaultCodecs();

  State& state() { return state_; }
  const State& state() const { return state_; }
  void SetCodecs(std::vector<EngineCodecRecord> codecs) { state_.codecs = std::move(codecs); }
  // The channel's state, or null when it does not exist.
  Channel* FindChannel(int channel);

  // Interfaces as the engine library's getters hand them out: recorded, one
  // reference added; null when a failure for "GetInterface(<name>)" is set.
  void* Acquire(Interface which);
  int References(Interface which) const;
  bool AnyInterfaceHeld() const;

  // The call log.
  const std::vector<std::string>& Calls() const { return calls_; }
  // The recorded calls of one operation ("SetSendTOS"), in order.
  std::vector<std::string> CallsTo(std::string_view operation) const;
  size_t CountOf(std::string_view operation) const;
  // The log without the calls of `operation` (typically "LastError").
  std::vector<std::string> CallsWithout(std::string_view operation) const;
  void ClearCalls() { calls_.clear(); }
  void Record(std::string call) { calls_.push_back(std::move(call)); }

  // Makes the next call (or every call) matching `what` fail: return -1 and
  // leave `lastError` for LastError. `what` is an operation name
  // ("SetSendTOS") or a whole recorded call ("SetSendTOS(3,184,0)").
  // A one-time failure is used before a permanent one.
  void FailNext(std::string_view what, int lastError);
  void FailAlways(std::string_view what, int lastError);
  void ClearFailures();

  // Used by the interface implementations: records `call` and answers
  // whether a failure was set for it (then lastError is already set).
  bool RecordAndCheckFailure(const std::string& call);
  int Fail(int code) {
    state_.lastError = code;
    return -1;
  }

 private:
  struct Interfaces;

  State state_;
  std::vector<std::string> calls_;
  std::multimap<std::string, int, std::less<>> failNext_;
  std::map<std::string, int, std::less<>> failAlways_;
  std::unique_ptr<Interfaces> interfaces_;
};
