#include "audio/ks_voice_engine.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/bstr.h"
#include "tests/support/memory_streams.h"
#include "tests/support/test_engine_factory.h"

namespace {

using Strings = std::vector<std::string>;
using platform::BString;

CodecDescriptor Amr() { return CodecDescriptor(96, MEDLEY_OLESTR("AMR"), 8000, 160, 1, 12200); }

class KsVoiceEngineTest : public testing::Test {
 protected:
  void SetUp() override {
    adapter_ = std::make_unique<CKsVoiceEngine>();
    ASSERT_EQ(adapter_->Init(), S_OK);
    LONG channel = -1;
    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(adapter_->CreateChannel(&channel, &ok), S_OK);
    ASSERT_EQ(channel, 0);
    engine().ClearCalls();
  }
  TestVoiceEngine& engine() { return testEngine_.engine(); }

  ScopedTestEngine testEngine_;
  std::unique_ptr<CKsVoiceEngine> adapter_;
  MemoryInStream in_;
  MemoryOutStream out_;
};

// One row per adapter operation not already checked through the media handler:
// the engine call it makes, its S_OK on success and 0x80040000 + last error
// after one LastError call on failure.
TEST_F(KsVoiceEngineTest, EachOperationMakesItsEngineCallAndMapsFailure) {
  CKsVoiceEngine& a = *adapter_;
  CodecDescriptor amrwb(97, MEDLEY_OLESTR("AMRWB"), 16000, 320, 1, 23850);
  CodecDescriptor linear(0, MEDLEY_OLESTR("L16"), 8000, 0, 0, 0);
  CodecDescriptor codec;
  BString version;
  LONG value = 0;
  struct Row {
    std::function<HRESULT()> call;
    std::string engineCall;
    bool readsLastErrorAnyway = false;
  };
  const Row rows[] = {
      {[&] { return a.SetLocalReceiver(0, 5004); }, "SetLocalReceiver(0,5004,-1,null,null)"},
      {[&] { return a.SetSendDestination(0, 5006, nullptr, 7, 8); },
       "SetSendDestination(0,5006,,7,8)"},
      {[&] { return a.StartListen(0); }, "StartListen(0)"},
      {[&] { return a.StartPlayout(0); }, "StartPlayout(0)"},
      {[&] { return a.StartSend(0); }, "StartSend(0)", true},
      {[&] { return a.StopListen(0); }, "StopListen(0)"},
      {[&] { return a.StopPlayout(0); }, "StopPlayout(0)"},
      {[&] { return a.StopSend(0); }, "StopSend(0)"},
      {[&] { return a.GetVersion(version.Receive()); }, "GetVersion(500)"},
      {[&] { return a.GetNumOfCodecs(&value); }, "NumOfCodecs()"},
      {[&] { return a.GetCodecAt(1, &codec); }, "GetCodec(1)"},
      {[&] { return a.SetSendCodec(0, amrwb); }, "SetSendCodec(0,{97,AMRWB,16000,320,1,23850})",
       true},
      {[&] { return a.put_RecPayloadType(0, amrwb); },
       "SetRecPayloadType(0,{97,AMRWB,16000,320,1,23850})"},
      {[&] { return a.SetVAD(0, 2); }, "SetVADStatus(0,1,0,0)"},
      {[&] { return a.SetDtmfPayloadType(0, 101); }, "SetDTMFPayloadType(0,101)"},
      {[&] { return a.SendTelephoneEvent(0, 3, false); }, "SendTelephoneEvent(0,3,false,160,10)"},
      {[&] { return a.SetSoundDevices(1, 2); }, "SetSoundDevices(1,2,0,0,2)"},
      {[&] { return a.SetEchoCancellation(true); }, "SetECStatus(true,0,0,28)"},
      {[&] { return a.SetGainControl(1); }, "SetAGCStatus(1,2)"},
      {[&] { return a.SetMicVolume(200); }, "SetMicVolume(200)"},
      {[&] { return a.GetMicVolume(&value); }, "GetMicVolume()"},
      {[&] { return a.GetMicLevel(&value); }, "GetMicLevel()"},
      {[&] { return a.GetSpeakerLevel(&value); }, "GetSpeakerLevel(-1)"},
      {[&] { return a.StartPlayingFileAsMicrophone(0, &in_, 1, 1.0f, true); },
       "StartPlayingFileAsMicrophone(0,stream,true,1,1)"},
      {[&] { return a.StartRecordingPlayout(&out_); }, "StartRecordingPlayout(stream,null)"},
      {[&] { return a.ConvertWavToPcm(&in_, &out_); }, "ConvertWavToPcm(stream,stream)"},
      {[&] { return a.ConvertPcmToCompressed(&in_, Amr(), &out_); },
       "ConvertPcmToCompressed(stream,stream,{96,AMR,8000,160,1,12200})"},
      {[&] { return a.StartRecordingCall(linear, "call.wav"); },
       "StartRecordingCall(call.wav,{0,L16,8000,0,0,0},-1)"},
      {[&] { return a.PauseRecordingCall(true); }, "PauseRecordingCall(true)"},
      {[&] { return a.DeleteChannel(0); }, "DeleteChannel(0)"},  // last: the channel goes
  };
  for (const Row& row : rows) {
    std::string operation = row.engineCall.substr(0, row.engineCall.find('('));
    engine().ClearCalls();
    EXPECT_EQ(row.call(), S_OK) << row.engineCall;
    Strings expected = {row.engineCall};
    if (row.readsLastErrorAnyway) expected.push_back("LastError()");
    EXPECT_EQ(engine().Calls(), expected);

    engine().ClearCalls();
    engine().FailNext(operation, 8003);
    EXPECT_EQ(row.call(), static_cast<HRESULT>(0x80041F43u)) << row.engineCall;
    EXPECT_EQ(engine().Calls(), (Strings{row.engineCall, "LastError()"}));
  }
}

TEST_F(KsVoiceEngineTest, FailureCodeIsTheLastErrorInTheLowWord) {
  const std::pair<int, unsigned> rows[] = {
      {0, 0x80040000u}, {9002, 0x8004232Au}, {0xFFFF, 0x8004FFFFu}};
  for (auto [lastError, expected] : rows) {
    engine().FailNext("StopSend", lastError);
    EXPECT_EQ(adapter_->StopSend(0), static_cast<HRESULT>(expected)) << lastError;
    EXPECT_EQ(adapter_->LastError(), lastError);
  }
  EXPECT_EQ(adapter_->StopSend(42), EngineErrorToHresult(TestVoiceEngine::kUnknownChannel));
}

TEST_F(KsVoiceEngineTest, NullPointersAreRefusedBeforeTheEngine) {
  CKsVoiceEngine& a = *adapter_;
  LONG value = 0;
  VARIANT_BOOL ok = VARIANT_FALSE;
  CodecDescriptor codec;
  const std::function<HRESULT()> calls[] = {
      [&] { return a.GetVersion(nullptr); },
      [&] { return a.CreateChannel(nullptr, &ok); },
      [&] { return a.CreateChannel(&value, nullptr); },
      [&] { return a.GetNumOfCodecs(nullptr); },
      [&] { return a.GetCodecAt(0, nullptr); },
      [&] { return a.FindCodecByName(MEDLEY_OLESTR("PCMU"), nullptr); },
      [&] { return a.GetMicVolume(nullptr); },
      [&] { return a.GetMicLevel(nullptr); },
      [&] { return a.GetSpeakerLevel(nullptr); },
      [&] { return a.StartPlayingFileLocally(0, nullptr, 2, 1.0f); },
      [&] { return a.StartPlayingFileAsMicrophone(0, nullptr, 2, 1.0f, true); },
      [&] { return a.StartRecordingPlayout(nullptr); },
      [&] { return a.StartRecordingPlayout(Amr(), nullptr); },
      [&] { return a.ConvertCompressedToPcm(nullptr, &out_); },
      [&] { return a.ConvertCompressedToPcm(&in_, nullptr); },
      [&] { return a.ConvertPcmToCompressed(nullptr, Amr(), &out_); },
      [&] { return a.ConvertPcmToCompressed(&in_, Amr(), nullptr); },
  };
  for (size_t i = 0; i < std::size(calls); ++i) {
    EXPECT_EQ(calls[i](), E_POINTER) << "call " << i;
    EXPECT_EQ(engine().Calls(), Strings{}) << "call " << i;
  }
  // Converting WAV has no such check: the engine itself refuses the nulls.
  EXPECT_EQ(a.ConvertWavToPcm(nullptr, nullptr),
            EngineErrorToHresult(TestVoiceEngine::kInvalidArgument));
  EXPECT_EQ(engine().Calls(), (Strings{"ConvertWavToPcm(null,null)", "LastError()"}));
}

TEST(KsVoiceEngineLifecycleTest, InitStartsTheEngineOnce) {
  ScopedTestEngine scope;
  CKsVoiceEngine fresh;
  scope.engine().FailNext("Init", 8001);
  EXPECT_EQ(fresh.Init(), EngineErrorToHresult(8001));
  EXPECT_EQ(fresh.Init(), S_OK);
  EXPECT_EQ(fresh.Init(), S_OK);
  EXPECT_EQ(scope.engine().CallsTo("Init"), (Strings{"Init(0,0,0,0,1)", "Init(0,0,0,0,1)"}));
}

// Send re-applies the telephone-event payload type, even one the engine refused.
TEST(KsVoiceEngineSendTest, StartSendReappliesTheTelephoneEventPayloadType) {
  const HRESULT kRefused = EngineErrorToHresult(8003);
  struct Row {
    LONG dtmfPayloadType;    // -1: SetDtmfPayloadType not called
    const char* failBefore;  // made to fail before StartSend, or ""
    const char* failDuring;  // made to fail during StartSend, or ""
    HRESULT expected;
    Strings calls;  // from StartSend on
  } rows[] = {
      {-1, "", "", S_OK, {"StartSend(0)", "LastError()"}},
      {101, "", "", S_OK, {"StartSend(0)", "LastError()", "SetDTMFPayloadType(0,101)"}},
      {96,
       "SetDTMFPayloadType",
       "",
       S_OK,
       {"StartSend(0)", "LastError()", "SetDTMFPayloadType(0,96)"}},
      {101, "", "StartSend", kRefused, {"StartSend(0)", "LastError()"}},
      {101,
       "",
       "SetDTMFPayloadType(0,101)",
       kRefused,
       {"StartSend(0)", "LastError()", "SetDTMFPayloadType(0,101)", "LastError()"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.calls));
    ScopedTestEngine scope;
    CKsVoiceEngine adapter;
    LONG channel;
    VARIANT_BOOL ok;
    ASSERT_EQ(adapter.Init(), S_OK);
    ASSERT_EQ(adapter.CreateChannel(&channel, &ok), S_OK);
    if (*row.failBefore) scope.engine().FailNext(row.failBefore, 8003);
    if (row.dtmfPayloadType != -1) adapter.SetDtmfPayloadType(channel, row.dtmfPayloadType);
    scope.engine().ClearCalls();
    if (*row.failDuring) scope.engine().FailNext(row.failDuring, 8003);
    EXPECT_EQ(adapter.StartSend(channel), row.expected);
    EXPECT_EQ(scope.engine().Calls(), row.calls);
  }
}

TEST_F(KsVoiceEngineTest, CreateChannelReportsFailureOnlyThroughOk) {
  LONG channel = 0;
  VARIANT_BOOL ok = VARIANT_TRUE;
  engine().FailNext("CreateChannel", 8011);
  EXPECT_EQ(adapter_->CreateChannel(&channel, &ok), S_OK);
  EXPECT_EQ(channel, -1);
  EXPECT_EQ(ok, VARIANT_FALSE);
  EXPECT_EQ(engine().Calls(), Strings{"CreateChannel()"}) << "no last-error lookup";
}

TEST_F(KsVoiceEngineTest, GettersCopyTheEngineValueAndTreatMinusOneAsFailure) {
  using Getter = HRESULT (CKsVoiceEngine::*)(LONG*);
  struct Row {
    Getter getter;
    int TestVoiceEngine::State::*value;
  } rows[] = {{&CKsVoiceEngine::GetMicVolume, &TestVoiceEngine::State::micVolume},
              {&CKsVoiceEngine::GetMicLevel, &TestVoiceEngine::State::micLevel},
              {&CKsVoiceEngine::GetSpeakerLevel, &TestVoiceEngine::State::speakerLevel}};
  for (const Row& row : rows) {
    LONG level = 0;
    engine().state().*row.value = 7;
    EXPECT_EQ((adapter_.get()->*row.getter)(&level), S_OK);
    EXPECT_EQ(level, 7);
    engine().state().*row.value = -1;
    engine().state().lastError = 8020;
    EXPECT_EQ((adapter_.get()->*row.getter)(&level), EngineErrorToHresult(8020));
    EXPECT_EQ(level, -1);
  }
}

// A failed read still overwrites its output: the zeroed record, a count of -1.
TEST_F(KsVoiceEngineTest, FailedCodecReadsOverwriteTheirOutput) {
  CodecDescriptor codec = Amr();
  EXPECT_EQ(adapter_->GetCodecAt(99, &codec),
            EngineErrorToHresult(TestVoiceEngine::kInvalidArgument));
  EXPECT_EQ(codec.Name(), MEDLEY_OLESTR(""));
  EXPECT_EQ(codec.payloadType, 0);
  LONG count = 0;
  engine().FailNext("NumOfCodecs", 8005);
  EXPECT_EQ(adapter_->GetNumOfCodecs(&count), EngineErrorToHresult(8005));
  EXPECT_EQ(count, -1);
}

TEST_F(KsVoiceEngineTest, FindCodecByNameTakesTheFirstExactMatch) {
  engine().SetCodecs({TestVoiceEngine::MakeCodec(0, "PCMU", 8000, 160, 1, 64000),
                      TestVoiceEngine::MakeCodec(100, "pcmu", 8000, 160, 1, 64000),
                      TestVoiceEngine::MakeCodec(13, "CN", 8000, 160, 1, 0),
                      TestVoiceEngine::MakeCodec(99, "CN", 16000, 320, 1, 0)});
  struct Row {
    const OLECHAR* name;
    const char* failing;
    HRESULT expected;
    LONG payloadType;
  } rows[] = {
      {MEDLEY_OLESTR("PCMU"), nullptr, S_OK, 0},
      {MEDLEY_OLESTR("pcmu"), nullptr, S_OK, 100},
      {MEDLEY_OLESTR("CN"), nullptr, S_OK, 13},
      {MEDLEY_OLESTR("Cn"), nullptr, E_FAIL, -1},
      {MEDLEY_OLESTR("AMR"), nullptr, E_FAIL, -1},
      {nullptr, nullptr, E_FAIL, -1},
      {MEDLEY_OLESTR("CN"), "GetCodec(1)", EngineErrorToHresult(8003), -1},
      {MEDLEY_OLESTR("PCMU"), "NumOfCodecs", EngineErrorToHresult(8003), -1},
  };
  for (const Row& row : rows) {
    if (row.failing) engine().FailNext(row.failing, 8003);
    CodecDescriptor codec;
    EXPECT_EQ(adapter_->FindCodecByName(row.name, &codec), row.expected);
    if (row.expected == S_OK) {
      EXPECT_EQ(codec.payloadType, row.payloadType);
    }
  }
}

TEST_F(KsVoiceEngineTest, VersionIsWidened) {
  engine().state().version = "Test engine \xC3\xA9 2.1";
  BString version;
  EXPECT_EQ(adapter_->GetVersion(version.Receive()), S_OK);
  EXPECT_EQ(version.View(), platform::NarrowToWide("Test engine \xC3\xA9 2.1"));
  engine().FailNext("GetVersion", 8008);
  EXPECT_EQ(adapter_->GetVersion(version.Receive()), EngineErrorToHresult(8008));
  EXPECT_TRUE(version.IsNull());
}

TEST(KsVoiceEngineLifecycleTest, InterfacesAreTakenInOrderAndGivenBackReversed) {
  const char* names[] = {"GIPSVEBase",      "GIPSVECodec",         "GIPSVEVQE",
                         "GIPSVEFile",      "GIPSVEVolumeControl", "GIPSVEHardware",
                         "GIPSVEVideoSync", "GIPSVENetwork",       "GIPSVEDTMF"};
  Strings taken, givenBack = {"Delete()"};
  for (const char* name : names) {
    taken.push_back(std::string("GetInterface(") + name + ")");
    givenBack.insert(givenBack.begin(), std::string("Release(") + name + ")");
  }
  for (bool init : {true, false}) {
    SCOPED_TRACE(init ? "initialised" : "never initialised");
    ScopedTestEngine scope;
    {
      CKsVoiceEngine adapter;
      EXPECT_EQ(adapter.GetVoiceEngine(), scope.factory().LastEngine());
      EXPECT_EQ(scope.engine().Calls(), taken);
      if (init) {
        ASSERT_EQ(adapter.Init(), S_OK);
      }
      scope.engine().ClearCalls();
    }
    Strings expected = givenBack;
    if (init) expected.insert(expected.begin(), "Terminate()");
    EXPECT_EQ(scope.engine().Calls(), expected);
    EXPECT_FALSE(scope.engine().AnyInterfaceHeld());
    EXPECT_TRUE(scope.factory().WasDeleted(&scope.engine()));
  }
}

TEST(KsVoiceEngineLifecycleTest, WithoutAnEngineEveryOperationAnswersUnexpected) {
  const char* interfaces[] = {"", "GetInterface(GIPSVEBase)", "GetInterface(GIPSVEFile)",
                              "GetInterface(GIPSVEDTMF)"};
  for (const char* missing : interfaces) {
    ScopedTestEngine scope;
    if (*missing)
      scope.factory().PrepareEngines([missing](TestVoiceEngine& e) { e.FailNext(missing, 0); });
    else
      scope.factory().FailNextCreate();
    CKsVoiceEngine adapter;
    LONG value = 0;
    VARIANT_BOOL ok = VARIANT_TRUE;
    CodecDescriptor codec;
    EXPECT_EQ(adapter.GetVoiceEngine(), nullptr) << missing;
    EXPECT_EQ(adapter.Init(), E_UNEXPECTED);
    EXPECT_EQ(adapter.CreateChannel(&value, &ok), E_UNEXPECTED);
    EXPECT_EQ(adapter.StartSend(0), E_UNEXPECTED);
    EXPECT_EQ(adapter.FindCodecByName(MEDLEY_OLESTR("PCMU"), &codec), E_UNEXPECTED);
    EXPECT_EQ(adapter.GetMicLevel(&value), E_UNEXPECTED);
    EXPECT_EQ(adapter.StopRecordingCall(), E_UNEXPECTED);
    EXPECT_EQ(adapter.LastError(), -1);
    if (*missing) {
      EXPECT_FALSE(scope.engine().AnyInterfaceHeld()) << missing;
      EXPECT_TRUE(scope.factory().WasDeleted(&scope.engine())) << missing;
    }
  }
}

TEST(EngineFactoryTest, OverridesNestAndRestore) {
  EngineFactory* library = &LibraryEngineFactory();
  EXPECT_EQ(&CurrentEngineFactory(), library);
  {
    TestEngineFactory outer;
    ScopedEngineFactoryOverride outerScope(outer);
    EXPECT_EQ(&CurrentEngineFactory(), &outer);
    {
      TestEngineFactory inner;
      ScopedEngineFactoryOverride innerScope(inner);
      EXPECT_EQ(&CurrentEngineFactory(), &inner);
    }
    EXPECT_EQ(&CurrentEngineFactory(), &outer);
  }
  EXPECT_EQ(&CurrentEngineFactory(), library);
}

}  // namespace
