// Engine-side threads reading and writing a channel's relays while the
// handler's thread starts and stops its streams with new host objects, as
// during calls; and the stand-in engine's own media thread calling host
// streams that stop themselves. CI runs these under ThreadSanitizer (label
// "threads"). The host objects count every call after their end call; there
// must be none.
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "engine/standin/standin_testing.h"
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

// The handler on the stand-in engine (no test engine installed), with
// channels sending PCMU to the discard port of 127.0.0.1.
class StandInStreamsTest : public HandlerTest {
 protected:
  void SetUp() override { StartHandler({"PCMU"}); }
  void TearDown() override { handler_.Reset(); }

  LONG SendingChannel() {
    LONG channel = Reserve();
    auto offer = SdpDocument::CreateOutgoing("127.0.0.1", 1, 1);
    EXPECT_EQ(Offer(channel, offer.Get()), S_OK);
    EXPECT_EQ(handler_->SetReceiveParameters(offer.Get(), 0, channel), S_OK);
    auto answer = ParseSdp(
        "v=0\no=- 1 1 IN IP4 127.0.0.1\ns=-\nc=IN IP4 127.0.0.1\nt=0 0\n"
        "m=audio 9 RTP/AVP 0\n");
    EXPECT_EQ(handler_->SetSendParameters(answer.Get(), offer.Get(), 0, channel), S_OK);
    EXPECT_EQ(handler_->StartSending(channel), S_OK);
    return channel;
  }

  // Frames the engine's media thread has run so far.
  std::uint64_t FramesRun() {
    LONG* engine = nullptr;
    EXPECT_EQ(network_->get_VoiceEngine(&engine), S_OK);
    standin::EngineStatistics statistics;
    EXPECT_TRUE(standin::EngineStatisticsForTesting(reinterpret_cast<GIPSVoiceEngine*>(engine),
                                                    &statistics));
    return statistics.framesRun;
  }

  // Starts a stream with `start`. At the engine thread's first call into the
  // host object (through the hook `setHook` installs) `stop` runs inside that
  // call. Answers what `stop` answered, once a few more frames have run.
  HRESULT StopDuringACall(const std::function<HRESULT()>& start,
                          const std::function<HRESULT()>& stop,
                          const std::function<void(std::function<void()>)>& setHook) {
    constexpr HRESULT kNotYet = 1;  // `stop` has not answered
    const std::thread::id host = std::this_thread::get_id();
    std::atomic<bool> fired{false};
    std::atomic<HRESULT> result{kNotYet};
    setHook([&] {
      if (std::this_thread::get_id() == host || fired.exchange(true)) return;
      result = stop();
    });
    EXPECT_EQ(start(), S_OK);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (result == kNotYet && std::chrono::steady_clock::now() < deadline)
      std::this_thread::yield();
    // The engine calls the stream no more: let it run a few frames.
    const std::uint64_t until = FramesRun() + 3;
    while (FramesRun() < until && std::chrono::steady_clock::now() < deadline)
      std::this_thread::yield();
    EXPECT_GE(FramesRun(), until);
    return result;
  }
};

// A host stream whose Read or Write stops it from inside, on the engine's
// media thread. The stop answers S_OK, the stream hears its end once, and the
// engine calls it no more.
TEST_F(StandInStreamsTest, StreamsStopFromInsideTheirOwnCalls) {
  IAudioControl& audio = *handler_;
  const LONG channel = SendingChannel();
  for (const std::string kind : {"play", "send", "record"}) {
    SCOPED_TRACE(kind);
    auto source = MemoryAudioSource::Create(std::string(16000, '\x55'));
    auto sink = MemoryAudioSink::Create();
    auto start = [&] {
      return kind == "play"
                 ? audio.StartPlayAudioStream(channel, AUDIO_STREAM_PCMU, source.Get(), 100)
             : kind == "send"
                 ? audio.StartSendAudioStream(channel, AUDIO_STREAM_PCMU, source.Get(), 100)
                 : audio.StartRecordAudioStream(channel, AUDIO_STREAM_PCMU, sink.Get());
    };
    auto stop = [&] {
      return kind == "play"   ? audio.StopPlayAudioStream(channel)
             : kind == "send" ? audio.StopSendAudioStream(channel)
                              : audio.StopRecordAudioStream(channel);
    };
    auto setHook = [&](std::function<void()> hook) {
      source->SetReadHook(hook);
      sink->SetWriteHook(hook);
    };
    EXPECT_EQ(StopDuringACall(start, stop, setHook), S_OK);
    EXPECT_EQ(kind == "record" ? sink->EndCalls() : source->EndCalls(), 1);
    EXPECT_EQ(source->CallsAfterEnd() + sink->CallsAfterEnd(), 0);
    EXPECT_EQ(stop(), S_OK);  // off already
  }
  EXPECT_EQ(handler_->ReleaseChannel(channel), S_OK);
}

// Releasing the channel instead, from inside a source's Read or a sink's
// Write: the relay the engine thread is still in outlives the channel.
TEST_F(StandInStreamsTest, ChannelReleasedFromInsideAStreamsCall) {
  const LONG running = SendingChannel();  // keeps the media thread going
  for (const bool record : {false, true}) {
    SCOPED_TRACE(record ? "record" : "play");
    const LONG channel = SendingChannel();
    auto source = MemoryAudioSource::Create(std::string(16000, '\x55'));
    auto sink = MemoryAudioSink::Create();
    auto start = [&] {
      return record ? handler_->StartRecordAudioStream(channel, AUDIO_STREAM_PCMU, sink.Get())
                    : handler_->StartPlayAudioStream(channel, AUDIO_STREAM_PCMU, source.Get(), 100);
    };
    auto release = [&] { return handler_->ReleaseChannel(channel); };
    auto setHook = [&](std::function<void()> hook) {
      source->SetReadHook(hook);
      sink->SetWriteHook(hook);
    };
    EXPECT_EQ(StopDuringACall(start, release, setHook), S_OK);
    EXPECT_EQ(record ? sink->EndCalls() : source->EndCalls(), 1);
    EXPECT_EQ(source->CallsAfterEnd() + sink->CallsAfterEnd(), 0);
  }
  EXPECT_EQ(handler_->ReleaseChannel(running), S_OK);
}

}  // namespace
}  // namespace media_test
