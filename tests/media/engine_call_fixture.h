// A CGipsMediaHandler on the test engine and a fake sound card, with a call
// negotiated through the reference host: the fixture of the channel, audio
// control and audio stream tests.
#pragma once

#include <string>
#include <vector>

#include "platform/audio_device_backend.h"
#include "platform/fake_audio_devices.h"
#include "tests/media/media_test_support.h"
#include "tests/support/test_engine_factory.h"

namespace media_test {

// The peer's answer: AMR-WB first, telephone-event at 100.
constexpr const char* kPeerAnswer =
    "v=0\no=- 7 7 IN IP4 198.51.100.7\ns=-\nc=IN IP4 198.51.100.7\nt=0 0\n"
    "m=audio 4000 RTP/AVP 96 0 100\na=rtpmap:96 AMR-WB/16000\na=rtpmap:100 telephone-event/8000\n";
// A peer without telephone-event.
constexpr const char* kPlainPeerAnswer =
    "v=0\no=- 7 7 IN IP4 198.51.100.8\ns=-\nc=IN IP4 198.51.100.8\nt=0 0\n"
    "m=audio 4002 RTP/AVP 0\n";

class EngineCallTest : public HandlerTest {
 protected:
  EngineCallTest() { devices_.AddCard(); }
  // The handler goes before the engine factory and the sound card it uses.
  void TearDown() override { handler_.Reset(); }

  // A new handler (the previous one goes) on a new test engine that also
  // knows AMR and iLBC.
  void Start(VARIANT_BOOL silenceSuppression = VARIANT_FALSE) {
    testEngine_.factory().PrepareEngines([](TestVoiceEngine& engine) {
      auto codecs = TestVoiceEngine::DefaultCodecs();
      codecs.push_back(TestVoiceEngine::MakeCodec(98, "AMR", 8000, 160, 1, 12200));
      codecs.push_back(TestVoiceEngine::MakeCodec(102, "iLBC", 8000, 240, 1, 13330));
      engine.SetCodecs(codecs);
    });
    StartHandler({"AMR-WB", "PCMU", "PCMA", "CN", "telephone-event"}, silenceSuppression);
    handler_->SetSleepForTesting([this](DWORD milliseconds) { sleeps_.push_back(milliseconds); });
  }

  TestVoiceEngine& Engine() { return testEngine_.engine(); }
  IAudioControl& Audio() { return *handler_; }
  std::vector<std::string> EngineCalls() { return Engine().CallsWithout("LastError"); }

  // A reserved channel with our offer as receive parameters and `peer`'s
  // answer as send parameters.
  LONG Negotiate(const char* peer = kPeerAnswer) {
    LONG channel = Reserve();
    offer_ = SdpDocument::CreateOutgoing("192.0.2.10", 1, 1);
    EXPECT_EQ(Offer(channel, offer_.Get()), S_OK);
    EXPECT_EQ(handler_->SetReceiveParameters(offer_.Get(), 0, channel), S_OK);
    auto answer = ParseSdp(peer);
    EXPECT_EQ(handler_->SetSendParameters(answer.Get(), offer_.Get(), 0, channel), S_OK);
    return channel;
  }

  // Negotiated, listening, playing and sending.
  LONG StartCall(const char* peer = kPeerAnswer) {
    LONG channel = Negotiate(peer);
    EXPECT_EQ(handler_->StartListen(channel), S_OK);
    EXPECT_EQ(handler_->StartPlayout(channel), S_OK);
    EXPECT_EQ(handler_->StartSending(channel), S_OK);
    return channel;
  }

  platform::FakeAudioDevices devices_;
  platform::ScopedAudioDeviceBackendForTesting useDevices_{devices_};
  ScopedTestEngine testEngine_;
  ComPtr<SdpDocument> offer_;
  std::vector<DWORD> sleeps_;
};

}  // namespace media_test
