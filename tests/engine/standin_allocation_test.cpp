// The stand-in engine when memory runs out: allocations of the test's own
// thread are made to fail one after another, and a call refused for it
// must leave the engine as it was. This program replaces operator new, so
// it holds these cases only.
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include <gtest/gtest.h>

#include "engine/standin/error_codes.h"
#include "engine/standin/standin_testing.h"
#include "tests/engine/engine_harness.h"

namespace {

// Allocations of this thread before one fails; -1: none fails.
thread_local int tAllocationsBeforeFailure = -1;

}  // namespace

namespace {

void* Allocate(std::size_t size) noexcept {
  if (tAllocationsBeforeFailure >= 0 && tAllocationsBeforeFailure-- == 0) return nullptr;
  return std::malloc(size ? size : 1);
}

void* AllocateOrThrow(std::size_t size) {
  if (void* memory = Allocate(size)) return memory;
  throw std::bad_alloc();
}

}  // namespace

// Every form, so that each allocation is paired with its release here.
void* operator new(std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

namespace {

using engine_test::Bytes;
using engine_test::Codec;

constexpr int kDefaultEventPayloadType = 101;

// A telephone event of 1600 ticks in one packet: 200 ms on the 8000 Hz
// event clock, 100 ms on 16000 Hz.
Bytes EventPacket(int payloadType, int event, std::uint16_t sequence) {
  const std::uint32_t timestamp = 1000u * sequence;  // one event per packet
  return Bytes{0x80,
               static_cast<std::uint8_t>(0x80 | payloadType),
               static_cast<std::uint8_t>(sequence >> 8),
               static_cast<std::uint8_t>(sequence),
               static_cast<std::uint8_t>(timestamp >> 24),
               static_cast<std::uint8_t>(timestamp >> 16),
               static_cast<std::uint8_t>(timestamp >> 8),
               static_cast<std::uint8_t>(timestamp),
               0x12,
               0x34,
               0x56,
               0x78,
               static_cast<std::uint8_t>(event),
               0x8A,
               0x06,
               0x40};
}

class Receiver {
 public:
  Receiver() : channel_(engine_.ChannelOnFreePort(&port_)) {
    engine_.UseManualClock();
    EXPECT_EQ(engine_.base->StartListen(channel_), 0);
  }

  GIPSVECodec* Codecs() { return engine_.codec; }
  int Channel() const { return channel_; }
  int LastError() { return engine_.base->LastError(); }

  // Sends an event under `unheard`, then one under `heard`: only the second
  // may arrive, counted on an event clock of `clockRate`.
  void ExpectHeard(int heard, int unheard, int clockRate) {
    const std::size_t before = Events().size();
    peer_.SendTo(port_, EventPacket(unheard, 5, ++sequence_));
    peer_.SendTo(port_, EventPacket(heard, 7, ++sequence_));
    engine_test::RunFrames({&engine_}, 1);  // loopback datagrams are queued at once
    const auto events = Events();
    ASSERT_EQ(events.size(), before + 1) << "heard " << heard << ", unheard " << unheard;
    EXPECT_EQ(events.back().event, 7);
    EXPECT_EQ(events.back().durationMs, 1600 * 1000 / clockRate);
  }

 private:
  std::vector<standin::TelephoneEventRecord> Events() {
    return standin::ReceivedTelephoneEventsForTesting(engine_.engine, channel_);
  }

  engine_test::Engine engine_;
  int port_ = 0;
  int channel_;
  engine_test::TestSocket peer_;
  std::uint16_t sequence_ = 0;
};

// Each allocation SetRecPayloadType makes fails in turn until the call goes
// through; every refusal leaves the payload types and the event clock alone.
TEST(StandInAllocationTest, RefusedReceivePayloadTypeChangesNothing) {
  const struct {
    const char* what;
    int before;  // announced first; -1: nothing
    int announced;
  } rows[] = {{"first announcement", -1, 100}, {"renumbering", 100, 110}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Receiver receiver;
    ASSERT_GE(receiver.Channel(), 0);
    int heard = kDefaultEventPayloadType;
    if (row.before >= 0) {
      ASSERT_EQ(receiver.Codecs()->SetRecPayloadType(receiver.Channel(),
                                                     Codec("telephone-event", 8000, 0, row.before)),
                0);
      heard = row.before;
    }
    const EngineCodecRecord events = Codec("telephone-event", 16000, 0, row.announced);
    int refusals = 0;
    for (int allowed = 0; allowed < 20; ++allowed) {
      tAllocationsBeforeFailure = allowed;
      const int result = receiver.Codecs()->SetRecPayloadType(receiver.Channel(), events);
      tAllocationsBeforeFailure = -1;
      if (result == 0) break;
      ++refusals;
      EXPECT_EQ(receiver.LastError(), standin::kOutOfMemory);
      receiver.ExpectHeard(heard, row.announced, 8000);
    }
    EXPECT_GT(refusals, 0);
    receiver.ExpectHeard(row.announced, heard, 16000);
  }
}

}  // namespace
