// The handler as a COM object: Init, interfaces and reference count,
// channel reservation over the engine, and the order of its virtual slots.
#include <cstdint>
#include <cstring>

#include "tests/media/media_test_support.h"
#include "tests/support/test_engine_factory.h"

namespace media_test {
namespace {

class HandlerObjectTest : public testing::Test {
 protected:
  void TearDown() override { handler_.Reset(); }

  ScopedTestEngine testEngine_;
  ComPtr<host::ReferenceNetwork> network_ = host::ReferenceNetwork::Create();
  ComPtr<CGipsMediaHandler> handler_ = CGipsMediaHandler::Create();
};

TEST_F(HandlerObjectTest, InitStartsTheEngineOnceAndHandsItToTheHost) {
  EXPECT_EQ(handler_->Init(nullptr), E_POINTER);
  network_->SimulateError("get_ConnectionType", E_ACCESSDENIED);
  EXPECT_EQ(handler_->Init(network_.Get()), E_ACCESSDENIED);  // may be tried again
  network_->SimulateError("get_ConnectionType", S_OK);
  ASSERT_EQ(handler_->Init(network_.Get()), S_OK);
  EXPECT_EQ(reinterpret_cast<void*>(network_->Settings().voice_engine),
            static_cast<void*>(&testEngine_.engine()));

  auto other = host::ReferenceNetwork::Create();
  EXPECT_EQ(handler_->Init(other.Get()), S_OK);
  EXPECT_EQ(other->TotalCallCount(), 0);
  EXPECT_EQ(testEngine_.engine().CountOf("Init"), 1u);
  // The network kept is the first: a new channel is announced there.
  LONG channel = -1;
  VARIANT_BOOL ok = VARIANT_FALSE;
  ASSERT_EQ(handler_->ReserveChannel(&channel, VARIANT_TRUE, nullptr, &ok), S_OK);
  EXPECT_EQ(network_->Settings().last_audio_channel, channel);
}

TEST_F(HandlerObjectTest, AnswersItsInterfacesWithOneIdentityAndCount) {
  void* unknown = nullptr;
  void* mediaHandler = nullptr;
  void* audio = nullptr;
  ASSERT_EQ(handler_->QueryInterface(IID_IUnknown, &unknown), S_OK);
  ASSERT_EQ(handler_->QueryInterface(IID_IMediaHandler, &mediaHandler), S_OK);
  ASSERT_EQ(handler_->QueryInterface(IID_IAudioControl, &audio), S_OK);
  EXPECT_EQ(unknown, mediaHandler);
  EXPECT_EQ(audio, static_cast<IAudioControl*>(handler_.Get()));
  void* again = nullptr;  // IUnknown through the second interface is the same object
  ASSERT_EQ(static_cast<IAudioControl*>(audio)->QueryInterface(IID_IUnknown, &again), S_OK);
  EXPECT_EQ(again, unknown);
  EXPECT_EQ(static_cast<IAudioControl*>(audio)->Release(), 4u);
  static_cast<IUnknown*>(again)->Release();
  void* other = &unknown;
  EXPECT_EQ(handler_->QueryInterface(IID_INetwork, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(handler_->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(handler_->AddRef(), 4u);
  EXPECT_EQ(handler_->Release(), 3u);
  static_cast<IUnknown*>(unknown)->Release();
  EXPECT_EQ(static_cast<IMediaHandler*>(mediaHandler)->Release(), 1u);
}

// When the sound devices are opened is checked with the channel lifecycle.
TEST_F(HandlerObjectTest, ReservationFailuresAndReleaseForgetsTheChannel) {
  ASSERT_EQ(handler_->Init(network_.Get()), S_OK);
  TestVoiceEngine& engine = testEngine_.engine();
  LONG first = -1, second = -1;
  VARIANT_BOOL ok = VARIANT_FALSE;
  ASSERT_EQ(handler_->ReserveChannel(&first, VARIANT_FALSE, nullptr, &ok), S_OK);
  ASSERT_EQ(handler_->ReserveChannel(&second, VARIANT_FALSE, nullptr, &ok), S_OK);
  EXPECT_NE(first, second);

  engine.FailNext("CreateChannel", 8002);
  LONG refused = 77;
  EXPECT_EQ(handler_->ReserveChannel(&refused, VARIANT_FALSE, nullptr, &ok), S_OK);
  EXPECT_EQ(ok, VARIANT_FALSE);
  network_->SimulateError("put_LastAudioChannel", E_ACCESSDENIED);
  EXPECT_EQ(handler_->ReserveChannel(&refused, VARIANT_FALSE, nullptr, &ok), kMediaChannelFailure);

  EXPECT_EQ(handler_->ReleaseChannel(first), S_OK);
  EXPECT_EQ(handler_->ReleaseChannel(first), S_FALSE);
  ChannelState* state = nullptr;
  EXPECT_EQ(handler_->GetChannelState(first, &state), E_INVALIDARG);
  EXPECT_EQ(handler_->GetChannelState(second, nullptr), E_POINTER);
  EXPECT_EQ(engine.CountOf("DeleteChannel"), 1u);
}

// The virtual operations follow the 16 IMediaHandler methods and the
// destructor (two entries in this ABI), in their fixed order.
template <class Member>
std::size_t SlotOf(Member member) {
  struct {
    std::uintptr_t pointer;
    std::ptrdiff_t adjustment;
  } raw;
  static_assert(sizeof member == sizeof raw);
  std::memcpy(&raw, &member, sizeof raw);
  return (raw.pointer - 1) / sizeof(void*);
}

TEST(MediaHandlerSlots, VirtualOperationsKeepTheirOrder) {
  using C = CMediaHandlerImpl;
  const std::size_t slots[] = {
      SlotOf(&C::DoAddMediaDescription),  SlotOf(&C::DoReserveChannel),
      SlotOf(&C::DoReleaseChannel),       SlotOf(&C::SetReceiveParameter),
      SlotOf(&C::ResetReceiveParameters), SlotOf(&C::SetSendParameter),
      SlotOf(&C::ResetSendParameters),    SlotOf(&C::GetSupportedPayloadTypes),
      SlotOf(&C::GetDefaultPacketTime),   SlotOf(&C::IsPortInUse)};
  EXPECT_EQ(SlotOf(&C::AddOfferMediaDescription), 18u);
  for (std::size_t i = 0; i < std::size(slots); ++i) EXPECT_EQ(slots[i], 21 + i) << i;
}

}  // namespace
}  // namespace media_test
