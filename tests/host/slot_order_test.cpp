// Calls every member of the host interfaces through the raw virtual table by
// slot number, the way a caller bound to the binary layout does, and checks
// that the member the slot must hold is the one that ran.
#include <gtest/gtest.h>

#include <functional>
#include <span>
#include <vector>

#include "host/reference_media_state.h"
#include "host/reference_network.h"
#include "host/sdp_document.h"

namespace host {
namespace {

using AnySlot = void (*)();

// Calls slot `index` of the table `object` points to, with the signature
// given by R and Args (the object pointer goes first, as `this`).
template <class R, class... Args>
R CallSlot(void* object, int index, Args... args) {
  const AnySlot* table = *static_cast<const AnySlot* const*>(object);
  auto function = reinterpret_cast<R (*)(void*, Args...)>(table[index]);
  return function(object, args...);
}

struct Slot {
  int index;
  const char* member;
  std::function<HRESULT(void* object, int index)> call;
};

// Scratch storage for out-parameters; a member told to fail never writes them.
struct Scratch {
  BSTR text = nullptr;
  LONG number = 0;
  VARIANT_BOOL flag = 0;
  CT_CONNECTION_TYPE connection = CT_CONNECTION_TYPE_64_KBPS;
  CT_MEDIA_TYPE media = CT_MEDIA_AUDIO;
  CT_MEDIA_DIRECTION direction = CT_MEDIA_INACTIVE;
  LONG* engine = nullptr;
} s;

template <class... Args>
std::function<HRESULT(void*, int)> With(Args... args) {
  return
      [=](void* object, int index) { return CallSlot<HRESULT, Args...>(object, index, args...); };
}

const BSTR kNoText = nullptr;
const LONG kZero = 0;
const VARIANT_BOOL kNo = VARIANT_FALSE;

// Every slot of `slots` (which must start at 3 and leave none out) runs the
// member of its name: told to fail with a code unique to the slot, the call
// answers that code and the object counts one call of that member only.
template <class Factory, class InterfaceOf>
void ExpectEverySlotRunsItsMember(const std::vector<Slot>& slots,
                                  std::span<const char* const> member_names, Factory create,
                                  InterfaceOf interface_of) {
  ASSERT_EQ(member_names.size(), slots.size());
  for (size_t i = 0; i < slots.size(); ++i) {
    const Slot& slot = slots[i];
    SCOPED_TRACE(slot.member);
    EXPECT_EQ(slot.index, static_cast<int>(i) + 3);
    EXPECT_STREQ(member_names[i], slot.member);
    auto object = create();
    const HRESULT code = static_cast<HRESULT>(0x80047000u + static_cast<unsigned>(slot.index));
    object->SimulateError(slot.member, code);
    EXPECT_EQ(slot.call(interface_of(*object), slot.index), code);
    EXPECT_EQ(object->CallCount(slot.member), 1);
    EXPECT_EQ(object->TotalCallCount(), 1);
  }
}

// Slots 0 to 2 are QueryInterface, AddRef and Release.
void ExpectUnknownSlots(void* object) {
  EXPECT_EQ(CallSlot<ULONG>(object, 1), 2u);  // the test's reference and this one
  EXPECT_EQ(CallSlot<ULONG>(object, 2), 1u);
  void* unknown = nullptr;
  ASSERT_EQ((CallSlot<HRESULT, REFIID, void**>(object, 0, IID_IUnknown, &unknown)), S_OK);
  EXPECT_NE(unknown, nullptr);
  EXPECT_EQ(CallSlot<ULONG>(unknown, 2), 1u);
}

TEST(SlotOrder, INetwork) {
  const std::vector<Slot> slots = {
      {3, "put_IsUseStaticLocalIP", With(kNo)},
      {4, "get_LocalIp", With(&s.text)},
      {5, "put_LocalIp", With(kNoText)},
      {6, "GetLocalPort", With(CT_TRANSPORT_UDP, &s.number)},
      {7, "put_ContactTransport", With(CT_TRANSPORT_UDP)},
      {8, "SetStunServer", With(kNoText, kZero)},
      {9, "IsMediaPossible", With(&s.flag)},
      {10, "IsBehindNat", With(&s.flag)},
      {11, "IsBehindFirewall", With(&s.flag)},
      {12, "put_UseHeartbeat", With(kNo)},
      {13, "put_NatHeartbeatInterval", With(kZero)},
      {14, "put_T1", With(kZero)},
      {15, "get_T1", With(&s.number)},
      {16, "put_T2", With(kZero)},
      {17, "get_T2", With(&s.number)},
      {18, "put_T4", With(kZero)},
      {19, "get_T4", With(&s.number)},
      {20, "get_ConnectionType", With(&s.connection)},
      {21, "put_ConnectionType", With(CT_CONNECTION_TYPE_64_KBPS)},
      {22, "get_AudioTosValue", With(&s.number)},
      {23, "put_AudioTosValue", With(kZero)},
      {24, "get_VideoTosValue", With(&s.number)},
      {25, "put_VideoTosValue", With(kZero)},
      {26, "get_IsConnected", With(&s.flag)},
      {27, "put_UpnpEnabled", With(kNo)},
      {28, "put_UseBWCustCodecSel", With(kNo)},
      {29, "put_UseRPortForNatTraversal", With(kNo)},
      {30, "put_PreferredSipPort", With(kZero)},
      {31, "get_PreferredAudioRtpPort", With(&s.number)},
      {32, "put_PreferredAudioRtpPort", With(kZero)},
      {33, "get_PreferredVideoRtpPort", With(&s.number)},
      {34, "put_PreferredVideoRtpPort", With(kZero)},
      {35, "get_PreferredMSRPPort", With(&s.number)},
      {36, "put_PreferredMSRPPort", With(kZero)},
      {37, "put_VoiceMessagingEnabled", With(kNo)},
      {38, "ResetVideoParameters", With()},
      {39, "GetVideoParameters",
       With(CT_IMAGE_RES_QCIF, &s.flag, &s.number, &s.number, &s.number, &s.number, &s.number,
            &s.flag, &s.flag)},
      {40, "SetVideoParameters",
       With(CT_IMAGE_RES_QCIF, kNo, kZero, kZero, kZero, kZero, kZero, kNo, kNo)},
      {41, "put_NetDetectionEnabled", With(kNo)},
      {42, "put_SipDnsServer", With(kNoText)},
      {43, "get_PresenceType", With(&s.text)},
      {44, "put_PresenceType", With(kNoText)},
      {45, "put_SMSEnabled", With(kNo)},
      {46, "get_SMSEnabled", With(&s.flag)},
      {47, "get_UserAgent", With(&s.text)},
      {48, "put_UserAgent", With(kNoText)},
      {49, "get_AdvLoginEnabled", With(&s.flag)},
      {50, "put_AdvLoginEnabled", With(kNo)},
      {51, "get_VoiceEngine", With(&s.engine)},
      {52, "put_VoiceEngine", With(s.engine)},
      {53, "get_LastAudioChannel", With(&s.number)},
      {54, "put_LastAudioChannel", With(kZero)},
      {55, "get_UseAudioVideoSynchronization", With(&s.number)},
      {56, "put_UseAudioVideoSynchronization", With(kZero)},
      {57, "get_SessionExpireTime", With(&s.number)},
      {58, "put_SessionExpireTime", With(kZero)},
  };
  ExpectEverySlotRunsItsMember(
      slots, ReferenceNetwork::MemberNames(), ReferenceNetwork::Create,
      [](ReferenceNetwork& n) -> void* { return static_cast<INetwork*>(&n); });

  auto network = ReferenceNetwork::Create();
  void* raw = static_cast<INetwork*>(network.Get());
  ExpectUnknownSlots(raw);
  LONG engine = 0;
  EXPECT_EQ((CallSlot<HRESULT, LONG*>(raw, 52, &engine)), S_OK);
  EXPECT_EQ(network->Settings().voice_engine, &engine);
  LONG* read = nullptr;
  EXPECT_EQ((CallSlot<HRESULT, LONG**>(raw, 51, &read)), S_OK);
  EXPECT_EQ(read, &engine);
}

TEST(SlotOrder, ISdpContent) {
  const std::vector<Slot> slots = {
      {3, "get_ProtocolVersion", With(&s.text)},
      {4, "put_ProtocolVersion", With(kNoText)},
      {5, "GetOrigin", With(&s.text, &s.text, &s.text, &s.text, &s.text, &s.text)},
      {6, "PutOrigin", With(kNoText, kNoText, kNoText, kNoText, kNoText, kNoText)},
      {7, "get_SessionName", With(&s.text)},
      {8, "put_SessionName", With(kNoText)},
      {9, "get_SessionInformation", With(&s.text)},
      {10, "put_SessionInformation", With(kNoText)},
      {11, "get_DescriptionUri", With(&s.text)},
      {12, "put_DescriptionUri", With(kNoText)},
      {13, "get_Email", With(&s.text)},
      {14, "put_Email", With(kNoText)},
      {15, "get_Phone", With(&s.text)},
      {16, "put_Phone", With(kNoText)},
      {17, "GetConnection", With(&s.text, &s.text, &s.text)},
      {18, "PutConnection", With(kNoText, kNoText, kNoText)},
      {19, "get_BandwidthInformation", With(&s.text)},
      {20, "put_BandwidthInformation", With(kNoText)},
      {21, "get_TimeDescriptionCount", With(&s.number)},
      {22, "GetTimeInformation", With(kZero, &s.text, &s.number)},
      {23, "AddTimeInformation", With(kNoText, &s.number)},
      {24, "GetRepeatTimeCount", With(kZero, &s.number)},
      {25, "GetRepeatTimeInformation", With(kZero, kZero, &s.text)},
      {26, "AddRepeatTimeInformation", With(kZero, kNoText)},
      {27, "get_TimeZoneAdjustments", With(&s.text)},
      {28, "put_TimeZoneAdjustments", With(kNoText)},
      {29, "get_EncryptionKey", With(&s.text)},
      {30, "put_EncryptionKey", With(kNoText)},
      {31, "get_AttributeCount", With(&s.number)},
      {32, "GetAttribute", With(kZero, &s.text)},
      {33, "AddAttribute", With(kNoText)},
      {34, "get_MediaCount", With(&s.number)},
      {35, "GetMedia", With(kZero, &s.media, &s.number, &s.text, &s.text)},
      {36, "PutMedia", With(kZero, CT_MEDIA_AUDIO, kZero, kNoText, kNoText)},
      {37, "AddMedia", With(CT_MEDIA_AUDIO, kZero, kNoText, kNoText, &s.number)},
      {38, "GetMediaInformation", With(kZero, &s.text)},
      {39, "PutMediaInformation", With(kZero, kNoText)},
      {40, "GetMediaConnection", With(kZero, &s.text, &s.text, &s.text)},
      {41, "PutMediaConnection", With(kZero, kNoText, kNoText, kNoText)},
      {42, "GetMediaBandwidthInformation", With(kZero, &s.text)},
      {43, "PutMediaBandwidthInformation", With(kZero, kNoText)},
      {44, "GetMediaEncryptionKey", With(kZero, &s.text)},
      {45, "PutMediaEncryptionKey", With(kZero, kNoText)},
      {46, "GetMediaAttributeCount", With(kZero, &s.number)},
      {47, "GetMediaAttribute", With(kZero, kZero, &s.text)},
      {48, "AddMediaAttribute", With(kZero, kNoText)},
  };
  ExpectEverySlotRunsItsMember(
      slots, SdpDocument::MemberNames(), [] { return SdpDocument::Create(); },
      [](SdpDocument& d) -> void* { return static_cast<ISdpContent*>(&d); });

  auto document =
      SdpDocument::Parse(
          std::string_view("v=0\r\nm=audio 49170 RTP/AVP 0\r\nm=video 5 RTP/AVP 34\r\n"))
          .Value();
  void* raw = static_cast<ISdpContent*>(document.Get());
  ExpectUnknownSlots(raw);
  CT_MEDIA_TYPE type = CT_MEDIA_UNKNOWN;
  LONG port = 0;
  BSTR transport = nullptr, formats = nullptr;
  EXPECT_EQ((CallSlot<HRESULT, LONG, CT_MEDIA_TYPE*, LONG*, BSTR*, BSTR*>(raw, 35, 1, &type, &port,
                                                                          &transport, &formats)),
            S_OK);
  EXPECT_EQ(type, CT_MEDIA_VIDEO);
  EXPECT_EQ(port, 5);
  SysFreeString(transport);
  SysFreeString(formats);
}

std::vector<Slot> MediaStateSlots(bool second) {
  std::vector<Slot> slots = {
      {3, "get_ChannelId", With(&s.number)},
      {4, "get_AnyCommonFormat", With(&s.flag)},
      {5, "get_LocalMediaDirection", With(&s.direction)},
  };
  if (second) slots.push_back({6, "get_AnswerMediaDirection", With(&s.direction)});
  slots.push_back({second ? 7 : 6, "get_Terminated", With(&s.flag)});
  return slots;
}

TEST(SlotOrder, IMediaStateAndIMediaState2) {
  // IMediaState has no AnswerMediaDirection: its names are the object's
  // names without that one.
  std::vector<const char*> first_names;
  for (const char* name : ReferenceMediaState::MemberNames())
    if (std::string_view(name) != "get_AnswerMediaDirection") first_names.push_back(name);
  ExpectEverySlotRunsItsMember(MediaStateSlots(false), first_names, ReferenceMediaState::Create,
                               [](ReferenceMediaState& m) -> void* { return m.AsMediaState(); });
  // IMediaState2 as a caller reaches it: by QueryInterface.
  auto by_query = [](ReferenceMediaState& m) -> void* {
    platform::ComPtr<IMediaState2> second;
    EXPECT_EQ(m.QueryInterface(IID_IMediaState2, second.ReceiveVoid()), S_OK);
    return second.Get();  // the object stays alive through the test's own reference
  };
  ExpectEverySlotRunsItsMember(MediaStateSlots(true), ReferenceMediaState::MemberNames(),
                               ReferenceMediaState::Create, by_query);

  auto state = ReferenceMediaState::Create();
  state->SetAnswerMediaDirection(CT_MEDIA_RECVONLY);
  void* second = by_query(*state);
  ExpectUnknownSlots(state->AsMediaState());
  ExpectUnknownSlots(second);
  CT_MEDIA_DIRECTION direction = CT_MEDIA_SENDRECV;
  EXPECT_EQ((CallSlot<HRESULT, CT_MEDIA_DIRECTION*>(second, 6, &direction)), S_OK);
  EXPECT_EQ(direction, CT_MEDIA_RECVONLY);
}

}  // namespace
}  // namespace host
