// The jitter buffer on a clock the test drives: order, duplicates, loss,
// adaptation to jitter and drift, restarts; and a channel's receiver fed
// clean streams at every packet time.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/standin/audio_codec.h"
#include "engine/standin/channel_receiver.h"
#include "engine/standin/codec_catalogue.h"
#include "engine/standin/jitter_buffer.h"
#include "engine/standin/rtp_packet.h"
#include "tests/engine/engine_harness.h"

namespace {

using namespace standin;
using namespace engine_test;

constexpr int kFrame = 160;  // ticks of a 20 ms frame at 8 kHz

// Drives a buffer as a receiver does, frame by frame, and records what is
// played: each packet's number (its two payload bytes), -1 for each gap
// after the first packet.
struct Player {
  void Put(int id, std::uint32_t timestamp, int span = kFrame) {
    const std::uint8_t payload[2] = {static_cast<std::uint8_t>(id >> 8),
                                     static_cast<std::uint8_t>(id)};
    arrivals.push_back(buffer.Put(payload, 2, timestamp, span, 0));
  }
  void Frame() {
    buffer.SetQuiet(quiet);
    JitterPacket packet;
    for (int pull = 0; pull < 16 && buffered < kFrame; ++pull) {
      const JitterBuffer::Result result = buffer.Get(buffered, &packet);
      if (result == JitterBuffer::Result::kIdle) break;
      if (result == JitterBuffer::Result::kPacket) {
        played.push_back(packet.payload.at(0) << 8 | packet.payload.at(1));
        buffered += packet.span - packet.skip;
      } else {
        if (!played.empty()) played.push_back(-1);
        buffered += packet.span;
      }
    }
    buffered = std::max(buffered - kFrame, 0);
    buffer.Tick();
  }
  std::vector<int> Packets() const {
    std::vector<int> ids;
    for (int id : played)
      if (id >= 0) ids.push_back(id);
    return ids;
  }

  JitterBuffer buffer{kFrame};
  bool quiet = false;  // what is played counts as a pause in speech
  int buffered = 0;    // ticks taken and not played yet
  std::vector<int> played;
  std::vector<JitterBuffer::Arrival> arrivals;
};

std::vector<int> Range(int first, int end) {
  std::vector<int> ids;
  for (int id = first; id < end; ++id) ids.push_back(id);
  return ids;
}

TEST(JitterBuffer, PlaysInTimestampOrderOnceEach) {
  const struct {
    const char* what;
    std::vector<int> arrivals;  // packet numbers in the order they arrive
    std::vector<int> played;    // what comes out, -1 for a gap
  } rows[] = {
      {"in order", {0, 1, 2, 3, 4, 5}, {0, 1, 2, 3, 4, 5}},
      {"swapped pairs", {1, 0, 3, 2, 5, 4}, {0, 1, 2, 3, 4, 5}},
      {"duplicates", {0, 0, 1, 2, 2, 3, 4, 5, 5}, {0, 1, 2, 3, 4, 5}},
      // 3 is waited for during one frame, then concealed.
      {"one lost", {0, 1, 2, 4, 5}, {0, 1, 2, -1, -1, 4, 5}},
  };
  for (const auto& row : rows) {
    Player player;
    for (int id : row.arrivals)  // the timestamps wrap on the way
      player.Put(id, 0xFFFFFD00u + kFrame * static_cast<std::uint32_t>(id));
    for (int frame = 0; frame < 20 && player.played.size() < row.played.size(); ++frame)
      player.Frame();
    EXPECT_EQ(player.played, row.played) << row.what;
    player.Put(1, 0xFFFFFD00u + kFrame);
    EXPECT_NE(player.arrivals.back(), JitterBuffer::Arrival::kKept)
        << row.what << ": a packet already played";
  }
}

// A packet overtaken by the next one on the path is waited for a frame
// instead of being concealed at once.
TEST(JitterBuffer, WaitsAFrameForAPacketThatWasOvertaken) {
  Player player;
  for (int id : {0, 1, 2, 4, 5}) player.Put(id, kFrame * static_cast<std::uint32_t>(id));
  for (int frame = 0; frame < 10 && player.played.size() < 4; ++frame) player.Frame();
  player.Put(3, kFrame * 3);
  for (int frame = 0; frame < 5; ++frame) player.Frame();
  EXPECT_EQ(player.Packets(), Range(0, 6));
}

// A sender whose clock runs 2% slow falls a frame behind every 50 frames:
// the buffer makes up for it in the pauses, never with a gap in speech.
TEST(JitterBuffer, FollowsASlowSenderInThePauses) {
  Player player;
  int sent = 0, gapsInSpeech = 0;
  for (int frame = 0; frame < 1000; ++frame) {
    for (; sent * 51 <= frame * 50; ++sent)
      player.Put(sent, kFrame * static_cast<std::uint32_t>(sent));
    player.quiet = frame % 25 < 5;  // 100 ms of pause every half second
    const std::size_t before = player.played.size();
    player.Frame();
    for (std::size_t i = before; i < player.played.size(); ++i)
      gapsInSpeech += player.played[i] < 0 && !player.quiet;
  }
  EXPECT_EQ(gapsInSpeech, 0);
  const std::vector<int> packets = player.Packets();
  EXPECT_EQ(packets, Range(0, static_cast<int>(packets.size())));
  EXPECT_GT(packets.size(), 950u);
}

TEST(JitterBuffer, HoldsLittleMemoryWhateverArrives) {
  JitterBuffer buffer(kFrame);
  const Bytes big(kMaxJitterPayload + 1, 1), normal(160, 2);
  EXPECT_EQ(buffer.Put(big.data(), big.size(), 0, kFrame, 0), JitterBuffer::Arrival::kRefused);
  std::mt19937 random(7);
  for (int i = 0; i < 5000; ++i) {
    // Random timestamps, then a flood of packets far ahead of the playout.
    const std::uint32_t timestamp =
        i < 2500 ? static_cast<std::uint32_t>(random()) : static_cast<std::uint32_t>(i) * kFrame;
    buffer.Put(normal.data(), normal.size(), timestamp, kFrame, 0);
  }
  EXPECT_LE(buffer.Held(), JitterBuffer::kCapacity);
}

// Packet n carries timestamp n * 160 and arrives at frame `arrival(n)`
// (each packet of a frame in random order), every tenth once more two
// frames later when `duplicates`; answers the player after `frames` frames.
template <typename Arrival>
Player Stream(int packets, int frames, Arrival arrival, std::vector<int>* backlog = nullptr,
              bool duplicates = false, bool quiet = false) {
  std::map<int, std::vector<int>> schedule;
  for (int id = 0; id < packets; ++id) {
    schedule[arrival(id)].push_back(id);
    if (duplicates && id % 10 == 0) schedule[arrival(id) + 2].push_back(id);
  }
  std::mt19937 random(5);
  Player player;
  player.quiet = quiet;
  for (int frame = 0; frame < frames; ++frame) {
    std::vector<int>& now = schedule[frame];
    std::shuffle(now.begin(), now.end(), random);
    for (int id : now) player.Put(id, kFrame * static_cast<std::uint32_t>(id));
    player.Frame();
    if (backlog) backlog->push_back(player.buffer.Backlog());
  }
  return player;
}

// In speech the delay may stay a few frames above what the jitter needs
// (dropping speech costs more than the delay); in a pause it goes back.
const struct SpeechRow {
  const char* what;
  bool quiet;
  int slackFrames;  // frames the delay may stay above the band
} kSpeechRows[] = {{"speech", false, JitterBuffer::kSpeechSlackFrames}, {"pause", true, 0}};

TEST(JitterBuffer, FollowsJitterUpAndBackDown) {
  for (const SpeechRow& row : kSpeechRows) {
    SCOPED_TRACE(row.what);
    // 30 s with up to 60 ms of jitter, each tenth packet sent twice, then 30 s clean.
    std::mt19937 random(11);
    std::vector<int> delays(1500);
    for (int& delay : delays) delay = static_cast<int>(random() % 4);
    const std::vector<int> warm = Range(250, 3000);
    std::vector<int> backlog;
    const Player player = Stream(
        3000, 3010,
        [&](int id) { return id < 1500 ? id + delays[static_cast<std::size_t>(id)] : id; },
        &backlog, true, row.quiet);
    const std::vector<int> ids = player.Packets();
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()) &&
                std::adjacent_find(ids.begin(), ids.end()) == ids.end())
        << "in order, once each";
    EXPECT_TRUE(std::includes(ids.begin(), ids.end(), warm.begin(), warm.end()))
        << "nothing lost once the jitter was seen";
    int late = 0;
    for (std::size_t i = 250; i < player.arrivals.size(); ++i)
      late += player.arrivals[i] == JitterBuffer::Arrival::kLate;
    EXPECT_EQ(late, 0) << "once it has seen the jitter, the delay covers it";
    EXPECT_LE(*std::max_element(backlog.begin() + 2000, backlog.end()),
              (2 + row.slackFrames) * kFrame)
        << "the delay shrinks back when the jitter has gone";
  }
}

TEST(JitterBuffer, StaysBoundedWhenTheClocksDrift) {
  const struct {
    const char* what;
    double senderRate;  // the sender's clock against ours
  } rows[] = {{"sender 1% fast", 1.01}, {"sender 1% slow", 0.99}, {"same clock", 1.0}};
  for (const auto& row : rows) {
    for (const SpeechRow& speech : kSpeechRows) {
      SCOPED_TRACE(speech.what);
      std::vector<int> backlog;
      const Player player = Stream(
          3000, 3100, [&](int id) { return static_cast<int>(id / row.senderRate); }, &backlog,
          false, speech.quiet);
      EXPECT_EQ(player.Packets(), Range(0, 3000)) << row.what;
      EXPECT_LE(*std::max_element(backlog.begin() + 100, backlog.begin() + 2900),
                (5 + speech.slackFrames) * kFrame)
          << row.what;
    }
  }
}

TEST(JitterBuffer, ResumesPromptlyAfterPausesAndTimestampJumps) {
  const struct {
    const char* what;
    int pauseFrames;
    std::int64_t jump;  // added to the timestamps after the pause
  } rows[] = {
      {"talk spurt after 60 ms", 3, 3 * kFrame},
      {"talk spurt after 1 s", 50, 50 * kFrame},
      {"new timestamps 10 s ahead", 3, 80000},
      {"new timestamps 10 s back", 3, -80000},
      {"new timestamps half the clock away", 3, std::int64_t{1} << 31},
  };
  for (const auto& row : rows) {
    // 30 packets, the pause, 30 more: each played a frame after it came.
    Player player;
    for (int frame = 0; frame < 61 + row.pauseFrames; ++frame) {
      const bool after = frame >= 30 + row.pauseFrames;
      const int id = after ? frame - row.pauseFrames : frame;
      if (frame < 30 || after)
        player.Put(id,
                   static_cast<std::uint32_t>(std::int64_t{kFrame} * id + (after ? row.jump : 0)));
      player.Frame();
    }
    EXPECT_EQ(player.Packets(), Range(0, 60)) << row.what;
  }
}

// A codec's RTP stream of a 440 Hz tone, `packetTicks` per packet.
struct CleanStream {
  const char* what;
  const char* codec;
  int packetTicks;
};

std::vector<Bytes> Packetise(const CleanStream& stream, int seconds) {
  const EngineCodecRecord* entry = CodecCatalogue::Find(stream.codec, 8000);
  std::unique_ptr<AudioEncoder> encoder = CreateEncoder(*entry);
  const std::vector<std::int16_t> tone = Tone(
      encoder->SampleRate(), 440, 8000, static_cast<std::size_t>(encoder->SampleRate()) * seconds);
  Bytes bytes;  // the encoded frames one after another
  for (std::size_t at = 0; at + encoder->FrameSamples() <= tone.size();
       at += encoder->FrameSamples())
    EXPECT_TRUE(encoder->Encode(tone.data() + at, bytes));
  const std::size_t frameBytes = bytes.size() / (tone.size() / encoder->FrameSamples());
  const std::size_t packetBytes = frameBytes * stream.packetTicks / kFrame;
  std::vector<Bytes> payloads;
  for (std::size_t at = 0; at + packetBytes <= bytes.size(); at += packetBytes)
    payloads.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                          bytes.begin() + static_cast<std::ptrdiff_t>(at + packetBytes));
  return payloads;
}

TEST(ChannelReceiverPlayout, CleanStreamsStartWithoutHoles) {
  const CleanStream streams[] = {
      {"PCMU 10 ms", "PCMU", 80},  {"PCMU 20 ms", "PCMU", 160}, {"PCMU 30 ms", "PCMU", 240},
      {"PCMU 60 ms", "PCMU", 480}, {"G722 30 ms", "G722", 240}, {"GSM, two frames", "GSM", 320},
  };
  std::mt19937 random(17);
  for (const CleanStream& stream : streams) {
    const std::vector<Bytes> payloads = Packetise(stream, 1);
    const EngineCodecRecord* entry = CodecCatalogue::Find(stream.codec, 8000);
    for (int start = 0; start < 50; ++start) {
      // The first packet arrives at a random point of our frame, each later
      // one a packet time after it.
      const double phase = std::uniform_real_distribution<double>(0, kFrame)(random);
      const std::uint32_t firstTimestamp = static_cast<std::uint32_t>(random());
      ChannelReceiver receiver;
      ChannelStatistics statistics;
      std::vector<std::int16_t> played;
      int rate = 8000, firstArrival = -1;
      Bytes datagram;
      std::size_t next = 0;
      for (int frame = 0; frame < 70; ++frame) {
        while (next < payloads.size() &&
               phase + stream.packetTicks * static_cast<double>(next) <= frame * kFrame) {
          RtpHeader header;
          header.payloadType = entry->payloadType;
          header.sequence = static_cast<std::uint16_t>(next + 1000);
          header.timestamp = firstTimestamp + static_cast<std::uint32_t>(stream.packetTicks * next);
          header.ssrc = 42;
          WriteRtp(header, payloads[next].data(), payloads[next].size(), datagram);
          receiver.OnDatagram(datagram.data(), datagram.size(), true);
          if (next++ == 0) firstArrival = frame;
          // Whatever was concealed so far filled a hole; the stream's end
          // is concealed too.
          if (next == payloads.size()) receiver.AddStatistics(&statistics);
        }
        std::int16_t out[320];
        rate = receiver.PlayoutFrame(out);
        played.insert(played.end(), out, out + rate / 50);
        receiver.EndFrame();
      }
      const std::size_t frameSamples = static_cast<std::size_t>(rate / 50);
      const std::size_t begin = FirstLoud(played, rate, 1000);
      ASSERT_LT(begin, played.size()) << stream.what;
      EXPECT_LE(begin / frameSamples, static_cast<std::size_t>(firstArrival) + 2)
          << stream.what << ": plays a frame or so after the first packet came";
      // The whole stream but its edges, with no run of silence.
      const std::size_t length = payloads.size() * stream.packetTicks * frameSamples / kFrame;
      int run = 0, longest = 0;
      for (std::size_t i = begin + frameSamples; i < begin + length - 2 * frameSamples; ++i) {
        run = std::abs(played[i]) < 300 ? run + 1 : 0;
        longest = std::max(longest, run);
      }
      EXPECT_LT(longest, rate / 1000) << stream.what << ", start phase " << phase;
      EXPECT_EQ(statistics.framesConcealed, 0u) << stream.what << ", start phase " << phase;
      if (HasFailure()) return;
    }
  }
}

}  // namespace
