#include "host/reference_media_state.h"

#include <gtest/gtest.h>

namespace host {
namespace {

struct Observed {
  LONG channel = 0;
  VARIANT_BOOL common = 1;
  CT_MEDIA_DIRECTION local = CT_MEDIA_INACTIVE;
  CT_MEDIA_DIRECTION answer = CT_MEDIA_INACTIVE;
  VARIANT_BOOL terminated = 1;
  bool operator==(const Observed&) const = default;
};

// Reads every property through IMediaState2, and the common ones again
// through IMediaState, which must agree.
Observed ReadAll(ReferenceMediaState& state) {
  Observed first, second;
  IMediaState* one = state.AsMediaState();
  IMediaState2* two = state.AsMediaState2();
  EXPECT_EQ(one->get_ChannelId(&first.channel), S_OK);
  EXPECT_EQ(one->get_AnyCommonFormat(&first.common), S_OK);
  EXPECT_EQ(one->get_LocalMediaDirection(&first.local), S_OK);
  EXPECT_EQ(one->get_Terminated(&first.terminated), S_OK);
  EXPECT_EQ(two->get_ChannelId(&second.channel), S_OK);
  EXPECT_EQ(two->get_AnyCommonFormat(&second.common), S_OK);
  EXPECT_EQ(two->get_LocalMediaDirection(&second.local), S_OK);
  EXPECT_EQ(two->get_AnswerMediaDirection(&first.answer), S_OK);
  EXPECT_EQ(two->get_Terminated(&second.terminated), S_OK);
  second.answer = first.answer;
  EXPECT_EQ(first, second);
  return first;
}

TEST(ReferenceMediaState, FreshStateSendsAndReceivesAndBothInterfacesAgree) {
  auto state = ReferenceMediaState::Create();
  // Send-receive is -1, not 3.
  EXPECT_EQ(ReadAll(*state), (Observed{-1, VARIANT_FALSE, CT_MEDIA_DIRECTION(-1),
                                       CT_MEDIA_DIRECTION(-1), VARIANT_FALSE}));
  state->SetChannelId(4);
  state->SetAnyCommonFormat(VARIANT_TRUE);
  state->SetLocalMediaDirection(CT_MEDIA_SENDONLY);
  state->SetAnswerMediaDirection(CT_MEDIA_INACTIVE);
  state->SetTerminated(VARIANT_TRUE);
  EXPECT_EQ(ReadAll(*state),
            (Observed{4, VARIANT_TRUE, CT_MEDIA_SENDONLY, CT_MEDIA_INACTIVE, VARIANT_TRUE}));
}

TEST(ReferenceMediaState, QueryInterfaceReachesBothInterfacesOfOneObject) {
  auto state = ReferenceMediaState::Create();
  platform::ComPtr<IMediaState> one;
  ASSERT_EQ(state.As(&one), S_OK);
  platform::ComPtr<IMediaState2> two;
  ASSERT_EQ(one.As(&two), S_OK);
  platform::ComPtr<IMediaState> back;
  ASSERT_EQ(two.As(&back), S_OK);
  EXPECT_EQ(back.Get(), one.Get());
  platform::ComPtr<IUnknown> unknown_one, unknown_two;
  ASSERT_EQ(one.As(&unknown_one), S_OK);
  ASSERT_EQ(two.As(&unknown_two), S_OK);
  EXPECT_EQ(unknown_one.Get(), unknown_two.Get());  // the object's identity
  // One count serves every interface: state, one, two, back, two IUnknowns.
  EXPECT_EQ(two->AddRef(), 7u);
  EXPECT_EQ(one->Release(), 6u);

  void* none = &one;
  EXPECT_EQ(two->QueryInterface(IID_INetwork, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(one->QueryInterface(IID_IMediaState2, nullptr), E_POINTER);
}

TEST(ReferenceMediaState, NullOutPointersAndSimulatedErrors) {
  auto state = ReferenceMediaState::Create();
  IMediaState2* two = state->AsMediaState2();
  EXPECT_EQ(two->get_ChannelId(nullptr), E_POINTER);
  EXPECT_EQ(two->get_AnyCommonFormat(nullptr), E_POINTER);
  EXPECT_EQ(two->get_LocalMediaDirection(nullptr), E_POINTER);
  EXPECT_EQ(two->get_AnswerMediaDirection(nullptr), E_POINTER);
  EXPECT_EQ(two->get_Terminated(nullptr), E_POINTER);

  const HRESULT kFailure = static_cast<HRESULT>(0x80040999u);
  state->SimulateError("get_AnswerMediaDirection", kFailure);
  CT_MEDIA_DIRECTION direction = CT_MEDIA_RECVONLY;
  EXPECT_EQ(two->get_AnswerMediaDirection(&direction), kFailure);
  EXPECT_EQ(direction, CT_MEDIA_RECVONLY);
  EXPECT_EQ(state->CallCount("get_AnswerMediaDirection"), 2);
}

}  // namespace
}  // namespace host
