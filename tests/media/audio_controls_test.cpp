// IAudioControl's settings, volumes and the DTMF tone gate on the test
// engine; the gate runs on the manual clock, so its timing is exact.
#include <string>
#include <vector>

#include "platform/bstr.h"
#include "platform/manual_clock.h"
#include "tests/media/engine_call_fixture.h"

namespace media_test {
namespace {

using Strings = std::vector<std::string>;

class AudioControlsTest : public EngineCallTest {
 protected:
  void SetUp() override { Start(); }

  // Events the engine sent on channel 0.
  std::vector<int> Events() { return Engine().FindChannel(0)->telephoneEvents; }

  platform::ScopedManualClockForTesting clock_;
};

TEST_F(AudioControlsTest, InitAppliesTheDefaultsWhateverTheEngineAnswers) {
  handler_ = CGipsMediaHandler::Create();
  Engine().FailAlways("SetECStatus", 8003);
  Audio().SetSilenceSuppression(VARIANT_TRUE);
  ASSERT_EQ(handler_->Init(network_.Get()), S_OK);
  EXPECT_EQ(handler_->SilenceSuppression(), VARIANT_FALSE);
  EXPECT_EQ(Engine().CallsTo("SetECStatus"), Strings{"SetECStatus(true,0,0,28)"});
  EXPECT_EQ(Engine().CallsTo("SetAGCStatus"), Strings{"SetAGCStatus(0,2)"});
  EXPECT_EQ(Audio().AddPreferredAudioFormat(nullptr), E_POINTER);
}

TEST_F(AudioControlsTest, VoiceProcessingAndMuteCountOnlyVariantTrue) {
  LONG channel = Reserve();
  for (VARIANT_BOOL value : {VARIANT_TRUE, VARIANT_BOOL{1}}) {
    Engine().ClearCalls();
    Audio().SetAcousticEchoCancellation(value);
    Audio().SetAutomaticGainControl(value);
    EXPECT_EQ(Audio().MuteAudio(value, channel), S_OK);
    Strings on = {"SetECStatus(true,0,0,28)", "SetAGCStatus(1,2)", "SetInputMute(0,true)"};
    Strings off = {"SetECStatus(false,0,0,28)", "SetAGCStatus(0,2)", "SetInputMute(0,false)"};
    EXPECT_EQ(EngineCalls(), value == VARIANT_TRUE ? on : off);
  }
  Engine().FailAlways("SetInputMute", 8003);
  Engine().FailAlways("SetAGCStatus", 8003);
  EXPECT_EQ(Audio().MuteAudio(VARIANT_TRUE, channel), EngineErrorToHresult(8003));
  EXPECT_EQ(Audio().SetAutomaticGainControl(VARIANT_TRUE), S_OK);
}

TEST_F(AudioControlsTest, VolumesAndLevelsScaleToPercent) {
  LONG percent = 0;
  // Nothing reaches the engine before a channel opened its devices.
  EXPECT_EQ(Audio().SetMicrophoneVolume(100, 0), S_OK);
  EXPECT_EQ(Audio().GetMicrophoneVolume(&percent, 0), S_FALSE);
  EXPECT_EQ(percent, -1);
  EXPECT_EQ(Engine().CountOf("SetMicVolume") + Engine().CountOf("GetMicVolume"), 0u);
  Reserve();
  struct Row {
    LONG percent;
    int engineVolume;  // what SetMicrophoneVolume writes
    LONG readBack;
    int engineLevel;  // 0..9
    LONG levelPercent;
  };
  const Row rows[] = {{100, 255, 100, 9, 100},
                      {50, 127, 49, 4, 44},
                      {0, 0, 0, 0, 0},
                      {1, 2, 0, 1, 11},
                      {-10, -25, -9, 8, 88}};
  for (const Row& row : rows) {
    EXPECT_EQ(Audio().SetMicrophoneVolume(row.percent, 0), S_OK);
    EXPECT_EQ(Engine().state().micVolume, row.engineVolume) << row.percent;
    EXPECT_EQ(Audio().GetMicrophoneVolume(&percent, 0), S_OK);
    EXPECT_EQ(percent, row.readBack) << row.percent;
    Engine().state().micLevel = Engine().state().speakerLevel = row.engineLevel;
    EXPECT_EQ(Audio().GetMicrophoneLevel(&percent, 0), S_OK);
    EXPECT_EQ(percent, row.levelPercent);
    EXPECT_EQ(Audio().GetSpeakerLevel(&percent, 0), S_OK);
    EXPECT_EQ(percent, row.levelPercent);
  }
  Engine().FailAlways("GetMicLevel", 8003);
  EXPECT_EQ(Audio().GetMicrophoneLevel(&percent, 0), S_FALSE);
  EXPECT_EQ(percent, -1);
  devices_.SetPresent(0, false);  // no mixer: no speaker volume
  EXPECT_EQ(Audio().GetSpeakerVolume(&percent, 0), S_FALSE);
  EXPECT_EQ(percent, -1);
}

TEST_F(AudioControlsTest, KeysMapToEventsOnlyOnASendingChannel) {
  LONG channel = Negotiate();
  EXPECT_EQ(Audio().StartDtmfTone('A', channel), S_OK);  // not sending: not even validated
  ASSERT_EQ(handler_->StartSending(channel), S_OK);
  const std::pair<LONG, int> rows[] = {{'0', 0},  {'9', 9},  {'*', 10}, {'#', 11},
                                       {'a', 12}, {'d', 15}, {'A', -1}, {0x131, -1}};
  std::vector<int> expected;
  for (const auto& [key, event] : rows) {
    EXPECT_EQ(Audio().StartDtmfTone(key, channel), event < 0 ? E_INVALIDARG : S_OK) << key;
    if (event >= 0) expected.push_back(event);
    Audio().StopDtmfTone(channel);
    clock_.Advance(200);
  }
  EXPECT_EQ(Events(), expected);
  // Out of band: the peer took telephone-event.
  EXPECT_EQ(Engine().CallsTo("SendTelephoneEvent").front(), "SendTelephoneEvent(0,0,true,160,10)");
  Engine().FailNext("SendTelephoneEvent", 8003);
  EXPECT_EQ(Audio().StartDtmfTone('1', channel), kMediaToneFailure);
  EXPECT_EQ(Audio().StartDtmfTone('2', channel), S_OK);  // the gate stayed open
  EXPECT_EQ(Events().back(), 2);
}

TEST_F(AudioControlsTest, TheToneGateOpensAfterReleaseAndTwoHundredMilliseconds) {
  struct Step {
    DWORD at;       // milliseconds after the call began
    bool press;     // StartDtmfTone, else StopDtmfTone
    bool accepted;  // for presses: whether the key went out
  };
  struct Case {
    std::vector<Step> steps;
    bool refuseTimers = false;  // the key goes out all the same; the release opens the gate
  };
  const std::vector<Case> cases = {
      {{{0, true, true}, {50, false, false}, {100, true, false}, {250, true, true}}},
      {{{0, true, true}, {10, false, false}, {199, true, false}, {200, true, true}}},
      // Held past 200 ms: the gate waits for the release.
      {{{0, true, true}, {300, true, false}, {310, false, false}, {310, true, true}}},
      {{{0, true, true}, {0, true, false}, {0, false, false}, {0, true, true}}, true},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    Start();
    ASSERT_EQ(StartCall(), 0);
    clock_.RefuseNewTimers(cases[i].refuseTimers);
    DWORD begin = clock_.Elapsed();
    size_t sent = 0;
    for (const Step& step : cases[i].steps) {
      clock_.Advance(begin + step.at - clock_.Elapsed());
      EXPECT_EQ(step.press ? Audio().StartDtmfTone('5', 0) : Audio().StopDtmfTone(0), S_OK);
      sent += step.accepted;
      EXPECT_EQ(Events().size(), sent) << "case " << i << " at " << step.at;
    }
    clock_.RefuseNewTimers(false);
  }
}

TEST_F(AudioControlsTest, AHandlerDestroyedWithItsToneTimerRunningIsNeverCalledBack) {
  LONG channel = StartCall();
  ASSERT_EQ(Audio().StartDtmfTone('7', channel), S_OK);
  TestVoiceEngine& engine = Engine();
  handler_.Reset();      // the last reference
  clock_.Advance(1000);  // the timer's time passes with nothing to call
  EXPECT_EQ(engine.CountOf("SendTelephoneEvent"), 1u);
}

}  // namespace
}  // namespace media_test
