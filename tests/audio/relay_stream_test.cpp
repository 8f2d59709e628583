#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/relay_in_stream.h"
#include "audio/relay_out_stream.h"
#include "host/file_audio_sink.h"
#include "host/file_audio_source.h"
#include "host/memory_audio_sink.h"
#include "host/memory_audio_source.h"
#include "tests/support/temp_folder.h"

namespace {

using host::MemoryAudioSink;
using host::MemoryAudioSource;

constexpr HRESULT kHostFailure = static_cast<HRESULT>(0x80070026u);

// Reads up to `length` bytes as the engine would; the bytes the answer counts.
std::string EngineRead(RelayInStream& relay, int length) {
  std::string buffer(static_cast<size_t>(length), '\0');
  buffer.resize(static_cast<size_t>(std::max(relay.Read(buffer.data(), length), 0)));
  return buffer;  // longer than asked when the relay over-counts
}

TEST(RelayInStream, HeaderThenSourceBytes) {
  const std::string frames(40, 'f');
  struct Row {
    LONG format;
    LONG chunkLimit;  // of the host source; 0 = all that is asked
    std::vector<int> reads;
    std::vector<std::string> delivered;
    int sourceReads;
    LONG overreport = 0;  // bytes the source claims beyond what it read
  };
  const Row rows[] = {
      // AMR: the first host read returns 32 bytes.
      {AUDIO_STREAM_AMR, 32, {38}, {"#!AMR\n" + std::string(32, 'f')}, 1},
      // iLBC: a 4-byte read gets header bytes only; the source is not asked.
      {AUDIO_STREAM_ILBC, 0, {4}, {"#!iL"}, 0},
      {AUDIO_STREAM_ILBC, 0, {4, 4, 4}, {"#!iL", "BC30", "\nfff"}, 1},
      {AUDIO_STREAM_ILBC, 0, {9, 2}, {"#!iLBC30\n", "ff"}, 1},
      {AUDIO_STREAM_PCMU, 0, {5, 5}, {"fffff", "fffff"}, 2},
      {AUDIO_STREAM_WAV, 16, {20, 20}, {std::string(16, 'f'), std::string(16, 'f')}, 2},
      // Counts beyond the asked are cut to the asked.
      {AUDIO_STREAM_PCMA, 0, {20, 7}, {std::string(20, 'f'), std::string(7, 'f')}, 2, 1000},
  };
  for (const Row& row : rows) {
    auto source = MemoryAudioSource::Create(frames);
    source->SetChunkLimit(row.chunkLimit);
    source->SetOverreport(row.overreport);
    RelayInStream relay;
    relay.Open(row.format, source.Get());
    std::vector<std::string> delivered;
    for (int length : row.reads) delivered.push_back(EngineRead(relay, length));
    EXPECT_EQ(delivered, row.delivered) << "format " << row.format;
    EXPECT_EQ(source->DataReads(), row.sourceReads) << "format " << row.format;
    EXPECT_TRUE(relay.IsOpen());
    EXPECT_EQ(source->EndCalls(), 0);
  }
}

// Every way a relay closes: the source hears the end once, and is not called
// again; the engine gets 0 from then on.
TEST(RelayInStream, ClosesOnceAndThenAnswersZero) {
  struct Row {
    const char* what;
    LONG format;
    std::string data;
    HRESULT error;
    int firstRead;
  };
  const Row rows[] = {
      {"zero-length read", AUDIO_STREAM_PCMU, "abcdef", S_OK, 0},
      {"failing source", AUDIO_STREAM_PCMU, "abcdef", kHostFailure, 8},
      {"empty source", AUDIO_STREAM_PCMU, "", S_OK, 8},
      // Header bytes copied in the same call are dropped with the end.
      {"empty source after header", AUDIO_STREAM_AMR, "", S_OK, 10},
      {"failing source after header", AUDIO_STREAM_ILBC, "abc", kHostFailure, 10},
  };
  for (const Row& row : rows) {
    auto source = MemoryAudioSource::Create(row.data);
    source->SimulateError(row.error);
    RelayInStream relay;
    relay.Open(row.format, source.Get());
    EXPECT_EQ(EngineRead(relay, row.firstRead), "") << row.what;
    EXPECT_FALSE(relay.IsOpen()) << row.what;
    EXPECT_EQ(EngineRead(relay, 8), "") << row.what;
    relay.Close();
    EXPECT_EQ(source->EndCalls(), 1) << row.what;
    EXPECT_EQ(source->CallsAfterEnd(), 0) << row.what;
  }
}

TEST(RelayInStream, OpenCloseAndReset) {
  auto source = MemoryAudioSource::Create("abc");
  RelayInStream relay;
  EXPECT_FALSE(relay.IsOpen());
  EXPECT_EQ(relay.Read(nullptr, 0), 0);  // a fresh relay is closed
  relay.Open(AUDIO_STREAM_AMR, nullptr);
  EXPECT_FALSE(relay.IsOpen());
  EXPECT_EQ(relay.Format(), AUDIO_STREAM_AMR);

  relay.Open(AUDIO_STREAM_AMR, source.Get());
  EXPECT_EQ(EngineRead(relay, 3), "#!A");
  relay.Reset();  // forgets the source without the end call
  EXPECT_EQ(source->EndCalls(), 0);
  EXPECT_EQ(relay.Format(), AUDIO_STREAM_AMR);
  relay.Open(AUDIO_STREAM_AMR, source.Get());
  EXPECT_EQ(EngineRead(relay, 9), "#!AMR\nabc");  // the header starts again
  relay.Close();
  relay.Close();
  EXPECT_EQ(source->EndCalls(), 1);
  EXPECT_EQ(relay.Rewind(), -1);
}

TEST(RelayOutStream, HeaderIsDroppedBeforeTheSink) {
  struct Row {
    LONG format;
    std::vector<std::string> writes;
    std::string received;
    int sinkWrites;
  };
  const Row rows[] = {
      // AMR: writes of 4 and 10 bytes pass nothing, then the last 8 bytes.
      {AUDIO_STREAM_AMR, {"#!AM", "R\n12345678"}, "12345678", 1},
      {AUDIO_STREAM_AMR, {"#!AMR\n", "ab"}, "ab", 1},
      {AUDIO_STREAM_ILBC, {"#!iLBC30\nxy", "z"}, "xyz", 2},
      {AUDIO_STREAM_ILBC, {"#!i", "LBC", "30\n", "frame"}, "frame", 1},
      {AUDIO_STREAM_PCMA, {"#!AMR\n"}, "#!AMR\n", 1},
      {AUDIO_STREAM_PCM, {"ab", "cd"}, "abcd", 2},
  };
  for (const Row& row : rows) {
    auto sink = MemoryAudioSink::Create();
    RelayOutStream relay;
    relay.Open(row.format, sink.Get());
    for (const std::string& w : row.writes) EXPECT_TRUE(relay.Write(w.data(), int(w.size())));
    EXPECT_EQ(sink->Data(), row.received) << "format " << row.format;
    EXPECT_EQ(sink->DataWrites(), row.sinkWrites) << "format " << row.format;
    EXPECT_EQ(sink->EndCalls(), 0);
    relay.Close();
    EXPECT_EQ(sink->EndCalls(), 1);
  }
}

TEST(RelayOutStream, ClosesOnceAndThenTakesEverything) {
  struct Row {
    const char* what;
    HRESULT error;
    int length;
    bool answer;
  };
  const Row rows[] = {
      {"zero-length write", S_OK, 0, true},
      {"failing sink", kHostFailure, 4, false},
  };
  for (const Row& row : rows) {
    auto sink = MemoryAudioSink::Create();
    sink->SimulateError(row.error);
    RelayOutStream relay;
    relay.Open(AUDIO_STREAM_PCMU, sink.Get());
    EXPECT_EQ(relay.Write("data", row.length), row.answer) << row.what;
    EXPECT_FALSE(relay.IsOpen()) << row.what;
    EXPECT_TRUE(relay.Write("more", 4)) << row.what;
    relay.Close();
    EXPECT_EQ(sink->EndCalls(), 1) << row.what;
    EXPECT_EQ(sink->CallsAfterEnd(), 0) << row.what;
    EXPECT_EQ(sink->Data(), "") << row.what;
  }
  RelayOutStream unopened;
  EXPECT_TRUE(unopened.Write("x", 1));
  EXPECT_EQ(unopened.Rewind(), -1);
}

// A source that restarts its stream from inside Read and then fails ends
// only the stream it was reading.
TEST(Relays, FailureAfterAReopenLeavesTheNewStreamOpen) {
  RelayInStream relay;
  auto first = MemoryAudioSource::Create("abc");
  auto second = MemoryAudioSource::Create("xyz");
  first->SimulateError(kHostFailure);
  first->SetReadHook([&] { relay.Open(AUDIO_STREAM_PCMU, second.Get()); });
  relay.Open(AUDIO_STREAM_PCMU, first.Get());
  EXPECT_EQ(EngineRead(relay, 3), "");
  EXPECT_TRUE(relay.IsOpen());
  EXPECT_EQ(EngineRead(relay, 3), "xyz");
  EXPECT_EQ(second->EndCalls(), 0);
}

// The reference host's file objects, through the relays as the engine uses
// them: headerless AMR frames in, the same frames out.
TEST(Relays, FileSourceToFileSink) {
  namespace fs = std::filesystem;
  test_support::TempFolder folder("medley-relay");
  ASSERT_FALSE(folder.Path().empty());
  const fs::path dir = folder.Path();
  const std::string frames = "\x3c frame one \x3c frame two";
  std::ofstream(dir / "in.amr", std::ios::binary) << frames;

  auto source = host::FileAudioSource::Open(dir / "in.amr");
  auto sink = host::FileAudioSink::Create(dir / "out.amr");
  ASSERT_TRUE(source && sink);
  RelayInStream in;
  RelayOutStream out;
  in.Open(AUDIO_STREAM_AMR, source.Get());
  out.Open(AUDIO_STREAM_AMR, sink.Get());
  char buffer[5];
  for (int n; (n = in.Read(buffer, sizeof buffer)) > 0;) ASSERT_TRUE(out.Write(buffer, n));
  EXPECT_TRUE(source->IsFinished());  // the empty read closed the relay
  EXPECT_FALSE(sink->IsFinished());
  out.Close();
  EXPECT_TRUE(sink->IsFinished());

  std::ifstream result(dir / "out.amr", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(result), {}), frames);
  EXPECT_FALSE(host::FileAudioSource::Open(dir / "missing.amr"));
}

// Hosts bind to the slots: Read and Write come right after IUnknown.
TEST(HostAudioObjects, ReadAndWriteSitInSlotThree) {
  using AnySlot = void (*)();
  auto source = MemoryAudioSource::Create("ab");
  IAudioSource* asSource = source.Get();
  auto read = reinterpret_cast<HRESULT (*)(IAudioSource*, BYTE*, LONG, LONG*)>(
      (*reinterpret_cast<AnySlot* const*>(asSource))[3]);
  BYTE bytes[2];
  LONG count = 0;
  EXPECT_EQ(read(asSource, bytes, 2, &count), S_OK);
  EXPECT_EQ(count, 2);

  auto sink = MemoryAudioSink::Create();
  IAudioSink* asSink = sink.Get();
  auto write = reinterpret_cast<HRESULT (*)(IAudioSink*, const BYTE*, LONG)>(
      (*reinterpret_cast<AnySlot* const*>(asSink))[3]);
  EXPECT_EQ(write(asSink, bytes, 2), S_OK);
  EXPECT_EQ(sink->Data(), "ab");

  platform::ComPtr<IAudioSink> queried;
  EXPECT_EQ(platform::ComPtr<IUnknown>(asSink).As(&queried), S_OK);
  platform::ComPtr<IAudioSource> wrong;
  EXPECT_EQ(platform::ComPtr<IUnknown>(asSink).As(&wrong), E_NOINTERFACE);
}

}  // namespace
