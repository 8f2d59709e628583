// Engine-side threads reading and writing relays while the owner's thread
// opens, closes and resets them, as during a call. Run under ThreadSanitizer
// in CI (label "threads"). The host objects count every call that comes after
// their end call; there must be none.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "audio/channel_stream_state.h"
#include "host/memory_audio_sink.h"
#include "host/memory_audio_source.h"

namespace {

using host::MemoryAudioSink;
using host::MemoryAudioSource;

constexpr int kEngineThreads = 3;
constexpr int kStreams = 300;

// Engine threads read one relay and write another while the owner opens,
// closes and resets both with new host objects.
TEST(RelayThreads, EngineReadsAndWritesRaceTheOwnersOpenAndClose) {
  RelayInStream in;
  RelayOutStream out;
  std::atomic<bool> done{false};
  std::atomic<long> delivered{0};
  std::vector<std::thread> engine;
  for (int t = 0; t < kEngineThreads; ++t) {
    engine.emplace_back([&] {
      char buffer[7];
      for (; !done; std::this_thread::yield()) delivered += in.Read(buffer, sizeof buffer);
    });
    engine.emplace_back([&] {
      for (; !done; std::this_thread::yield()) out.Write("#!iLBC30\nframe", 14);
    });
  }
  std::vector<platform::ComPtr<MemoryAudioSource>> sources;
  std::vector<platform::ComPtr<MemoryAudioSink>> sinks;
  // On a loaded machine the engine threads may not run during the first
  // streams: go on opening new ones until data has flowed both ways.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  bool sinkReached = false;
  for (int i = 0; i < kStreams ||
                  ((delivered == 0 || !sinkReached) && std::chrono::steady_clock::now() < deadline);
       ++i) {
    sources.push_back(MemoryAudioSource::Create(std::string(64, 'a')));
    sinks.push_back(MemoryAudioSink::Create());
    if (i % 3 == 0) sinks.back()->SimulateError(E_FAIL, 2);
    in.Open(i % 2 ? AUDIO_STREAM_AMR : AUDIO_STREAM_PCMU, sources.back().Get());
    out.Open(i % 2 ? AUDIO_STREAM_ILBC : AUDIO_STREAM_PCMA, sinks.back().Get());
    std::this_thread::yield();
    in.Close();
    in.Reset();
    out.Close();
    sinkReached = sinkReached || sinks.back()->DataWrites() > 0;  // closed: no writer left
  }
  done = true;
  for (std::thread& t : engine) t.join();
  int reached = 0;
  for (size_t i = 0; i < sinks.size(); ++i) {
    EXPECT_EQ(sources[i]->EndCalls(), 1);
    EXPECT_EQ(sinks[i]->EndCalls(), 1);
    EXPECT_EQ(sources[i]->CallsAfterEnd() + sinks[i]->CallsAfterEnd(), 0);
    reached += sinks[i]->DataWrites() > 0;
  }
  EXPECT_GT(delivered.load(), 0);
  EXPECT_GT(reached, 0);
}

// The host stops the stream from inside its own Read on an engine thread
// while the owner's thread closes the same relay.
TEST(RelayThreads, StopFromInsideReadRacesTheOwnersClose) {
  for (int i = 0; i < kStreams; ++i) {
    ChannelStreamState state;
    auto source = MemoryAudioSource::Create(std::string(1000, 's'));
    source->SetReadHook([&] {
      if (source->DataReads() >= 3) {
        state.sendRelay.Close();
        state.sendRelay.Reset();
      }
    });
    state.sendRelay.Open(AUDIO_STREAM_ILBC, source.Get());
    std::thread engine([&] {
      char buffer[10];
      while (state.sendRelay.Read(buffer, sizeof buffer) > 0) {
      }
    });
    std::this_thread::yield();
    state.sendRelay.Close();
    engine.join();
    EXPECT_EQ(source->EndCalls(), 1);
    EXPECT_EQ(source->CallsAfterEnd(), 0);
  }
}

}  // namespace
