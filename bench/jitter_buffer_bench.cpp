// The receive-side jitter buffer's work per 20 ms frame: a jittered,
// reordered stream, and a flood of packets with random timestamps (the most
// a channel reads in one frame). The goal: a few microseconds per frame at
// most, whatever arrives, against the frame's 20 ms.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "engine/standin/jitter_buffer.h"

namespace {

using standin::JitterBuffer;
using standin::JitterPacket;

constexpr int kFrame = 160;

// Takes a frame's worth out of `buffer` as a receiver does.
void PlayFrame(JitterBuffer& buffer, JitterPacket& packet) {
  int buffered = 0;
  for (int pull = 0; pull < 16 && buffered < kFrame; ++pull) {
    const JitterBuffer::Result result = buffer.Get(buffered, &packet);
    if (result == JitterBuffer::Result::kIdle) break;
    buffered += packet.span - packet.skip;
  }
  buffer.Tick();
}

void BM_JitteredStream(benchmark::State& state) {
  const std::vector<std::uint8_t> payload(160, 0x55);
  std::mt19937 random(1);
  JitterBuffer buffer(kFrame);
  JitterPacket packet;
  std::uint32_t timestamp = 0;
  for (auto _ : state) {
    // Two packets swapped now and then, one lost in fifty.
    const bool swap = random() % 8 == 0;
    for (int i = 0; i < 2; ++i) {
      const std::uint32_t at = timestamp + kFrame * static_cast<std::uint32_t>(swap ? 1 - i : i);
      if (random() % 50) buffer.Put(payload.data(), payload.size(), at, kFrame, 0);
    }
    timestamp += 2 * kFrame;
    PlayFrame(buffer, packet);
    PlayFrame(buffer, packet);
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_JitteredStream);

void BM_HostileFlood(benchmark::State& state) {
  const std::vector<std::uint8_t> payload(2048, 0xAA);
  std::mt19937 random(2);
  JitterBuffer buffer(kFrame);
  JitterPacket packet;
  std::uint32_t base = 0;
  for (auto _ : state) {
    for (int i = 0; i < 16; ++i)  // near the stream, then anywhere
      buffer.Put(payload.data(), payload.size(),
                 random() % 4 ? base + random() % 8000 : static_cast<std::uint32_t>(random()),
                 kFrame, 0);
    base += kFrame;
    PlayFrame(buffer, packet);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HostileFlood);

}  // namespace

BENCHMARK_MAIN();
