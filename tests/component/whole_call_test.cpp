// Whole calls between two handler objects made through the entry points,
// driven through their COM interfaces by the reference host, each over a
// test engine that records what it was told.
#include <algorithm>
#include <string>
#include <vector>

#include "host/call_session.h"
#include "media/media_handler_impl.h"
#include "tests/component/component_test_support.h"
#include "tests/support/test_engine_factory.h"

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

// Offer and answer, the first steps of every call that gets past Prepare.
const Strings kNegotiation = {
    "caller ReserveChannel 0x00000000", "caller AddOfferMediaDescription 0x00000000",
    "callee AnyCommonFormat 0x00000000", "callee ReserveChannel 0x00000000",
    "callee AddAnswerMediaDescription 0x00000000"};

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

TEST_F(WholeCallTest, OfferAndAnswerFollowEachSidesPreferencesAndMediaRunsUntilHangUp) {
  Prepare({"PCMU", "PCMA", "telephone-event"}, {"PCMA", "PCMU", "telephone-event"});
  EXPECT_EQ(prepared_, 8u) << "Init and three preferences on each side";
  ASSERT_EQ(session_.Connect(), S_OK);
  Strings expected = kNegotiation;
  for (const char* party : {"callee", "caller"})
    for (const char* step : {"SetReceiveParameters", "StartListen", "StartPlayout",
                             "SetSendParameters", "StartSending"})
      expected.push_back(std::string(party) + " " + step + " 0x00000000");
  EXPECT_EQ(CallSteps(), expected);

  const LONG offerPort = MediaPort(session_.Offer(), 0);
  const LONG answerPort = MediaPort(session_.Answer(), 0);
  EXPECT_GE(offerPort, 40000);
  EXPECT_LT(offerPort, 42000);
  EXPECT_GE(answerPort, 42000);
  EXPECT_EQ(offerPort % 2, 0);
  EXPECT_EQ(
      MediaLine(session_.Offer(), 0),
      (Strings{"m=audio " + std::to_string(offerPort) + " RTP/AVP 0 8 101", "a=rtpmap:0 PCMU/8000",
               "a=rtpmap:8 PCMA/8000", "a=rtpmap:101 telephone-event/8000", "c=IN IP4 127.0.0.1"}));
  EXPECT_EQ(
      MediaLine(session_.Answer(), 0),
      (Strings{"m=audio " + std::to_string(answerPort) + " RTP/AVP 8 0 101", "a=rtpmap:8 PCMA/8000",
               "a=rtpmap:0 PCMU/8000", "a=rtpmap:101 telephone-event/8000", "c=IN IP4 127.0.0.1"}));

  struct Side {
    const char* name;
    CallParty& party;
    TestVoiceEngine* engine;
    LONG ownPort;
    LONG peerPort;
    int sendPayload;  // the first of the side's own preferences that the peer has
    int tos;
  };
  const Side sides[] = {{"caller", caller_, callerEngine_, offerPort, answerPort, 0, 46 * 4},
                        {"callee", callee_, calleeEngine_, answerPort, offerPort, 8, 0}};
  for (const Side& side : sides) {
    SCOPED_TRACE(side.name);
    EXPECT_EQ(side.party.network->Settings().last_audio_channel, side.party.channel);
    EXPECT_EQ(side.engine->state().channels.size(), 1u);
    TestVoiceEngine::Channel* channel = side.engine->FindChannel(side.party.channel);
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(channel->receivePort, side.ownPort);
    EXPECT_EQ(channel->destinationPort, side.peerPort);
    EXPECT_EQ(channel->destinationIp, "127.0.0.1");
    EXPECT_TRUE(channel->listening && channel->playing && channel->sending);
    EXPECT_EQ(channel->sendCodec.payloadType, side.sendPayload);
    EXPECT_EQ(channel->dtmfPayloadType, 101);
    EXPECT_EQ(channel->tos, side.tos);
  }

  EXPECT_EQ(session_.HangUp(), S_OK);
  EXPECT_EQ(caller_.channel, -1);
  for (const Side& side : sides) {
    SCOPED_TRACE(side.name);
    EXPECT_TRUE(side.engine->state().channels.empty());
    EXPECT_EQ(side.engine->CountOf("DeleteChannel"), 1u);
    EXPECT_TRUE(InOrder(Operations(*side.engine),
                        {"Init", "SetSoundDevices", "CreateChannel", "SetLocalReceiver",
                         "StartListen", "StartPlayout", "SetSendCodec", "SetSendDestination",
                         "StartSend", "StopSend", "StopPlayout", "StopListen", "DeleteChannel"}));
  }
}

TEST_F(WholeCallTest, NothingInCommonTurnsTheLineDownAndNoMediaRuns) {
  Prepare({"PCMU"}, {"PCMA"});
  EXPECT_EQ(session_.Connect(), S_FALSE);
  EXPECT_EQ(CallSteps(), kNegotiation);
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

}  // namespace
}  // namespace component_test
