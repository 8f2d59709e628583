// A channel from reservation to release on the test engine: what reaches the
// engine, the status codes, the listen retry and the playout device.
#include <functional>
#include <string>
#include <vector>

#include "host/memory_audio_sink.h"
#include "host/memory_audio_source.h"
#include "tests/media/engine_call_fixture.h"

namespace media_test {
namespace {

using Strings = std::vector<std::string>;

class ChannelLifecycleTest : public EngineCallTest {
 protected:
  void SetUp() override { Start(); }
};

TEST_F(ChannelLifecycleTest, FirstReservationOpensTheSoundDevicesRecordingDeviceFirst) {
  Audio().SetAudioDevices(2, 5);
  LONG first = Reserve(), second = Reserve();
  EXPECT_EQ(Engine().CallsTo("SetSoundDevices"), Strings{"SetSoundDevices(5,2,0,0,2)"});
  handler_->ReleaseChannel(first);
  handler_->ReleaseChannel(second);
  Reserve();  // the first again once none is left
  EXPECT_EQ(Engine().CountOf("SetSoundDevices"), 2u);
}

TEST_F(ChannelLifecycleTest, UnknownChannelsAreRefusedToStartsAndIgnoredByStops) {
  Reserve();  // channel 0 exists; 42 does not
  constexpr LONG kNo = 42;
  auto source = host::MemoryAudioSource::Create("x");
  auto sink = host::MemoryAudioSink::Create();
  auto sdp = ParseSdp(kPeerAnswer);
  platform::BString file("x.wav");
  IAudioControl& a = Audio();
  CGipsMediaHandler& h = *handler_;
  const std::function<HRESULT()> refused[] = {
      [&] { return h.StartListen(kNo); },
      [&] { return h.StartPlayout(kNo); },
      [&] { return h.StartSending(kNo); },
      [&] { return h.SetReceiveParameters(sdp.Get(), 0, kNo); },
      [&] { return h.SetSendParameters(sdp.Get(), out_.Get(), 0, kNo); },
      [&] { return a.MuteAudio(VARIANT_TRUE, kNo); },
      [&] { return a.StartDtmfTone('1', kNo); },
      [&] { return a.StartPlayAudioStream(kNo, 0, source.Get(), 100); },
      [&] { return a.StartSendAudioStream(kNo, 0, source.Get(), 100); },
      [&] { return a.StartRecordAudioStream(kNo, 0, sink.Get()); },
      [&] { return a.StartRecordAudioConversation(kNo, 3, file.Get()); },
      [&] { return a.PauseRecordAudioConversation(kNo, VARIANT_TRUE); },
      [&] { return a.StopRecordAudioConversation(kNo); }};
  const std::function<HRESULT()> ignored[] = {
      [&] { return h.StopListen(kNo); },           [&] { return h.StopPlayout(kNo); },
      [&] { return h.StopSending(kNo); },          [&] { return h.ReleaseChannel(kNo); },
      [&] { return a.StopPlayAudioStream(kNo); },  [&] { return a.StopSendAudioStream(kNo); },
      [&] { return a.StopRecordAudioStream(kNo); }};
  Engine().ClearCalls();
  for (size_t i = 0; i < std::size(refused); ++i) EXPECT_EQ(refused[i](), E_INVALIDARG) << i;
  for (size_t i = 0; i < std::size(ignored); ++i) EXPECT_EQ(ignored[i](), S_FALSE) << i;
  EXPECT_EQ(a.StopDtmfTone(kNo), S_OK);
  EXPECT_EQ(EngineCalls(), Strings{});
  EXPECT_EQ(source->DataReads() + source->EndCalls() + sink->EndCalls(), 0);
}

TEST_F(ChannelLifecycleTest, StartListenRetriesABusyPortFiveTimesWithoutRealWaiting) {
  constexpr int kBusy = 0x2713, kOther = 8003;
  struct Row {
    std::vector<int> receiverErrors;  // the failing attempts, in order
    size_t attempts;
    HRESULT expected;
  };
  const Row rows[] = {
      {{}, 1, S_OK},
      {{kBusy, kBusy, kBusy, kBusy}, 5, S_OK},
      {{kBusy, kBusy, kBusy, kBusy, kBusy}, 5, kMediaChannelFailure},
      {{kBusy, kOther}, 2, kMediaChannelFailure},
  };
  for (const Row& row : rows) {
    LONG channel = Negotiate();
    Engine().ClearCalls();
    sleeps_.clear();
    for (int error : row.receiverErrors) Engine().FailNext("SetLocalReceiver", error);
    EXPECT_EQ(handler_->StartListen(channel), row.expected) << row.attempts;
    std::string c = std::to_string(channel), port = std::to_string(Channel(channel).receivePort);
    Strings expected(row.attempts, "SetLocalReceiver(" + c + "," + port + ",-1,null,null)");
    if (row.expected == S_OK) expected.push_back("StartListen(" + c + ")");
    EXPECT_EQ(EngineCalls(), expected) << row.attempts;
    std::vector<DWORD> sleeps(row.attempts, 100);
    sleeps.front() = 0;  // before the first attempt
    EXPECT_EQ(sleeps_, sleeps) << row.attempts;
    EXPECT_EQ(Channel(channel).listening, row.expected == S_OK);
  }
}

TEST_F(ChannelLifecycleTest, StartPlayoutSelectsTheSpeakerAndMapsItsFailure) {
  struct Row {
    LONG playbackDevice;  // 7: no such card, playout goes on without volume control
    int playoutError;     // 0: none; other than 0x271D only traced
    HRESULT expected;
  };
  const Row rows[] = {
      {7, 0, S_OK}, {0, 0x271D, kMediaSpeakerFailure}, {0, 8003, S_OK}, {0, 0, S_OK}};
  for (const Row& row : rows) {
    Audio().SetAudioDevices(row.playbackDevice, -1);
    LONG channel = Negotiate();
    if (row.playoutError) Engine().FailNext("StartPlayout", row.playoutError);
    EXPECT_EQ(handler_->StartPlayout(channel), row.expected) << row.playoutError;
    EXPECT_EQ(Channel(channel).playing, row.expected == S_OK);
  }
  Audio().SetSpeakerVolume(50, 0);  // on card 0's wave line, selected last
  EXPECT_EQ(devices_.Volume(0, platform::FakeAudioDevices::kWaveOutVolumeId), 32768u);
}

TEST_F(ChannelLifecycleTest, StartSendingHandsTheNegotiatedCallToTheEngine) {
  struct Row {
    const char* peer;
    LONG tos;
    VARIANT_BOOL silenceSuppression;
    Strings expected;  // for channel 0
  };
  const Row rows[] = {
      {kPeerAnswer,
       46,
       VARIANT_FALSE,
       {"SetSendCodec(0,{96,AMRWB,16000,320,1,23850})",
        "SetSendDestination(0,4000,198.51.100.7,-1,-1)", "SetDTMFPayloadType(0,100)",
        "SetSendTOS(0,184,0)", "SetVADStatus(0,0,0,0)", "StartSend(0)",
        "SetDTMFPayloadType(0,100)"}},
      // The peer's ptime does not change what we send: the engine's packet size.
      {"v=0\no=- 7 7 IN IP4 198.51.100.8\ns=-\nc=IN IP4 198.51.100.8\nt=0 0\n"
       "m=audio 4002 RTP/AVP 0\na=ptime:30\n",
       0,
       VARIANT_FALSE,
       {"SetSendCodec(0,{0,PCMU,8000,160,1,64000})",
        "SetSendDestination(0,4002,198.51.100.8,-1,-1)", "SetSendTOS(0,0,0)",
        "SetVADStatus(0,0,0,0)", "StartSend(0)"}},
      // Any non-zero value turns voice activity detection on.
      {kPlainPeerAnswer,
       0,
       1,
       {"SetSendCodec(0,{0,PCMU,8000,160,1,64000})",
        "SetSendDestination(0,4002,198.51.100.8,-1,-1)", "SetSendTOS(0,0,0)",
        "SetVADStatus(0,1,0,0)", "StartSend(0)"}},
  };
  for (const Row& row : rows) {
    Start(row.silenceSuppression);
    network_->Settings().audio_tos_value = row.tos;
    ASSERT_EQ(Negotiate(row.peer), 0);
    Engine().ClearCalls();
    EXPECT_EQ(handler_->StartSending(0), S_OK);
    EXPECT_EQ(EngineCalls(), row.expected) << row.peer;
  }
  // A refused setting leaves the channel not sending; a refused start does not.
  LONG channel = Negotiate();
  Engine().FailNext("SetSendTOS", 8003);
  EXPECT_EQ(handler_->StartSending(channel), EngineErrorToHresult(8003));
  EXPECT_FALSE(Channel(channel).sending);
  Engine().FailNext("StartSend", 8003);
  EXPECT_EQ(handler_->StartSending(channel), S_OK);
  EXPECT_TRUE(Channel(channel).sending);
}

TEST_F(ChannelLifecycleTest, ReceiveParametersAnnounceDynamicNumbersAndKeepPlayoutRunning) {
  Start(VARIANT_TRUE);  // CN offered
  // The peer offers wideband CN at a dynamic number; our answer takes it.
  auto offer = ParseSdp(
      "v=0\no=- 1 1 IN IP4 198.51.100.7\ns=-\nc=IN IP4 198.51.100.7\nt=0 0\n"
      "m=audio 4000 RTP/AVP 99 0 105 101\na=rtpmap:99 AMR-WB/16000\na=rtpmap:105 CN/16000\n"
      "a=rtpmap:101 telephone-event/8000\n");
  LONG channel = Reserve();
  ASSERT_EQ(Answer(offer.Get(), 0, channel, out_.Get()), S_OK);
  ASSERT_EQ(handler_->StartPlayout(channel), S_OK);
  Engine().ClearCalls();
  EXPECT_EQ(handler_->SetReceiveParameters(out_.Get(), 0, channel), S_OK);
  Strings calls;  // without the codec list walks for default packet times
  for (const std::string& call : EngineCalls())
    if (!call.starts_with("NumOfCodecs") && !call.starts_with("GetCodec")) calls.push_back(call);
  EXPECT_EQ(calls, (Strings{"StopPlayout(0)", "SetRecPayloadType(0,{99,AMRWB,16000,320,1,0})",
                            "SetRecPayloadType(0,{101,telephone-event,8000,160,1,0})",
                            "StartPlayout(0)"}));
  EXPECT_TRUE(Channel(channel).playing);
}

// Stopping playout or sending stops its stream first; a release deletes the
// engine channel and then stops every stream still on, even when the engine
// refuses the stops.
TEST_F(ChannelLifecycleTest, StopsAndReleaseStopTheChannelsStreamsFirst) {
  for (bool engineRefusesStops : {false, true}) {
    SCOPED_TRACE(engineRefusesStops ? "engine refuses stops" : "playout and sending stopped first");
    LONG channel = StartCall();
    auto played = host::MemoryAudioSource::Create("p"), sent = host::MemoryAudioSource::Create("s");
    auto recorded = host::MemoryAudioSink::Create();
    platform::BString file("call.wav");
    ASSERT_EQ(Audio().StartPlayAudioStream(channel, 0, played.Get(), 100), S_OK);
    ASSERT_EQ(Audio().StartSendAudioStream(channel, 0, sent.Get(), 100), S_OK);
    ASSERT_EQ(Audio().StartRecordAudioStream(channel, 2, recorded.Get()), S_OK);
    ASSERT_EQ(Audio().StartRecordAudioConversation(channel, 3, file.Get()), S_OK);
    GIPSVEInStream* playRelay = Engine().FindChannel(channel)->localFile;
    GIPSVEOutStream* recordRelay = Engine().state().playoutRecording;
    std::string c = std::to_string(channel);
    Strings stops = {"StopPlayingFileLocally(" + c + ")", "StopPlayingFileAsMicrophone(" + c + ")"};
    Engine().ClearCalls();
    if (engineRefusesStops) {
      for (const char* stop :
           {"StopPlayingFileLocally", "StopPlayingFileAsMicrophone", "StopRecordingPlayout"})
        Engine().FailAlways(stop, 8003);
    } else {
      EXPECT_EQ(handler_->StopPlayout(channel), S_OK);
      EXPECT_EQ(handler_->StopSending(channel), S_OK);
      EXPECT_EQ(EngineCalls(),
                (Strings{stops[0], "StopPlayout(" + c + ")", stops[1], "StopSend(" + c + ")"}));
      EXPECT_EQ(played->EndCalls() + sent->EndCalls(), 2);
      stops.clear();
      Engine().ClearCalls();
    }
    EXPECT_EQ(handler_->ReleaseChannel(channel), S_OK);
    stops.insert(stops.begin(), "DeleteChannel(" + c + ")");
    stops.insert(stops.end(), {"StopRecordingPlayout()", "StopRecordingCall()"});
    EXPECT_EQ(EngineCalls(), stops);
    EXPECT_EQ(played->EndCalls() + sent->EndCalls() + recorded->EndCalls(), 3);
    // An engine that kept its relays finds them closed, never the host objects.
    if (engineRefusesStops) {
      char buffer[16];
      EXPECT_EQ(playRelay->Read(buffer, sizeof buffer), 0);
      EXPECT_TRUE(recordRelay->Write("late", 4));
    }
    EXPECT_EQ(played->CallsAfterEnd() + recorded->CallsAfterEnd(), 0);
    Engine().ClearFailures();
  }
}

// The engine's DeleteChannel comes first. When it fails, its code is the
// result and the channel stays counted with its streams running; the table
// entry goes either way.
TEST_F(ChannelLifecycleTest, ReleaseDeletesTheEngineChannelFirstAndKeepsItsStateWhenThatFails) {
  struct Row {
    bool deleteFails;
    HRESULT released;
    HRESULT stopPlayStream;      // S_OK while the channel's streams exist
    size_t soundDeviceSettings;  // by the next reservation: 1 when none was left
  };
  const Row rows[] = {
      {true, EngineErrorToHresult(8003), S_OK, 0},
      {false, S_OK, S_FALSE, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.deleteFails ? "engine refuses" : "engine deletes");
    Start();
    LONG channel = Reserve();
    auto played = host::MemoryAudioSource::Create("p");
    ASSERT_EQ(Audio().StartPlayAudioStream(channel, 0, played.Get(), 100), S_OK);
    std::string c = std::to_string(channel);
    Engine().ClearCalls();
    if (row.deleteFails) Engine().FailNext("DeleteChannel", 8003);
    EXPECT_EQ(handler_->ReleaseChannel(channel), row.released);
    Strings calls = {"DeleteChannel(" + c + ")"};
    if (!row.deleteFails) calls.push_back("StopPlayingFileLocally(" + c + ")");
    EXPECT_EQ(EngineCalls(), calls);
    EXPECT_EQ(played->EndCalls(), row.deleteFails ? 0 : 1);
    ChannelState* state = nullptr;
    EXPECT_EQ(handler_->GetChannelState(channel, &state), E_INVALIDARG);
    EXPECT_EQ(handler_->ReleaseChannel(channel), S_FALSE);
    EXPECT_EQ(Audio().StopPlayAudioStream(channel), row.stopPlayStream);
    Engine().ClearCalls();
    Reserve();
    EXPECT_EQ(Engine().CountOf("SetSoundDevices"), row.soundDeviceSettings);
  }
}

}  // namespace
}  // namespace media_test
