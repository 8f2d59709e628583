// The plug-in's own interfaces called through the raw virtual table by slot
// number, as a host bound to the binary layout calls them. Each call is made
// where the member of that slot leaves a trace no other member leaves: the
// engine operations it runs, or what it writes into the host's objects.
// Two members swapped in the declarations fail here.
#include <functional>
#include <string>
#include <vector>

#include "host/memory_audio_sink.h"
#include "host/memory_audio_source.h"
#include "host/reference_media_state.h"
#include "host/reference_network.h"
#include "platform/audio_device_backend.h"
#include "platform/fake_audio_devices.h"
#include "tests/component/component_test_support.h"
#include "tests/support/test_engine_factory.h"

namespace component_test {
namespace {

using AnySlot = void (*)();
using host::SdpDocument;

template <class... Args>
HRESULT CallSlot(void* object, int index, Args... args) {
  const AnySlot* table = *static_cast<const AnySlot* const*>(object);
  return reinterpret_cast<HRESULT (*)(void*, Args...)>(table[index])(object, args...);
}

// The peer's answer: AMR-WB first, telephone-event at 100.
constexpr const char* kPeer =
    "v=0\no=- 7 7 IN IP4 198.51.100.7\ns=-\nc=IN IP4 198.51.100.7\nt=0 0\n"
    "m=audio 4000 RTP/AVP 96 0 100\na=rtpmap:96 AMR-WB/16000\na=rtpmap:100 telephone-event/8000\n";

ComPtr<SdpDocument> Parse(const char* text) {
  auto parsed = SdpDocument::Parse(std::string_view(text));
  EXPECT_TRUE(parsed.Ok());
  return std::move(parsed).Value();
}

class InterfaceSlotTest : public testing::Test {
 protected:
  InterfaceSlotTest() { devices_.AddCard(); }

  struct Row {
    int slot;
    const char* member;
    std::function<void()> prepare;  // on the typed interfaces
    std::function<HRESULT(void* object, int slot)> call;
    Strings operations;  // the engine operations the call runs, in order
    std::function<void()> check = [] {};
    bool initialised = true;  // Init and the codec preferences before `prepare`
  };

  // Each row on a new object from the class factory over a new test engine.
  template <class Interface>
  void ExpectEverySlotRunsItsMember(const std::vector<Row>& rows) {
    for (size_t i = 0; i < rows.size(); ++i) {
      const Row& row = rows[i];
      SCOPED_TRACE(row.member);
      ASSERT_EQ(row.slot, 3 + static_cast<int>(i));
      handler_ = CreateHandler();
      ASSERT_TRUE(handler_);
      ASSERT_EQ(handler_.As(&audio_), S_OK);
      if (row.initialised) {
        ASSERT_EQ(handler_->Init(network_.Get()), S_OK);
        ASSERT_EQ(PreferCodecs(handler_.Get(), {"AMR-WB", "PCMU", "PCMA", "CN", "telephone-event"}),
                  S_OK);
      }
      channel_ = -1;
      text_.Reset();
      flag_ = VARIANT_FALSE;
      number_ = -7;
      out_ = SdpDocument::CreateOutgoing("192.0.2.10", 1, 1);
      if (row.prepare) row.prepare();
      ComPtr<Interface> object;
      ASSERT_EQ(handler_.As(&object), S_OK);
      Engine().ClearCalls();
      EXPECT_EQ(row.call(object.Get(), row.slot), S_OK);
      EXPECT_EQ(Operations(), row.operations);
      row.check();
      object.Reset();
      audio_.Reset();
      handler_.Reset();
    }
  }

  TestVoiceEngine& Engine() { return testEngine_.engine(); }

  LONG Reserve() {
    LONG channel = -1;
    VARIANT_BOOL ok = VARIANT_FALSE;
    EXPECT_EQ(handler_->ReserveChannel(&channel, VARIANT_FALSE, nullptr, &ok), S_OK);
    return channel;
  }
  HRESULT Offer(LONG channel, SdpDocument* sdp) {
    state_->SetChannelId(channel);
    return handler_->AddOfferMediaDescription(CT_MEDIA_AUDIO, state_.Get(), sdp);
  }
  LONG Negotiate() {
    LONG channel = Reserve();
    offer_ = SdpDocument::CreateOutgoing("192.0.2.10", 1, 1);
    EXPECT_EQ(Offer(channel, offer_.Get()), S_OK);
    EXPECT_EQ(handler_->SetReceiveParameters(offer_.Get(), 0, channel), S_OK);
    peer_ = Parse(kPeer);
    EXPECT_EQ(handler_->SetSendParameters(peer_.Get(), offer_.Get(), 0, channel), S_OK);
    return channel;
  }
  LONG StartCall() {
    LONG channel = Negotiate();
    EXPECT_EQ(handler_->StartListen(channel), S_OK);
    EXPECT_EQ(handler_->StartPlayout(channel), S_OK);
    EXPECT_EQ(handler_->StartSending(channel), S_OK);
    return channel;
  }
  // The format list of an offer made now on a new channel.
  std::string OfferedFormats() {
    auto sdp = SdpDocument::CreateOutgoing("192.0.2.10", 1, 1);
    EXPECT_EQ(Offer(Reserve(), sdp.Get()), S_OK);
    return Narrow(sdp->Session().media.at(0).formats);
  }

  // Without the codec list and last-error reads, which many members make.
  Strings Operations() {
    Strings names;
    for (const std::string& call : Engine().CallsWithout("LastError")) {
      std::string name = call.substr(0, call.find('('));
      if (name != "NumOfCodecs" && name != "GetCodec") names.push_back(name);
    }
    return names;
  }

  // A call on channel_, whatever the preparation made it.
  std::function<HRESULT(void*, int)> OnChannel() {
    return [this](void* o, int i) { return CallSlot(o, i, channel_); };
  }

  std::vector<Row> HandlerRows() {
    auto reserve = [this] { channel_ = Reserve(); };
    auto negotiate = [this] { channel_ = Negotiate(); };
    auto offer = [this] {
      channel_ = Reserve();
      offer_ = SdpDocument::CreateOutgoing("192.0.2.10", 1, 1);
      ASSERT_EQ(Offer(channel_, offer_.Get()), S_OK);
    };
    auto then = [](std::function<void()> first, std::function<HRESULT()> next) {
      return [first, next] {
        first();
        ASSERT_EQ(next(), S_OK);
      };
    };
    auto listen = [this] { return handler_->StartListen(channel_); };
    auto play = [this] { return handler_->StartPlayout(channel_); };
    auto send = [this] { return handler_->StartSending(channel_); };
    return {
        {3,
         "get_Version",
         {},
         [this](void* o, int i) { return CallSlot(o, i, text_.Receive()); },
         {"GetVersion"},
         [this] { EXPECT_NE(SysStringLen(text_.Get()), 0u); }},
        {4,
         "get_VendorInformation",
         {},
         [this](void* o, int i) { return CallSlot(o, i, text_.Receive()); },
         {},
         [this] { EXPECT_NE(SysStringLen(text_.Get()), 0u); }},
        {5,
         "Init",
         {},
         [this](void* o, int i) { return CallSlot(o, i, static_cast<INetwork*>(network_.Get())); },
         {"Init", "SetECStatus", "SetAGCStatus"},
         [] {},
         false},
        {6,
         "AnyCommonFormat",
         {},
         [this](void* o, int i) {
           peer_ = Parse(kPeer);
           return CallSlot(o, i, static_cast<ISdpContent*>(peer_.Get()), LONG{0}, &flag_);
         },
         {},
         [this] { EXPECT_EQ(flag_, VARIANT_TRUE); }},
        {7,
         "ReserveChannel",
         {},
         [this](void* o, int i) {
           return CallSlot(o, i, &channel_, VARIANT_FALSE, BSTR{}, &flag_);
         },
         {"SetSoundDevices", "CreateChannel"},
         [this] { EXPECT_EQ(flag_, VARIANT_TRUE); }},
        {8, "ReleaseChannel", reserve, OnChannel(), {"DeleteChannel"}},
        {9,
         "SetReceiveParameters",
         offer,
         [this](void* o, int i) {
           return CallSlot(o, i, static_cast<ISdpContent*>(offer_.Get()), LONG{0}, channel_);
         },
         {"SetRecPayloadType", "SetRecPayloadType"}},
        {10, "StartListen", negotiate, OnChannel(), {"SetLocalReceiver", "StartListen"}},
        {11, "StopListen", then(negotiate, listen), OnChannel(), {"StopListen"}},
        {12, "StartPlayout", negotiate, OnChannel(), {"StartPlayout"}},
        {13, "StopPlayout", then(negotiate, play), OnChannel(), {"StopPlayout"}},
        {14,
         "SetSendParameters",
         offer,
         [this](void* o, int i) {
           peer_ = Parse(kPeer);
           return CallSlot(o, i, static_cast<ISdpContent*>(peer_.Get()),
                           static_cast<ISdpContent*>(offer_.Get()), LONG{0}, channel_);
         },
         {},
         [this] {
           ASSERT_EQ(handler_->StartSending(channel_), S_OK);
           EXPECT_EQ(Engine().CallsTo("SetSendDestination"),
                     Strings{"SetSendDestination(0,4000,198.51.100.7,-1,-1)"});
         }},
        {15,
         "StartSending",
         negotiate,
         OnChannel(),
         {"SetSendCodec", "SetSendDestination", "SetDTMFPayloadType", "SetSendTOS", "SetVADStatus",
          "StartSend", "SetDTMFPayloadType"}},
        {16, "StopSending", then(negotiate, send), OnChannel(), {"StopSend"}},
        {17,
         "AddAnswerMediaDescription",
         reserve,
         [this](void* o, int i) {
           peer_ = Parse(kPeer);
           state_->SetChannelId(channel_);
           state_->SetAnyCommonFormat(VARIANT_TRUE);
           return CallSlot(o, i, static_cast<ISdpContent*>(peer_.Get()), LONG{0},
                           static_cast<IMediaState*>(state_.Get()),
                           static_cast<ISdpContent*>(out_.Get()));
         },
         {},
         [this] { EXPECT_EQ(Narrow(out_->Session().media.at(0).formats), "96 0 100"); }},
        {18,
         "AddOfferMediaDescription",
         reserve,
         [this](void* o, int i) {
           state_->SetChannelId(channel_);
           return CallSlot(o, i, CT_MEDIA_AUDIO, static_cast<IMediaState*>(state_.Get()),
                           static_cast<ISdpContent*>(out_.Get()));
         },
         {},
         [this] { EXPECT_EQ(Narrow(out_->Session().media.at(0).formats), "97 0 8 101"); }},
    };
  }

  platform::FakeAudioDevices devices_;
  platform::ScopedAudioDeviceBackendForTesting useDevices_{devices_};
  ScopedTestEngine testEngine_;
  ComPtr<host::ReferenceNetwork> network_ = host::ReferenceNetwork::Create();
  ComPtr<host::ReferenceMediaState> state_ = host::ReferenceMediaState::Create();
  ComPtr<IMediaHandler> handler_;
  ComPtr<IAudioControl> audio_;
  ComPtr<SdpDocument> offer_, peer_, out_;
  LONG channel_ = -1;
  platform::BString text_;
  VARIANT_BOOL flag_ = VARIANT_FALSE;
  LONG number_ = -7;
};

TEST_F(InterfaceSlotTest, IMediaHandler) {
  ExpectEverySlotRunsItsMember<IMediaHandler>(HandlerRows());
}

TEST_F(InterfaceSlotTest, IMediaHandlerEx) {
  std::vector<Row> rows = HandlerRows();
  // An offer after the call shows which preferences are left.
  auto offered = [this](std::string formats) {
    return [this, formats] { EXPECT_EQ(OfferedFormats(), formats); };
  };
  rows.push_back({19,
                  "ClearPreferredAudioFormats",
                  {},
                  [](void* o, int i) { return CallSlot(o, i); },
                  {},
                  offered("")});
  rows.push_back({20,
                  "SetReserved",
                  {},
                  [](void* o, int i) { return CallSlot(o, i, LONG{5}); },
                  {},
                  offered("97 0 8 101")});
  ExpectEverySlotRunsItsMember<IMediaHandlerEx>(rows);
}

TEST_F(InterfaceSlotTest, IAudioControl) {
  auto source = host::MemoryAudioSource::Create(std::string(3200, '\0'));
  auto sink = host::MemoryAudioSink::Create();
  platform::BString file("call.wav");
  platform::BString codec("PCMA");
  auto call = [this] { channel_ = StartCall(); };
  auto then = [this, call](std::function<HRESULT()> next) {
    return [this, call, next] {
      call();
      ASSERT_EQ(next(), S_OK);
    };
  };
  auto channelAnd = [this](auto... args) {
    return [this, args...](void* o, int i) { return CallSlot(o, i, channel_, args...); };
  };
  auto percent = [this](void* o, int i) { return CallSlot(o, i, &number_, channel_); };
  auto gotPercent = [this] { EXPECT_NE(number_, -7); };
  const std::vector<Row> rows = {
      {3,
       "SetAudioDevices",
       {},
       [](void* o, int i) { return CallSlot(o, i, LONG{2}, LONG{5}); },
       {},
       [this] {
         Reserve();
         EXPECT_EQ(Engine().CallsTo("SetSoundDevices"), Strings{"SetSoundDevices(5,2,0,0,2)"});
       }},
      {4,
       "AddPreferredAudioFormat",
       [this] { ASSERT_EQ(audio_->ClearPreferredAudioFormats(), S_OK); },
       [&codec](void* o, int i) { return CallSlot(o, i, codec.Get()); },
       {},
       [this] { EXPECT_EQ(OfferedFormats(), "8"); }},
      {5,
       "ClearPreferredAudioFormats",
       {},
       [](void* o, int i) { return CallSlot(o, i); },
       {},
       [this] { EXPECT_EQ(OfferedFormats(), ""); }},
      {6,
       "SetSilenceSuppression",
       {},
       [](void* o, int i) { return CallSlot(o, i, VARIANT_TRUE); },
       {},
       [this] {
         StartCall();
         EXPECT_EQ(Engine().CallsTo("SetVADStatus"), Strings{"SetVADStatus(0,1,0,0)"});
       }},
      {7,
       "SetAcousticEchoCancellation",
       {},
       [](void* o, int i) { return CallSlot(o, i, VARIANT_FALSE); },
       {"SetECStatus"}},
      {8,
       "SetAutomaticGainControl",
       {},
       [](void* o, int i) { return CallSlot(o, i, VARIANT_TRUE); },
       {"SetAGCStatus"}},
      {9,
       "MuteAudio",
       call,
       [this](void* o, int i) { return CallSlot(o, i, VARIANT_TRUE, channel_); },
       {"SetInputMute"}},
      {10,
       "StartDtmfTone",
       call,
       [this](void* o, int i) { return CallSlot(o, i, LONG{'5'}, channel_); },
       {"SendTelephoneEvent"}},
      {11,
       "StopDtmfTone",
       then([this] { return audio_->StartDtmfTone('5', channel_); }),
       [this](void* o, int i) { return CallSlot(o, i, channel_); },
       {}},
      {12,
       "SetSpeakerVolume",
       call,
       [this](void* o, int i) { return CallSlot(o, i, LONG{40}, channel_); },
       {},
       [this] {
         ASSERT_EQ(audio_->GetSpeakerVolume(&number_, channel_), S_OK);
         EXPECT_EQ(number_, 40);
       }},
      {13,
       "GetSpeakerVolume",
       then([this] { return audio_->SetSpeakerVolume(30, channel_); }),
       percent,
       {},
       [this] { EXPECT_EQ(number_, 30); }},
      {14,
       "SetMicrophoneVolume",
       call,
       [this](void* o, int i) { return CallSlot(o, i, LONG{40}, channel_); },
       {"SetMicVolume"}},
      {15, "GetMicrophoneVolume", call, percent, {"GetMicVolume"}, gotPercent},
      {16, "GetSpeakerLevel", call, percent, {"GetSpeakerLevel"}, gotPercent},
      {17, "GetMicrophoneLevel", call, percent, {"GetMicLevel"}, gotPercent},
      {18,
       "StartPlayAudioStream",
       call,
       channelAnd(LONG{0}, static_cast<IAudioSource*>(source.Get()), LONG{100}),
       {"StartPlayingFileLocally"}},
      {19,
       "StopPlayAudioStream",
       then([&] { return audio_->StartPlayAudioStream(channel_, 0, source.Get(), 100); }),
       channelAnd(),
       {"StopPlayingFileLocally"}},
      {20,
       "StartSendAudioStream",
       call,
       channelAnd(LONG{0}, static_cast<IAudioSource*>(source.Get()), LONG{100}),
       {"StartPlayingFileAsMicrophone"}},
      {21,
       "StopSendAudioStream",
       then([&] { return audio_->StartSendAudioStream(channel_, 0, source.Get(), 100); }),
       channelAnd(),
       {"StopPlayingFileAsMicrophone"}},
      {22,
       "StartRecordAudioStream",
       call,
       channelAnd(LONG{2}, static_cast<IAudioSink*>(sink.Get())),
       {"StartRecordingPlayout"}},
      {23,
       "StopRecordAudioStream",
       then([&] { return audio_->StartRecordAudioStream(channel_, 2, sink.Get()); }),
       channelAnd(),
       {"StopRecordingPlayout"}},
      {24,
       "ConvertAudioStream",
       {},
       [&](void* o, int i) {
         return CallSlot(o, i, LONG{0}, static_cast<IAudioSource*>(source.Get()), LONG{2},
                         static_cast<IAudioSink*>(sink.Get()));
       },
       {"ConvertCompressedToPcm"}},
      {25,
       "StartRecordAudioConversation",
       call,
       channelAnd(LONG{3}, file.Get()),
       {"StartRecordingCall"}},
      {26,
       "PauseRecordAudioConversation",
       then([&] { return audio_->StartRecordAudioConversation(channel_, 3, file.Get()); }),
       channelAnd(VARIANT_TRUE),
       {"PauseRecordingCall"}},
      {27,
       "StopRecordAudioConversation",
       then([&] { return audio_->StartRecordAudioConversation(channel_, 3, file.Get()); }),
       channelAnd(),
       {"StopRecordingCall"}},
  };
  ExpectEverySlotRunsItsMember<IAudioControl>(rows);
}

}  // namespace
}  // namespace component_test
