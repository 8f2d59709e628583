// Whole calls between two handler objects made through the entry points,
// driven through their COM interfaces by the reference host, each over a
// test engine that records what it was told.
#include <algorithm>
#include <string>
#include <vector>

#include "media/media_handler_impl.h"
#include "tests/component/component_test_support.h"
#include "tests/support/test_engine_factory.h"
#include "tools/call_session.h"

namespace component_test {
namespace {

using tools::CallParty;
using tools::CallSession;
using tools::CallStep;

std::vector<std::string> Describe(const std::vector<CallStep>& steps) {
  std::vector<std::string> texts;
  for (const CallStep& step : steps) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(step.result));
    texts.push_back(step.party + " " + step.operation + " " + code);
  }
  return texts;
}

// The operation names of the engine's log, in order, without the argument
// lists and without the last-error queries.
std::vector<std::string> Operations(const TestVoiceEngine& engine) {
  std::vector<std::string> names;
  for (const std::string& call : engine.CallsWithout("LastError"))
    names.push_back(call.substr(0, call.find('(')));
  return names;
}

// Whether `wanted` appears in `all` in this order (other entries between).
bool InOrder(const std::vector<std::string>& all, const std::vector<std::string>& wanted) {
  auto at = all.begin();
  for (const std::string& name : wanted) {
    at = std::find(at, all.end(), name);
    if (at == all.end()) return false;
    ++at;
  }
  return true;
}

class WholeCallTest : public testing::Test {
 protected:
  void SetUp() override {
    caller_.name = "caller";
    callee_.name = "callee";
    caller_.handler = CreateHandler();
    callerEngine_ = testEngine_.factory().LastEngine();
    callee_.handler = CreateHandler();
    calleeEngine_ = testEngine_.factory().LastEngine();
    ASSERT_TRUE(caller_.handler && callee_.handler);
    ASSERT_NE(callerEngine_, calleeEngine_);
    callee_.network->Settings().preferred_audio_rtp_port = 42000;
    caller_.network->Settings().audio_tos_value = 46;
  }

  void Prepare(const Strings& callerCodecs, const Strings& calleeCodecs) {
    caller_.preferredCodecs = callerCodecs;
    callee_.preferredCodecs = calleeCodecs;
    for (CallParty* party : {&caller_, &callee_})
      ASSERT_EQ(session_.Prepare(*party), S_OK) << party->name;
    prepared_ = session_.Steps().size();
  }

  // The steps of the call itself, after Init and the preferences.
  Strings CallSteps() const {
    Strings all = Describe(session_.Steps());
    return Strings(all.begin() + static_cast<std::ptrdiff_t>(prepared_), all.end());
  }

  ScopedTestEngine testEngine_;
  CallParty caller_;
  CallParty callee_;
  TestVoiceEngine* callerEngine_ = nullptr;
  TestVoiceEngine* calleeEngine_ = nullptr;
  CallSession session_{caller_, callee_};
  size_t prepared_ = 0;
};

TEST_F(WholeCallTest, OfferAndAnswerAreWrittenInEachSidesPreferenceOrder) {
  Prepare({"PCMU", "PCMA", "telephone-event"}, {"PCMA", "PCMU", "telephone-event"});
  EXPECT_EQ(Describe(session_.Steps()),
            (Strings{"caller Init 0x00000000", "caller AddPreferredAudioFormat 0x00000000",
                     "caller AddPreferredAudioFormat 0x00000000",
                     "caller AddPreferredAudioFormat 0x00000000", "callee Init 0x00000000",
                     "callee AddPreferredAudioFormat 0x00000000",
                     "callee AddPreferredAudioFormat 0x00000000",
                     "callee AddPreferredAudioFormat 0x00000000"}));
  ASSERT_EQ(session_.Connect(), S_OK);
  const Strings negotiation = {
      "caller ReserveChannel 0x00000000", "caller AddOfferMediaDescription 0x00000000",
      "callee AnyCommonFormat 0x00000000", "callee ReserveChannel 0x00000000",
      "callee AddAnswerMediaDescription 0x00000000"};
  Strings steps = CallSteps();
  steps.resize(negotiation.size());
  EXPECT_EQ(steps, negotiation);

  const LONG offerPort = MediaPort(session_.Offer(), 0);
  const LONG answerPort = MediaPort(session_.Answer(), 0);
  EXPECT_GE(offerPort, 40000);
  EXPECT_LT(offerPort, 42000);
  EXPECT_GE(answerPort, 42000);
  EXPECT_EQ(offerPort % 2, 0);
  EXPECT_EQ(MediaLine(session_.Offer(), 0),
            (Strings{"m=audio " + std::to_string(offerPort) + " RTP/AVP 0 8 101",
                     "a=rtpmap:0 PCMU/8000", "a=rtpmap:8 PCMA/8000",
                     "a=rtpmap:101 telephone-event/8000", "c=IN IP4 127.0.0.1"}));
  EXPECT_EQ(MediaLine(session_.Answer(), 0),
            (Strings{"m=audio " + std::to_string(answerPort) + " RTP/AVP 8 0 101",
                     "a=rtpmap:8 PCMA/8000", "a=rtpmap:0 PCMU/8000",
                     "a=rtpmap:101 telephone-event/8000", "c=IN IP4 127.0.0.1"}));
  EXPECT_EQ(caller_.network->Settings().last_audio_channel, caller_.channel);
  EXPECT_EQ(callee_.network->Settings().last_audio_channel, callee_.channel);

  for (TestVoiceEngine* engine : {callerEngine_, calleeEngine_}) {
    EXPECT_TRUE(InOrder(Operations(*engine), {"Init", "SetSoundDevices", "CreateChannel"}));
    EXPECT_EQ(engine->state().channels.size(), 1u);
  }
  EXPECT_EQ(session_.HangUp(), S_OK);
  for (TestVoiceEngine* engine : {callerEngine_, calleeEngine_}) {
    EXPECT_EQ(engine->CountOf("DeleteChannel"), 1u);
    EXPECT_TRUE(engine->state().channels.empty());
  }
  EXPECT_EQ(caller_.channel, -1);
}

TEST_F(WholeCallTest, NothingInCommonTurnsTheLineDownAndNoMediaRuns) {
  Prepare({"PCMU"}, {"PCMA"});
  EXPECT_EQ(session_.Connect(), S_FALSE);
  EXPECT_EQ(CallSteps(),
            (Strings{"caller ReserveChannel 0x00000000", "caller AddOfferMediaDescription 0x00000000",
                     "callee AnyCommonFormat 0x00000000", "callee ReserveChannel 0x00000000",
                     "callee AddAnswerMediaDescription 0x00000000"}));
  EXPECT_EQ(MediaLine(session_.Answer(), 0),
            (Strings{"m=audio 0 RTP/AVP 0", "a=rtpmap:0 PCMU/8000", "c=IN IP4 127.0.0.1"}));
  EXPECT_EQ(session_.HangUp(), S_OK);
  EXPECT_EQ(Describe(session_.Steps()).back(), "callee ReleaseChannel 0x00000000");
  for (TestVoiceEngine* engine : {callerEngine_, calleeEngine_}) {
    EXPECT_EQ(engine->CountOf("StartListen"), 0u);
    EXPECT_TRUE(engine->state().channels.empty());
  }
}

TEST_F(WholeCallTest, AFailedStepEndsTheCallAndHangUpStillReleasesTheChannels) {
  Prepare({"PCMU", "telephone-event"}, {"PCMU", "telephone-event"});
  callee_.network->SimulateError("put_LastAudioChannel", E_ACCESSDENIED);
  EXPECT_EQ(session_.Connect(), kMediaChannelFailure);
  EXPECT_EQ(Describe(session_.Steps()).back(), "callee ReserveChannel 0x80040066");
  EXPECT_EQ(session_.Answer().Session().media.size(), 0u) << "no answer after the failure";
  EXPECT_EQ(session_.HangUp(), S_OK);
  EXPECT_TRUE(callerEngine_->state().channels.empty());
}

TEST_F(WholeCallTest, AWholeCallRunsMediaOnBothSidesAndHangsUp) {
  Prepare({"PCMU", "PCMA", "telephone-event"}, {"PCMA", "PCMU", "telephone-event"});
  ASSERT_EQ(session_.Connect(), S_OK);
  const std::vector<std::string> media = {"SetReceiveParameters", "StartListen", "StartPlayout",
                                          "SetSendParameters", "StartSending"};
  std::vector<std::string> expected = {
      "caller ReserveChannel 0x00000000", "caller AddOfferMediaDescription 0x00000000",
      "callee AnyCommonFormat 0x00000000", "callee ReserveChannel 0x00000000",
      "callee AddAnswerMediaDescription 0x00000000"};
  for (const char* party : {"callee", "caller"})
    for (const std::string& step : media) expected.push_back(std::string(party) + " " + step + " 0x00000000");
  EXPECT_EQ(CallSteps(), expected);

  struct Side {
    const char* name;
    TestVoiceEngine* engine;
    LONG channel;
    LONG ownPort;
    LONG peerPort;
    int sendPayload;  // the first of the side's own preferences that the peer has
    int tos;
  };
  const Side sides[] = {
      {"caller", callerEngine_, caller_.channel, MediaPort(session_.Offer(), 0),
       MediaPort(session_.Answer(), 0), 0, 46 * 4},
      {"callee", calleeEngine_, callee_.channel, MediaPort(session_.Answer(), 0),
       MediaPort(session_.Offer(), 0), 8, 0},
  };
  for (const Side& side : sides) {
    TestVoiceEngine::Channel* channel = side.engine->FindChannel(side.channel);
    ASSERT_NE(channel, nullptr) << side.name;
    EXPECT_EQ(channel->receivePort, side.ownPort) << side.name;
    EXPECT_EQ(channel->destinationPort, side.peerPort) << side.name;
    EXPECT_EQ(channel->destinationIp, "127.0.0.1") << side.name;
    EXPECT_TRUE(channel->listening && channel->playing && channel->sending) << side.name;
    EXPECT_EQ(channel->sendCodec.payloadType, side.sendPayload) << side.name;
    EXPECT_EQ(channel->dtmfPayloadType, 101) << side.name;
    EXPECT_EQ(channel->tos, side.tos) << side.name;
  }

  EXPECT_EQ(session_.HangUp(), S_OK);
  for (const Side& side : sides) {
    EXPECT_EQ(side.engine->FindChannel(side.channel), nullptr) << side.name;
    EXPECT_TRUE(InOrder(Operations(*side.engine),
                        {"CreateChannel", "SetLocalReceiver", "StartListen", "StartPlayout",
                         "SetSendCodec", "SetSendDestination", "StartSend", "StopSend",
                         "StopPlayout", "StopListen", "DeleteChannel"}))
        << side.name;
  }
}

}  // namespace
}  // namespace component_test
