// The nine interfaces of the test voice engine: each records its calls with
// their arguments, keeps the state the tests read back, and fails when told.
#include "tests/support/test_voice_engine.h"

#include <array>

#include "tests/support/test_engine_recording.h"

namespace {

using test_engine_detail::Channel;
using test_engine_detail::Counted;
using test_engine_detail::FormatCall;
using test_engine_detail::Interface;
using test_engine_detail::NameOf;
using test_engine_detail::TestInterface;

class TestBase final : public TestInterface<GIPSVEBase, Interface::kBase> {
 public:
  using TestInterface::TestInterface;

  int Init(int a, int b, int c, int d, int e) override {
    if (Enter("Init", a, b, c, d, e)) return -1;
    state().initialised = true;
    return 0;
  }
  int Terminate() override {
    if (Enter("Terminate")) return -1;
    state().initialised = false;
    state().channels.clear();
    return 0;
  }
  int CreateChannel() override {
    if (Enter("CreateChannel")) return -1;
    int channel = state().nextChannel++;
    state().channels[channel] = Channel{};
    return channel;
  }
  int DeleteChannel(int channel) override {
    if (Enter("DeleteChannel", channel)) return -1;
    if (!ChannelOrFail(channel)) return -1;
    state().channels.erase(channel);
    return 0;
  }
  int SetLocalReceiver(int channel, int port, int rtcpPort, const char* ip,
                       const char* multicastIp) override {
    if (Enter("SetLocalReceiver", channel, port, rtcpPort, ip, multicastIp)) return -1;
    Channel* state = ChannelOrFail(channel);
    if (!state) return -1;
    state->receivePort = port;
    state->receiveRtcpPort = rtcpPort == -1 ? port + 1 : rtcpPort;
    return 0;
  }
  int SetSendDestination(int channel, int port, const char* ip, int sourcePort,
                         int rtcpPort) override {
    if (Enter("SetSendDestination", channel, port, ip, sourcePort, rtcpPort)) return -1;
    Channel* state = ChannelOrFail(channel);
    if (!state) return -1;
    state->destinationPort = port;
    state->destinationIp = ip ? ip : "";
    return 0;
  }
  int StartListen(int channel) override {
    return SetFlag("StartListen", channel, &Channel::listening, true);
  }
  int StartPlayout(int channel) override {
    return SetFlag("StartPlayout", channel, &Channel::playing, true);
  }
  int StartSend(int channel) override {
    return SetFlag("StartSend", channel, &Channel::sending, true);
  }
  int StopListen(int channel) override {
    return SetFlag("StopListen", channel, &Channel::listening, false);
  }
  int StopPlayout(int channel) override {
    return SetFlag("StopPlayout", channel, &Channel::playing, false);
  }
  int StopSend(int channel) override {
    return SetFlag("StopSend", channel, &Channel::sending, false);
  }
  int GetVersion(char* buffer, int length) override {
    if (Enter("GetVersion", length)) return -1;
    const std::string& text = state().version;
    if (!buffer || length <= static_cast<int>(text.size()))
      return engine_.Fail(TestVoiceEngine::kInvalidArgument);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return 0;
  }
  int LastError() override {
    Enter("LastError");
    return state().lastError;
  }

 private:
  int SetFlag(std::string_view operation, int channel, bool Channel::*flag, bool value) {
    if (Enter(operation, channel)) return -1;
    Channel* state = ChannelOrFail(channel);
    if (!state) return -1;
    state->*flag = value;
    return 0;
  }
};

class TestCodec final : public TestInterface<GIPSVECodec, Interface::kCodec> {
 public:
  using TestInterface::TestInterface;

  int NumOfCodecs() override {
    if (Enter("NumOfCodecs")) return -1;
    return static_cast<int>(state().codecs.size());
  }
  int GetCodec(int index, EngineCodecRecord& codec) override {
    if (Enter("GetCodec", index)) return -1;
    if (index < 0 || index >= static_cast<int>(state().codecs.size()))
      return engine_.Fail(TestVoiceEngine::kInvalidArgument);
    codec = state().codecs[index];
    return 0;
  }
  int SetSendCodec(int channel, const EngineCodecRecord& codec) override {
    if (Enter("SetSendCodec", channel, codec)) return -1;
    Channel* state = ChannelOrFail(channel);
    if (!state) return -1;
    state->sendCodec = codec;
    state->hasSendCodec = true;
    return 0;
  }
  int SetRecPayloadType(int channel, const EngineCodecRecord& codec) override {
    if (Enter("SetRecPayloadType", channel, codec)) return -1;
    Channel* state = ChannelOrFail(channel);
    if (!state) return -1;
    state->receiveCodecs.push_back(codec);
    return 0;
  }
  int SetVADStatus(int channel, int enable, int mode, int disableDtx) override {
    if (Enter("SetVADStatus", channel, enable, mode, disableDtx)) return -1;
    Channel* state = ChannelOrFail(channel);
    if (!state) return -1;
    state->vad = enable != 0;
    return 0;
  }
};

class TestVqe final : public TestInterface<GIPSVEVQE, Interface::kVqe> {
 public:
  using TestInterface::TestInterface;

  int SetAGCStatus(int enable, int mode) override {
    if (Enter("SetAGCStatus", enable, mode)) return -1;
    state().gainControl = enable != 0;
    return 0;
  }
  int SetECStatus(bool enable, int mode, int option1, int option2) override {
    if (Enter("SetECStatus", enable, mode, option1, option2)) return -1;
    state().echoCancellation = enable;
    return 0;
  }
};

class TestFile final : public TestInterface<GIPSVEFile, Interface::kFile> {
 public:
  using TestInterface::TestInterface;

  int StartPlayingFileLocally(int channel, GIPSVEInStream* stream, int kind, float scale,
                              int startMs, int stopMs) override {
    if (Enter("StartPlayingFileLocally", channel, stream, kind, scale, startMs, stopMs)) return -1;
    Channel* state = ChannelOrFail(channel);
    if (!state) return -1;
    if (!stream) return engine_.Fail(TestVoiceEngine::kInvalidArgument);
    state->localFile = stream;
    state->localFileKind = kind;
    state->localFileScale = scale;
    return 0;
  }
  int StopPlayingFileLocally(int channel) override {
    if (Enter("StopPlayingFileLocally", channel)) return -1;
    Channel* state = ChannelOrFail(channel);
    if (!state) return -1;
    state->localFile = nullptr;
    return 0;
  }
  int StartPlayingFileAsMicrophone(int channel, GIPSVEInStream* stream, bool mix, int kind,
                                   float scale) override {
    if (Enter("StartPlayingFileAsMicrophone", channel, stream, mix, kind, scale)) return -1;
    Channel* state = ChannelOrFail(channel);
    if (!state) return -1;
    if (!stream) return engine_.Fail(TestVoiceEngine::kInvalidArgument);
    state->microphoneFile = stream;
    state->microphoneFileKind = kind;
    state->microphoneFileScale = scale;
    state->microphoneFileMixed = mix;
    return 0;
  }
  int StopPlayingFileAsMicrophone(int channel) override {
    if (Enter("StopPlayingFileAsMicrophone", channel)) return -1;
    Channel* state = ChannelOrFail(channel);
    if (!state) return -1;
    state->microphoneFile = nullptr;
    return 0;
  }
  int StartRecordingPlayout(GIPSVEOutStream* stream, const EngineCodecRecord* codec) override {
    if (Enter("StartRecordingPlayout", stream, codec)) return -1;
    if (!stream) return engine_.Fail(TestVoiceEngine::kInvalidArgument);
    state().playoutRecording = stream;
    state().playoutRecordingHasCodec = codec != nullptr;
    state().playoutRecordingCodec = codec ? *codec : EngineCodecRecord{};
    return 0;
  }
  int StopRecordingPlayout() override {
    if (Enter("StopRecordingPlayout")) return -1;
    state().playoutRecording = nullptr;
    return 0;
  }
  int StartRecordingCall(const char* fileName, const EngineCodecRecord* codec,
                         int maxSizeBytes) override {
    if (Enter("StartRecordingCall", fileName, codec, maxSizeBytes)) return -1;
    if (!fileName) return engine_.Fail(TestVoiceEngine::kInvalidArgument);
    state().recordingCall = true;
    state().callPaused = false;
    state().callFileName = fileName;
    state().callCodec = codec ? *codec : EngineCodecRecord{};
    return 0;
  }
  int PauseRecordingCall(bool pause) override {
    if (Enter("PauseRecordingCall", pause)) return -1;
    state().callPaused = pause;
    return 0;
  }
  int StopRecordingCall() override {
    if (Enter("StopRecordingCall")) return -1;
    state().recordingCall = false;
    return 0;
  }
  int ConvertWavToPcm(GIPSVEInStream* in, GIPSVEOutStream* out) override {
    if (Enter("ConvertWavToPcm", in, out)) return -1;
    return Copy(in, out);
  }
  int ConvertPcmToCompressed(GIPSVEInStream* in, GIPSVEOutStream* out,
                             const EngineCodecRecord* codec) override {
    if (Enter("ConvertPcmToCompressed", in, out, codec)) return -1;
    return Copy(in, out);
  }
  int ConvertCompressedToPcm(GIPSVEInStream* in, GIPSVEOutStream* out) override {
    if (Enter("ConvertCompressedToPcm", in, out)) return -1;
    return Copy(in, out);
  }

 private:
  int Copy(GIPSVEInStream* in, GIPSVEOutStream* out) {
    if (!in || !out) return engine_.Fail(TestVoiceEngine::kInvalidArgument);
    char buffer[160];
    for (;;) {
      int length = std::min<int>(in->Read(buffer, sizeof buffer), sizeof buffer);
      if (length <= 0) return 0;
      if (!out->Write(buffer, length)) return engine_.Fail(TestVoiceEngine::kStreamFailed);
    }
  }
};

class TestVolume final : public TestInterface<GIPSVEVolumeControl, Interface::kVolume> {
 public:
  using TestInterface::TestInterface;

  int SetMicVolume(int level) override {
    if (Enter("SetMicVolume", level)) return -1;
    state().micVolume = level;
    return 0;
  }
  int GetMicVolume(int& level) override {
    if (Enter("GetMicVolume")) return -1;
    level = state().micVolume;
    return 0;
  }
  int SetInputMute(int channel, bool mute) override {
    if (Enter("SetInputMute", channel, mute)) return -1;
    Channel* state = ChannelOrFail(channel);
    if (!state) return -1;
    state->inputMute = mute;
    return 0;
  }
  int GetMicLevel(int& level) override {
    if (Enter("GetMicLevel")) return -1;
    level = state().micLevel;
    return 0;
  }
  int GetSpeakerLevel(int channel, int& level) override {
    if (Enter("GetSpeakerLevel", channel)) return -1;
    if (channel != -1 && !ChannelOrFail(channel)) return -1;
    level = state().speakerLevel;
    return 0;
  }
};

class TestHardware final : public TestInterface<GIPSVEHardware, Interface::kHardware> {
 public:
  using TestInterface::TestInterface;

  int SetSoundDevices(int recordingDevice, int playbackDevice, int option1, int option2,
                      int option3) override {
    if (Enter("SetSoundDevices", recordingDevice, playbackDevice, option1, option2, option3))
      return -1;
    state().recordingDevice = recordingDevice;
    state().playbackDevice = playbackDevice;
    return 0;
  }
};

class TestVideoSync final : public TestInterface<GIPSVEVideoSync, Interface::kVideoSync> {
 public:
  using TestInterface::TestInterface;
};

class TestNetwork final : public TestInterface<GIPSVENetwork, Interface::kNetwork> {
 public:
  using TestInterface::TestInterface;

  int SetSendTOS(int channel, int tos, int option) override {
    if (Enter("SetSendTOS", channel, tos, option)) return -1;
    Channel* state = ChannelOrFail(channel);
    if (!state) return -1;
    state->tos = tos;
    return 0;
  }
};

class TestDtmf final : public TestInterface<GIPSVEDTMF, Interface::kDtmf> {
 public:
  using TestInterface::TestInterface;

  int SendTelephoneEvent(int channel, int eventCode, bool outOfBand, int lengthMs,
                         int attenuationDb) override {
    if (Enter("SendTelephoneEvent", channel, eventCode, outOfBand, lengthMs, attenuationDb))
      return -1;
    Channel* state = ChannelOrFail(channel);
    if (!state) return -1;
    state->telephoneEvents.push_back(eventCode);
    return 0;
  }
  int SetDTMFPayloadType(int channel, int payloadType) override {
    if (Enter("SetDTMFPayloadType", channel, payloadType)) return -1;
    Channel* state = ChannelOrFail(channel);
    if (!state) return -1;
    state->dtmfPayloadType = payloadType;
    return 0;
  }
};

}  // namespace

struct TestVoiceEngine::Interfaces {
  explicit Interfaces(TestVoiceEngine& engine)
      : base(engine),
        codec(engine),
        vqe(engine),
        file(engine),
        volume(engine),
        hardware(engine),
        videoSync(engine),
        network(engine),
        dtmf(engine) {}

  // The contract pointer and the reference count of each interface, in
  // Interface order.
  std::array<void*, kInterfaceCount> Contracts() {
    return {static_cast<GIPSVEBase*>(&base),
            static_cast<GIPSVECodec*>(&codec),
            static_cast<GIPSVEVQE*>(&vqe),
            static_cast<GIPSVEFile*>(&file),
            static_cast<GIPSVEVolumeControl*>(&volume),
            static_cast<GIPSVEHardware*>(&hardware),
            static_cast<GIPSVEVideoSync*>(&videoSync),
            static_cast<GIPSVENetwork*>(&network),
            static_cast<GIPSVEDTMF*>(&dtmf)};
  }
  std::array<Counted*, kInterfaceCount> Counts() {
    return {&base, &codec, &vqe, &file, &volume, &hardware, &videoSync, &network, &dtmf};
  }

  TestBase base;
  TestCodec codec;
  TestVqe vqe;
  TestFile file;
  TestVolume volume;
  TestHardware hardware;
  TestVideoSync videoSync;
  TestNetwork network;
  TestDtmf dtmf;
};

TestVoiceEngine::TestVoiceEngine() : interfaces_(std::make_unique<Interfaces>(*this)) {}

TestVoiceEngine::~TestVoiceEngine() = default;

void* TestVoiceEngine::Acquire(Interface which) {
  int index = static_cast<int>(which);
  if (RecordAndCheckFailure(FormatCall("GetInterface", InterfaceName(which)))) return nullptr;
  ++interfaces_->Counts()[index]->references;
  return interfaces_->Contracts()[index];
}

int TestVoiceEngine::References(Interface which) const {
  return interfaces_->Counts()[static_cast<int>(which)]->references;
}

bool TestVoiceEngine::AnyInterfaceHeld() const {
  for (Counted* counted : interfaces_->Counts())
    if (counted->references > 0) return true;
  return false;
}
