// Engine-side threads reading and writing a channel's relays while the
// handler's thread starts and stops its streams with new host objects, as
// during calls. CI runs these under ThreadSanitizer (label "threads"). The
// host objects count every call after their end call; there must be none.
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "host/memory_audio_sink.h"
#include "host/memory_audio_source.h"
#include "tests/media/engine_call_fixture.h"

namespace media_test {
namespace {

using host::MemoryAudioSink;
using host::MemoryAudioSource;

class StreamThreadsTest : public EngineCallTest {};

TEST_F(StreamThreadsTest, EngineThreadsRaceTheHandlersStartsAndStops) {
  Start();
  const LONG channel = StartCall();
  IAudioControl& audio = Audio();
  std::vector<platform::ComPtr<MemoryAudioSource>> sources;
  std::vector<platform::ComPtr<MemoryAudioSink>> sinks;
  auto startAll = [&](int cycle) {
    LONG format = cycle % 2 ? AUDIO_STREAM_AMR : AUDIO_STREAM_PCMU;
    for (int i = 0; i < 2; ++i) {
      sources.push_back(MemoryAudioSource::Create(std::string(50 + cycle % 7, 's')));
      sources.back()->SetChunkLimit(7);
    }
    sinks.push_back(MemoryAudioSink::Create());
    if (cycle % 3 == 0) sinks.back()->SimulateError(E_FAIL, 2);
    auto n = sources.size();
    EXPECT_EQ(audio.StartPlayAudioStream(channel, format, sources[n - 2].Get(), 100), S_OK);
    EXPECT_EQ(audio.StartSendAudioStream(channel, format, sources[n - 1].Get(), 100), S_OK);
    EXPECT_EQ(audio.StartRecordAudioStream(channel, format, sinks.back().Get()), S_OK);
  };
  startAll(0);
  // The relays stay where they are for the channel's life.
  GIPSVEInStream* play = Engine().FindChannel(channel)->localFile;
  GIPSVEInStream* send = Engine().FindChannel(channel)->microphoneFile;
  GIPSVEOutStream* record = Engine().state().playoutRecording;
  std::atomic<bool> done{false};
  std::atomic<long> delivered{0};
  std::vector<std::thread> engine;
  for (GIPSVEInStream* relay : {play, play, send})
    engine.emplace_back([&, relay] {
      char buffer[11];
      while (!done) {
        int count = relay->Read(buffer, sizeof buffer);
        delivered += count;
        if (count == 0) std::this_thread::yield();
      }
    });
  engine.emplace_back([&] {
    for (; !done; std::this_thread::yield()) record->Write("#!AMR\nframe", 11);
  });
  // On a loaded machine the engine threads may not run during the first
  // cycles: go on until some data has been read, within a time limit.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (int cycle = 1;; ++cycle) {
    std::this_thread::yield();
    EXPECT_EQ(audio.StopPlayAudioStream(channel), S_OK);
    EXPECT_EQ(audio.StopSendAudioStream(channel), S_OK);
    EXPECT_EQ(audio.StopRecordAudioStream(channel), S_OK);
    bool more = cycle < 200 || (delivered == 0 && std::chrono::steady_clock::now() < deadline);
    if (!more) break;
    startAll(cycle);
  }
  done = true;
  for (std::thread& thread : engine) thread.join();
  EXPECT_EQ(handler_->ReleaseChannel(channel), S_OK);
  for (const auto& source : sources) {
    EXPECT_EQ(source->EndCalls(), 1);
    EXPECT_EQ(source->CallsAfterEnd(), 0);
  }
  for (const auto& sink : sinks) {
    EXPECT_EQ(sink->EndCalls(), 1);
    EXPECT_EQ(sink->CallsAfterEnd(), 0);
  }
  EXPECT_GT(delivered.load(), 0);
}

}  // namespace
}  // namespace media_test
