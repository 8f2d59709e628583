// Audio streams between the reference host's memory sources and sinks and
// the test engine: what the engine is asked, the header bytes it reads and
// writes, the on/off state of each stream kind, conversions and
// conversation recording.
#include <functional>
#include <string>
#include <vector>

#include "host/memory_audio_sink.h"
#include "host/memory_audio_source.h"
#include "platform/bstr.h"
#include "tests/media/engine_call_fixture.h"

namespace media_test {
namespace {

using host::MemoryAudioSink;
using host::MemoryAudioSource;
using Strings = std::vector<std::string>;

class AudioStreamsTest : public EngineCallTest {
 protected:
  void SetUp() override {
    Start();
    channel_ = StartCall();
  }

  // What an engine read of `length` bytes from `relay` delivers.
  static std::string EngineRead(GIPSVEInStream* relay, int length) {
    std::string buffer(static_cast<size_t>(length), '\0');
    buffer.resize(static_cast<size_t>(relay->Read(buffer.data(), length)));
    return buffer;
  }
  GIPSVEInStream* PlayRelay() { return Engine().FindChannel(channel_)->localFile; }

  LONG channel_ = -1;
};

TEST_F(AudioStreamsTest, EachStreamKindGoesOnAndOffOnlyWhenTheEngineAgrees) {
  struct Kind {
    const char* startOperation;
    const char* stopOperation;
    std::function<HRESULT(IAudioSource*, IAudioSink*)> start;
    std::function<HRESULT()> stop;
  };
  IAudioControl& a = Audio();
  const LONG c = channel_;
  const Kind kinds[] = {
      {"StartPlayingFileLocally", "StopPlayingFileLocally",
       [&](IAudioSource* s, IAudioSink*) { return a.StartPlayAudioStream(c, 0, s, 100); },
       [&] { return a.StopPlayAudioStream(c); }},
      {"StartPlayingFileAsMicrophone", "StopPlayingFileAsMicrophone",
       [&](IAudioSource* s, IAudioSink*) { return a.StartSendAudioStream(c, 0, s, 100); },
       [&] { return a.StopSendAudioStream(c); }},
      {"StartRecordingPlayout", "StopRecordingPlayout",
       [&](IAudioSource*, IAudioSink* s) { return a.StartRecordAudioStream(c, 0, s); },
       [&] { return a.StopRecordAudioStream(c); }},
  };
  const HRESULT kRefused = EngineErrorToHresult(8003);
  for (const Kind& kind : kinds) {
    auto refusedSource = MemoryAudioSource::Create("refused");
    auto refusedSink = MemoryAudioSink::Create();
    auto source = MemoryAudioSource::Create("data");
    auto sink = MemoryAudioSink::Create();
    Engine().FailNext(kind.startOperation, 8003);
    EXPECT_EQ(kind.start(refusedSource.Get(), refusedSink.Get()), kRefused) << kind.startOperation;
    EXPECT_EQ(kind.stop(), S_OK);  // off: nothing to stop
    EXPECT_EQ(kind.start(source.Get(), sink.Get()), S_OK);
    EXPECT_EQ(kind.start(source.Get(), sink.Get()), S_OK);  // on already
    Engine().FailNext(kind.stopOperation, 8003);
    EXPECT_EQ(kind.stop(), kRefused);
    EXPECT_EQ(kind.stop(), S_OK);  // still on: stopped now
    EXPECT_EQ(kind.stop(), S_OK);
    EXPECT_EQ(Engine().CountOf(kind.startOperation), 2u);
    EXPECT_EQ(Engine().CountOf(kind.stopOperation), 2u);
    EXPECT_EQ(source->EndCalls() + sink->EndCalls(), 1);
    EXPECT_EQ(refusedSource->DataReads() + refusedSource->EndCalls() + refusedSink->EndCalls(), 0);
  }
  EXPECT_EQ(a.StartPlayAudioStream(c, 6, nullptr, 100), E_POINTER);
  auto source = MemoryAudioSource::Create();
  EXPECT_EQ(a.StartPlayAudioStream(c, 6, source.Get(), 100), E_INVALIDARG);
}

TEST_F(AudioStreamsTest, ARefusedStartLeavesTheRelayClosedToTheEngine) {
  auto first = MemoryAudioSource::Create("first");
  ASSERT_EQ(Audio().StartPlayAudioStream(channel_, 0, first.Get(), 100), S_OK);
  GIPSVEInStream* relay = PlayRelay();  // the channel's one play relay
  ASSERT_EQ(Audio().StopPlayAudioStream(channel_), S_OK);
  auto refused = MemoryAudioSource::Create("refused");
  Engine().FailNext("StartPlayingFileLocally", 8003);
  ASSERT_NE(Audio().StartPlayAudioStream(channel_, 4, refused.Get(), 100), S_OK);
  EXPECT_EQ(EngineRead(relay, 38), "");  // an engine that read on all the same
  EXPECT_EQ(refused->DataReads() + refused->EndCalls(), 0);
}

// The relays' header handling itself is tested with the relays; here the
// chosen format reaches the engine call and each relay.
TEST_F(AudioStreamsTest, EachStreamsFormatReachesTheEngineAndItsRelay) {
  auto amr = MemoryAudioSource::Create(std::string(32, 'f'));
  ASSERT_EQ(Audio().StartPlayAudioStream(channel_, 4, amr.Get(), 50), S_OK);
  EXPECT_EQ(Engine().CallsTo("StartPlayingFileLocally").back(),
            "StartPlayingFileLocally(0,stream,2,0.5,0,0)");
  EXPECT_EQ(EngineRead(PlayRelay(), 38), "#!AMR\n" + std::string(32, 'f'));

  auto ilbc = MemoryAudioSource::Create("frame");
  ASSERT_EQ(Audio().StartSendAudioStream(channel_, 5, ilbc.Get(), 100), S_OK);
  EXPECT_EQ(EngineRead(Engine().FindChannel(channel_)->microphoneFile, 20), "#!iLBC30\nframe");

  // The engine's iLBC record says 13330; the stream format forces 13300.
  auto sink = MemoryAudioSink::Create();
  ASSERT_EQ(Audio().StartRecordAudioStream(channel_, 5, sink.Get()), S_OK);
  EXPECT_EQ(Engine().CallsTo("StartRecordingPlayout").back(),
            "StartRecordingPlayout(stream,{102,iLBC,8000,240,1,13300})");
  EXPECT_TRUE(Engine().state().playoutRecording->Write("#!iLBC30\nframes", 15));
  EXPECT_EQ(sink->Data(), "frames");
  // The relays hold the host objects uncounted: stop before they go.
  EXPECT_EQ(Audio().StopPlayAudioStream(channel_) | Audio().StopSendAudioStream(channel_) |
                Audio().StopRecordAudioStream(channel_),
            S_OK);
  EXPECT_EQ(amr->EndCalls() + ilbc->EndCalls() + sink->EndCalls(), 3);
}

// The stop closes the relay (the end call arrives re-entrantly) while the
// relay's lock is held; a host failure after the stop ends nothing twice.
TEST_F(AudioStreamsTest, AHostMayStopItsStreamFromInsideItsOwnReadOrWrite) {
  auto source = MemoryAudioSource::Create("some audio");
  source->SetReadHook([&] { EXPECT_EQ(Audio().StopPlayAudioStream(channel_), S_OK); });
  ASSERT_EQ(Audio().StartPlayAudioStream(channel_, 0, source.Get(), 100), S_OK);
  GIPSVEInStream* relay = PlayRelay();
  EXPECT_EQ(EngineRead(relay, 4), "some");
  EXPECT_EQ(EngineRead(relay, 4), "");
  EXPECT_EQ(source->EndCalls(), 1);
  EXPECT_EQ(source->DataReads(), 1);

  auto sink = MemoryAudioSink::Create();
  sink->SetWriteHook([&] { EXPECT_EQ(Audio().StopRecordAudioStream(channel_), S_OK); });
  sink->SimulateError(static_cast<HRESULT>(0x80070026u));
  ASSERT_EQ(Audio().StartRecordAudioStream(channel_, 2, sink.Get()), S_OK);
  GIPSVEOutStream* record = Engine().state().playoutRecording;
  EXPECT_FALSE(record->Write("abc", 3));
  EXPECT_TRUE(record->Write("abc", 3));
  EXPECT_EQ(sink->EndCalls(), 1);
  EXPECT_EQ(sink->CallsAfterEnd(), 0);
  EXPECT_EQ(Engine().CountOf("StopRecordingPlayout"), 1u);
}

TEST_F(AudioStreamsTest, ConversionsRunWholeThroughTheHeaderRelays) {
  struct Row {
    LONG in, out;
    const char* input;
    HRESULT expected;
    const char* engineCall;  // "" for none
    const char* output;
  };
  const Row rows[] = {
      {2, 4, "#!AMR\nframes", S_OK,
       "ConvertPcmToCompressed(stream,stream,{98,AMR,8000,160,1,12200})", "frames"},
      {4, 2, "frames", S_OK, "ConvertCompressedToPcm(stream,stream)", "#!AMR\nframes"},
      {3, 2, "RIFF", S_OK, "ConvertWavToPcm(stream,stream)", "RIFF"},
      {0, 4, "ulaw", E_NOTIMPL, "", ""},
      {2, 3, "pcm", E_NOTIMPL, "", ""},
      {2, 2, "pcm", E_FAIL, "", ""},  // the engine has no "IPCMWB" codec
      {7, 2, "pcm", E_INVALIDARG, "", ""},
      {2, -1, "pcm", E_INVALIDARG, "", ""},
  };
  for (const Row& row : rows) {
    auto source = MemoryAudioSource::Create(row.input);
    auto sink = MemoryAudioSink::Create();
    Engine().ClearCalls();
    EXPECT_EQ(Audio().ConvertAudioStream(row.in, source.Get(), row.out, sink.Get()), row.expected)
        << row.in << "->" << row.out;
    Strings calls = EngineCalls();
    bool converted = !calls.empty() && calls.back().starts_with("Convert");
    EXPECT_EQ(converted ? calls.back() : "", std::string(row.engineCall));
    EXPECT_EQ(sink->Data(), row.output);
    int ends = row.expected == S_OK ? 1 : 0;
    EXPECT_EQ(source->EndCalls() + sink->EndCalls(), 2 * ends);
  }
  // A failed conversion ends without the end calls.
  auto source = MemoryAudioSource::Create("frames");
  auto sink = MemoryAudioSink::Create();
  Engine().FailNext("ConvertCompressedToPcm", 8003);
  EXPECT_EQ(Audio().ConvertAudioStream(4, source.Get(), 2, sink.Get()), EngineErrorToHresult(8003));
  EXPECT_EQ(source->EndCalls() + sink->EndCalls(), 0);
}

TEST_F(AudioStreamsTest, ConversationRecordingFollowsItsFlag) {
  const std::pair<LONG, const char*> rows[] = {
      {3, "StartRecordingCall(Gespräch.wav,{0,L16,8000,0,0,0},-1)"},
      {4, "StartRecordingCall(Gespräch.wav,{0,,0,0,0,0},-1)"}};
  platform::BString file(platform::NarrowToWide("Gespräch.wav"));
  for (const auto& [format, start] : rows) {
    Engine().ClearCalls();
    EXPECT_EQ(Audio().PauseRecordAudioConversation(channel_, VARIANT_TRUE), S_OK);  // not running
    EXPECT_EQ(Audio().StartRecordAudioConversation(channel_, format, file.Get()), S_OK);
    EXPECT_EQ(Audio().StartRecordAudioConversation(channel_, format, file.Get()), S_OK);
    EXPECT_EQ(Audio().PauseRecordAudioConversation(channel_, 1), S_OK);  // any non-zero pauses
    Engine().FailNext("StopRecordingCall", 8003);
    EXPECT_EQ(Audio().StopRecordAudioConversation(channel_), EngineErrorToHresult(8003));
    EXPECT_EQ(Audio().StopRecordAudioConversation(channel_), S_OK);  // cleared all the same
    EXPECT_EQ(EngineCalls(), (Strings{start, "PauseRecordingCall(true)", "StopRecordingCall()"}));
  }
}

}  // namespace
}  // namespace media_test
