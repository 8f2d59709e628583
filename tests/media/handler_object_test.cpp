// The handler's channel reservation over the engine and the order of its
// virtual slots.
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

// When the sound devices are opened is checked with the channel lifecycle.
// Interfaces, counts and the Init rules of the COM object are checked with the
// component's entry points.
TEST_F(HandlerObjectTest, InitAndReservationFailuresAndReleaseForgetsTheChannel) {
  EXPECT_EQ(handler_->Init(nullptr), E_POINTER);
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
