// The module's entry points, its class factory and the object's interface
// map, as a host reaches them.
#include <functional>
#include <string>

#include "host/reference_media_state.h"
#include "host/reference_network.h"
#include "tests/component/component_test_support.h"
#include "tests/support/test_engine_factory.h"

namespace component_test {
namespace {

void* const kGarbage = reinterpret_cast<void*>(0x1234);

class EntryPointsTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(DllCanUnloadNow(), S_OK) << "a test left the module locked"; }
  void TearDown() override { EXPECT_EQ(DllCanUnloadNow(), S_OK) << "the test leaked a lock"; }

  ScopedTestEngine testEngine_;
};

TEST_F(EntryPointsTest, ClassObjectOnlyForTheOneClass) {
  struct Row {
    const char* name;
    CLSID clsid;
    IID iid;
    HRESULT expected;
  };
  const Row rows[] = {
      {"factory", CLSID_GipsMediaHandler, IID_IClassFactory, S_OK},
      {"factory as IUnknown", CLSID_GipsMediaHandler, IID_IUnknown, S_OK},
      {"the class object is no handler", CLSID_GipsMediaHandler, IID_IMediaHandler, E_NOINTERFACE},
      {"an interface id as class", IID_IMediaHandler, IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
      {"the library id as class", LIBID_MEDLEYLib, IID_IUnknown, CLASS_E_CLASSNOTAVAILABLE},
  };
  for (const Row& row : rows) {
    void* object = kGarbage;
    EXPECT_EQ(DllGetClassObject(row.clsid, row.iid, &object), row.expected) << row.name;
    if (row.expected == S_OK) {
      ASSERT_NE(object, nullptr) << row.name;
      EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "a factory reference locks the module";
      static_cast<IUnknown*>(object)->Release();
    } else {
      EXPECT_EQ(object, nullptr) << row.name;
    }
  }
  EXPECT_EQ(DllGetClassObject(CLSID_GipsMediaHandler, IID_IClassFactory, nullptr), E_POINTER);
}

TEST_F(EntryPointsTest, CreateInstanceRefusesAggregationAndUnknownInterfaces) {
  ComPtr<IClassFactory> factory = Factory();
  ComPtr<host::ReferenceNetwork> outer = host::ReferenceNetwork::Create();
  struct Row {
    const char* name;
    IUnknown* outer;
    IID iid;
    HRESULT expected;
  };
  const Row rows[] = {
      {"IMediaHandler", nullptr, IID_IMediaHandler, S_OK},
      {"IMediaHandlerEx", nullptr, IID_IMediaHandlerEx, S_OK},
      {"IUnknown", nullptr, IID_IUnknown, S_OK},
      {"IAudioControl", nullptr, IID_IAudioControl, S_OK},
      {"aggregation", outer.Get(), IID_IUnknown, CLASS_E_NOAGGREGATION},
      {"a host interface", nullptr, IID_INetwork, E_NOINTERFACE},
      {"the factory's interface", nullptr, IID_IClassFactory, E_NOINTERFACE},
  };
  for (const Row& row : rows) {
    void* object = kGarbage;
    EXPECT_EQ(factory->CreateInstance(row.outer, row.iid, &object), row.expected) << row.name;
    EXPECT_EQ(object != nullptr, row.expected == S_OK) << row.name;
    if (object) {
      EXPECT_EQ(static_cast<IUnknown*>(object)->Release(), 0u) << row.name;
    }
  }
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IMediaHandler, nullptr), E_POINTER);
  EXPECT_EQ(outer->AddRef(), 2u) << "the outer unknown was not kept";
  outer->Release();
}

TEST_F(EntryPointsTest, ModuleStaysLockedWhileObjectsFactoriesOrServerLocksLive) {
  ComPtr<IClassFactory> factory = Factory();
  ComPtr<IMediaHandler> handler;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IMediaHandler, handler.ReceiveVoid()), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  struct Step {
    const char* name;
    std::function<void()> action;
    HRESULT canUnload;
  };
  const Step steps[] = {
      {"factory released, object and lock held", [&] { factory.Reset(); }, S_FALSE},
      {"object released, lock held", [&] { handler.Reset(); }, S_FALSE},
      {"lock given back", [&] { Factory()->LockServer(FALSE); }, S_OK},
      {"an unmatched unlock does not wrap the count", [&] { Factory()->LockServer(FALSE); }, S_OK},
      {"a fresh lock counts again", [&] { Factory()->LockServer(TRUE); }, S_FALSE},
      {"and is given back", [&] { Factory()->LockServer(FALSE); }, S_OK},
  };
  for (const Step& step : steps) {
    step.action();
    EXPECT_EQ(DllCanUnloadNow(), step.canUnload) << step.name;
  }
}

class HandlerObjectTest : public testing::Test {
 protected:
  void SetUp() override {
    handler_ = CreateHandler();
    ASSERT_TRUE(handler_);
    ASSERT_EQ(handler_.As(&extended_), S_OK);
  }

  ScopedTestEngine testEngine_;
  ComPtr<host::ReferenceNetwork> network_ = host::ReferenceNetwork::Create();
  ComPtr<IMediaHandler> handler_;
  ComPtr<IMediaHandlerEx> extended_;
};

TEST_F(HandlerObjectTest, EachInterfaceHasItsOwnPointerAndAllShareOneCount) {
  ComPtr<IAudioControl> audio;
  ASSERT_EQ(extended_.As(&audio), S_OK);
  void* const own[] = {handler_.Get(), extended_.Get(), audio.Get()};
  EXPECT_NE(own[0], own[1]);
  EXPECT_NE(own[0], own[2]);
  EXPECT_NE(own[1], own[2]);
  // From every interface, IUnknown is the IMediaHandler pointer and each
  // interface is reached at its own pointer.
  for (IUnknown* from :
       {static_cast<IUnknown*>(handler_.Get()), static_cast<IUnknown*>(extended_.Get()),
        static_cast<IUnknown*>(audio.Get())}) {
    const IID* iids[] = {&IID_IUnknown, &IID_IMediaHandlerEx, &IID_IAudioControl};
    void* const expected[] = {own[0], own[1], own[2]};
    for (size_t i = 0; i < std::size(iids); ++i) {
      void* object = nullptr;
      ASSERT_EQ(from->QueryInterface(*iids[i], &object), S_OK);
      EXPECT_EQ(object, expected[i]);
      static_cast<IUnknown*>(object)->Release();
    }
  }
  // One count for all: handler_, extended_ and audio are held.
  EXPECT_EQ(audio->AddRef(), 4u);
  EXPECT_EQ(handler_->Release(), 3u);

  for (const IID& other : {IID_INetwork, IID_ISdpContent, IID_IMediaState, IID_IMediaState2,
                           IID_IClassFactory, IID_IAudioSource, IID_IAudioSink}) {
    void* object = kGarbage;
    EXPECT_EQ(extended_->QueryInterface(other, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
  }
  EXPECT_EQ(handler_->QueryInterface(IID_IMediaHandlerEx, nullptr), E_POINTER);
}

// Every negotiation and channel method, callable through either interface.
template <class Handler>
std::vector<std::pair<const char*, std::function<HRESULT()>>> NegotiationAndChannelCalls(
    Handler* h, host::SdpDocument* sdp, host::ReferenceMediaState* state) {
  return {
      {"AnyCommonFormat",
       [=] {
         VARIANT_BOOL any;
         return h->AnyCommonFormat(sdp, 0, &any);
       }},
      {"ReserveChannel",
       [=] {
         LONG channel = -1;
         VARIANT_BOOL ok;
         return h->ReserveChannel(&channel, VARIANT_TRUE, nullptr, &ok);
       }},
      {"ReleaseChannel", [=] { return h->ReleaseChannel(7); }},
      {"SetReceiveParameters", [=] { return h->SetReceiveParameters(sdp, 0, 7); }},
      {"StartListen", [=] { return h->StartListen(7); }},
      {"StopListen", [=] { return h->StopListen(7); }},
      {"StartPlayout", [=] { return h->StartPlayout(7); }},
      {"StopPlayout", [=] { return h->StopPlayout(7); }},
      {"SetSendParameters", [=] { return h->SetSendParameters(sdp, sdp, 0, 7); }},
      {"StartSending", [=] { return h->StartSending(7); }},
      {"StopSending", [=] { return h->StopSending(7); }},
      {"AddAnswerMediaDescription",
       [=] { return h->AddAnswerMediaDescription(sdp, 0, state->AsMediaState(), sdp); }},
      {"AddOfferMediaDescription",
       [=] { return h->AddOfferMediaDescription(CT_MEDIA_AUDIO, state->AsMediaState(), sdp); }},
  };
}

TEST_F(HandlerObjectTest, NegotiationAndChannelMethodsWaitForASuccessfulInit) {
  auto sdp = host::SdpDocument::CreateOutgoing("127.0.0.1", 1, 1);
  auto state = host::ReferenceMediaState::Create();
  auto viaHandler = NegotiationAndChannelCalls(handler_.Get(), sdp.Get(), state.Get());
  auto viaExtended = NegotiationAndChannelCalls(extended_.Get(), sdp.Get(), state.Get());

  auto expectAll = [&](bool unexpected, const char* when) {
    for (const auto* calls : {&viaHandler, &viaExtended})
      for (const auto& [name, call] : *calls)
        EXPECT_EQ(call() == E_UNEXPECTED, unexpected) << name << " " << when;
  };
  expectAll(true, "before Init");
  network_->SimulateError("get_ConnectionType", E_ACCESSDENIED);
  EXPECT_EQ(handler_->Init(network_.Get()), E_ACCESSDENIED);
  expectAll(true, "after a failed Init");
  EXPECT_EQ(sdp->TotalCallCount(), 0) << "nothing was read before Init";
  EXPECT_EQ(testEngine_.engine().CountOf("CreateChannel"), 0u);

  network_->SimulateError("get_ConnectionType", S_OK);
  ASSERT_EQ(extended_->Init(network_.Get()), S_OK);
  expectAll(false, "after Init");
}

TEST_F(HandlerObjectTest, ASecondInitKeepsTheFirstNetworkAndStartsTheEngineOnce) {
  ASSERT_EQ(handler_->Init(network_.Get()), S_OK);
  EXPECT_EQ(reinterpret_cast<void*>(network_->Settings().voice_engine),
            static_cast<void*>(&testEngine_.engine()))
      << "the engine object is handed to the host";
  auto other = host::ReferenceNetwork::Create();
  EXPECT_EQ(handler_->Init(other.Get()), S_OK);
  EXPECT_EQ(extended_->Init(other.Get()), S_OK);
  EXPECT_EQ(handler_->Init(nullptr), S_OK);
  EXPECT_EQ(other->TotalCallCount(), 0);
  EXPECT_EQ(testEngine_.engine().CountOf("Init"), 1u);

  LONG channel = -1;
  VARIANT_BOOL ok = VARIANT_FALSE;
  ASSERT_EQ(extended_->ReserveChannel(&channel, VARIANT_TRUE, nullptr, &ok), S_OK);
  EXPECT_EQ(network_->Settings().last_audio_channel, channel) << "announced on the first network";
}

TEST_F(HandlerObjectTest, ExtendedMembersCheckPointersAndShareChannelsWithTheHandler) {
  platform::BString version;
  ASSERT_EQ(extended_->get_Version(version.Receive()), S_OK);
  EXPECT_FALSE(version.Narrow().empty());
  EXPECT_EQ(extended_->get_Version(nullptr), E_POINTER);
  EXPECT_EQ(extended_->get_VendorInformation(nullptr), E_POINTER);
  EXPECT_EQ(extended_->SetReserved(-1), S_OK);

  // A channel reserved through one interface is released through the other.
  ASSERT_EQ(extended_->Init(network_.Get()), S_OK);
  LONG channel = -1;
  VARIANT_BOOL ok = VARIANT_FALSE;
  ASSERT_EQ(extended_->ReserveChannel(&channel, VARIANT_FALSE, nullptr, &ok), S_OK);
  EXPECT_EQ(handler_->ReleaseChannel(channel), S_OK);
  EXPECT_EQ(extended_->ReleaseChannel(channel), S_FALSE);
}

TEST_F(HandlerObjectTest, ClearPreferredAudioFormatsEmptiesWhatOffersAreMadeOf) {
  ASSERT_EQ(handler_->Init(network_.Get()), S_OK);
  ASSERT_EQ(PreferCodecs(handler_.Get(), {"PCMU"}), S_OK);
  auto state = host::ReferenceMediaState::Create();
  LONG channel = -1;
  VARIANT_BOOL ok = VARIANT_FALSE;
  ASSERT_EQ(handler_->ReserveChannel(&channel, VARIANT_TRUE, nullptr, &ok), S_OK);
  state->SetChannelId(channel);
  auto offer = host::SdpDocument::CreateOutgoing("127.0.0.1", 1, 1);
  ASSERT_EQ(handler_->AddOfferMediaDescription(CT_MEDIA_AUDIO, state->AsMediaState(), offer.Get()),
            S_OK);
  EXPECT_EQ(MediaLine(*offer, 0).front(),
            "m=audio " + std::to_string(MediaPort(*offer, 0)) + " RTP/AVP 0");

  EXPECT_EQ(extended_->ClearPreferredAudioFormats(), S_OK);
  auto empty = host::SdpDocument::CreateOutgoing("127.0.0.1", 1, 1);
  ASSERT_EQ(handler_->AddOfferMediaDescription(CT_MEDIA_AUDIO, state->AsMediaState(), empty.Get()),
            S_OK);
  ASSERT_EQ(empty->Session().media.size(), 1u);
  EXPECT_TRUE(empty->Session().media[0].formats.empty()) << "no codec is left to offer";
}

}  // namespace
}  // namespace component_test
