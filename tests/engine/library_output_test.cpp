// The host's stderr is the host's: the receive path and the voice
// processor write nothing there, whatever arrives, and report what the
// libraries under them complain about to the trace hook instead.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/standin/channel_receiver.h"
#include "engine/standin/codec_catalogue.h"
#include "engine/standin/rtp_packet.h"
#include "engine/standin/voice_processor.h"
#include "platform/trace.h"
#include "tests/engine/engine_harness.h"

namespace {

using namespace standin;
using namespace engine_test;

// What `body` writes to the process's stderr (sent to a file of its own
// meanwhile).
std::string StderrOf(const std::function<void()>& body) {
  char path[] = "/tmp/medley-stderr-XXXXXX";
  const int capture = mkstemp(path);
  EXPECT_GE(capture, 0);
  if (capture < 0) return "no temporary file";
  std::fflush(stderr);
  const int saved = dup(2);
  dup2(capture, 2);
  body();
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  close(capture);
  const std::string text = FileBytes(path);
  unlink(path);
  return text;
}

TEST(LibraryOutput, HostileStreamsPrintNothing) {
  const std::string printed = StderrOf([] {
    std::mt19937 random(23);
    ChannelReceiver receiver;
    Bytes payload, datagram;
    RtpHeader header;
    header.ssrc = 7;
    for (int frame = 0; frame < 3000; ++frame) {
      // Every codec, sequence and timestamp jumps, garbage payloads.
      for (int i = static_cast<int>(random() % 4); i > 0; --i) {
        header.payloadType =
            CodecCatalogue::At(static_cast<int>(random() % CodecCatalogue::Count()))->payloadType;
        header.sequence = static_cast<std::uint16_t>(random() % 3 ? header.sequence + 1 : random());
        header.timestamp = random() % 3 ? header.timestamp + 160 * (random() % 3) : random();
        payload.resize(random() % 400);
        for (auto& byte : payload) byte = static_cast<std::uint8_t>(random());
        WriteRtp(header, payload.data(), payload.size(), datagram);
        receiver.OnDatagram(datagram.data(), datagram.size(), true);
      }
      std::int16_t out[320];
      receiver.PlayoutFrame(out);
      receiver.EndFrame();
    }
  });
  EXPECT_EQ(printed.substr(0, 200), "");
}

TEST(LibraryOutput, EchoCancellerTroublesGoToTheTraceHook) {
  constexpr int kRate = 16000, kFrame = 320, kFrames = 600;
  const struct {
    const char* what;
    // Microphone and speaker sample `t`, in frame `frame`.
    std::function<double(int t, int frame)> microphone, speaker;
  } rows[] = {
      {"full-scale alternation", [](int t, int) { return t % 2 ? 32767.0 : -32768.0; },
       [](int t, int) { return t % 2 ? -32768.0 : 32767.0; }},
      {"echo turning over every second",
       [](int t, int frame) { return (frame / 50 % 2 ? -40000 : 20000) * std::sin(t * 0.1); },
       [](int t, int) { return 20000 * std::sin(t * 0.1); }},
  };
  for (const auto& row : rows) {
    std::vector<std::string> lines;
    const std::string printed = StderrOf([&] {
      platform::ScopedTraceSinkForTesting sink(
          [&](const std::string& line) { lines.push_back(line); });
      std::unique_ptr<VoiceProcessor> processor = CreateVoiceProcessor(kRate, kFrame);
      processor->SetEchoCancellation(true);
      std::int16_t microphone[kFrame], speaker[kFrame];
      for (int frame = 0; frame < kFrames; ++frame) {
        for (int i = 0; i < kFrame; ++i) {
          const int t = frame * kFrame + i;
          microphone[i] =
              static_cast<std::int16_t>(std::clamp(row.microphone(t, frame), -32768.0, 32767.0));
          speaker[i] =
              static_cast<std::int16_t>(std::clamp(row.speaker(t, frame), -32768.0, 32767.0));
        }
        processor->Process(microphone, speaker);
      }
    });
    EXPECT_EQ(printed.substr(0, 200), "") << row.what;
    EXPECT_FALSE(lines.empty()) << row.what;
    EXPECT_LE(lines.size(), 2u) << row.what << ": rate-limited";
  }
}

}  // namespace
