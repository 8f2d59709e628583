// The engine under hostile input, when ports are taken, and how its media
// thread comes and goes. Engines on loopback run on the test's frame clock
// except where the media thread itself is the point.
#include <dirent.h>
#include <malloc.h>
#include <sys/socket.h>

#include <chrono>
#include <functional>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "engine/standin/error_codes.h"
#include "engine/standin/standin_testing.h"
#include "tests/engine/engine_harness.h"
#include "tests/support/memory_streams.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizer runtimes' count of the bytes allocated now (their malloc
// bypasses the C library's statistics).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

using namespace engine_test;
using namespace std::chrono_literals;

std::size_t AllocatedBytes() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 info = mallinfo2();  // every arena, mapped blocks included
  return info.uordblks + info.hblkhd;
#endif
}

int ThreadCount() {
  int count = 0;
  if (DIR* tasks = opendir("/proc/self/task")) {
    while (const dirent* entry = readdir(tasks))
      if (entry->d_name[0] != '.') ++count;
    closedir(tasks);
  }
  return count;
}

Bytes Rtp(int firstByte, int payloadType, std::uint16_t sequence, std::uint32_t timestamp,
          std::uint32_t ssrc, std::size_t payloadSize, std::mt19937& random) {
  Bytes packet(12 + payloadSize);
  packet[0] = static_cast<std::uint8_t>(firstByte);
  packet[1] = static_cast<std::uint8_t>(payloadType);
  for (int i = 0; i < 2; ++i) packet[2 + i] = static_cast<std::uint8_t>(sequence >> (8 - 8 * i));
  for (int i = 0; i < 4; ++i) {
    packet[4 + i] = static_cast<std::uint8_t>(timestamp >> (24 - 8 * i));
    packet[8 + i] = static_cast<std::uint8_t>(ssrc >> (24 - 8 * i));
  }
  for (std::size_t i = 12; i < packet.size(); ++i) packet[i] = static_cast<std::uint8_t>(random());
  return packet;
}

constexpr int kDatagramsPerRound = 1200;

// One round of hostile datagrams: random bytes, and RTP that is broken or
// that carries garbage for every decoder under one steady source. The
// receiving engine runs a frame after every 50.
void SendHostileRound(const TestSocket& from, int port, Engine& receiver, std::mt19937& random) {
  constexpr std::uint32_t kSource = 0x5EEDF00D;
  auto any = [&](int limit) { return static_cast<int>(random() % static_cast<unsigned>(limit)); };
  const std::function<Bytes()> kinds[] = {
      [&] {  // random bytes of any length
        Bytes bytes(static_cast<std::size_t>(any(1500)));
        for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
        return bytes;
      },
      [&] { return Rtp(0x80, 0, 1, 2, 3, 0, random); },  // header only
      [&] {
        Bytes b = Rtp(0x80, 0, 1, 2, 3, 0, random);
        b.pop_back();
        return b;
      },                                                         // short
      [&] { return Rtp(0x40, 0, 1, 2, kSource, 160, random); },  // version 1
      [&] { return Rtp(0x8F, 0, 1, 2, kSource, 20, random); },   // 15 CSRCs, too few
      [&] {                                                      // an extension claiming 64K words
        Bytes b = Rtp(0x90, 0, 1, 2, kSource, 4, random);
        b[14] = b[15] = 0xFF;
        return b;
      },
      [&] {
        Bytes b = Rtp(0xA0, 0, 1, 2, kSource, 10, random);
        b.back() = 255;
        return b;
      },
      [&] {
        Bytes b = Rtp(0xA0, 0, 1, 2, kSource, 10, random);
        b.back() = 0;
        return b;
      },
      [&] { return Rtp(0x80, 200, 1, 2, kSource, 40, random); },   // RTCP
      [&] { return Rtp(0x80, 77, 1, 2, kSource, 160, random); },   // unknown type
      [&] { return Rtp(0x80, 0, 1, 2, kSource, 60000, random); },  // huge PCMU
      [&] {  // garbage for a decoder, at random times and numbers
        static constexpr int kTypes[] = {0, 3, 8, 9, 13, 18, 96, 97, 98, 101};
        return Rtp(0x80 | (any(2) << 7), kTypes[any(10)], static_cast<std::uint16_t>(random()),
                   static_cast<std::uint32_t>(random()), kSource,
                   static_cast<std::size_t>(any(700)), random);
      },
  };
  for (int i = 0; i < kDatagramsPerRound; ++i) {
    from.SendTo(port, kinds[static_cast<std::size_t>(i) % std::size(kinds)]());
    if (i % 50 == 49) RunFrames({&receiver}, 1);  // less than the engine reads in a frame
  }
}

// Hostile datagrams at a listening, playing port neither crash the engine
// nor make it keep more memory; a real stream is heard afterwards.
TEST(HostileInput, IsDroppedWithoutGrowingAndTheCallGoesOn) {
  MemoryOutStream recording;  // streams outlive the engines that use them
  MemoryInStream tone(ToneBytes(1000, 600, 16000, 8000));
  Engine receiver, sender;
  receiver.UseManualClock();
  sender.UseManualClock();
  int port = 0, senderPort = 0;
  const int channel = receiver.ChannelOnFreePort(&port);
  const int sending = sender.ChannelOnFreePort(&senderPort);
  ASSERT_GE(channel, 0);
  ASSERT_GE(sending, 0);
  ASSERT_EQ(receiver.base->StartListen(channel), 0);
  ASSERT_EQ(receiver.base->StartPlayout(channel), 0);

  TestSocket attacker;
  std::mt19937 random(1234);
  SendHostileRound(attacker, port, receiver, random);  // decoders and buffers made once
  RunFrames({&receiver}, 5);
  const std::size_t before = AllocatedBytes();
  for (int round = 0; round < 3; ++round) SendHostileRound(attacker, port, receiver, random);
  RunFrames({&receiver}, 5);
  const std::size_t after = AllocatedBytes();
  // 3600 datagrams carry about 1.2 MB; what the buffers happen to hold at
  // either moment varies by some tens of kilobytes.
  EXPECT_LT(after, before + 256 * 1024) << "before " << before << ", after " << after;

  standin::ChannelStatistics statistics;
  ASSERT_TRUE(standin::ChannelStatisticsForTesting(receiver.engine, channel, &statistics));
  EXPECT_GT(statistics.packetsIgnored, 4u * kDatagramsPerRound / 2)
      << "most is not a stream of ours";

  // The hostile source falls silent and a real one takes over.
  ASSERT_EQ(receiver.file->StartRecordingPlayout(&recording, nullptr), 0);
  ASSERT_EQ(sender.base->SetSendDestination(sending, port, "127.0.0.1", -1, -1), 0);
  ASSERT_EQ(sender.file->StartPlayingFileAsMicrophone(sending, &tone, true, 0, 1.0f), 0);
  ASSERT_EQ(sender.base->StartSend(sending), 0);
  RunFrames({&sender, &receiver}, 40);
  ASSERT_EQ(receiver.file->StopRecordingPlayout(), 0);
  ASSERT_EQ(sender.base->StopSend(sending), 0);
  const std::vector<std::int16_t> pcm = Samples(recording.written);
  const std::size_t onset = FirstLoud(pcm, 16000, 1000);
  ASSERT_LT(onset + 16000 / 4, pcm.size()) << "the real stream was not heard";
  EXPECT_NEAR(DominantFrequency(Window(pcm, onset + 16000 / 20, 16000 / 5), 16000), 1000.0, 50.0);
}

// A port someone else holds is "in use", whoever holds it, and the caller
// may take another; an address that is not IPv4 text is refused.
TEST(LocalReceiver, RefusesPortsThatAreTaken) {
  Engine engine, other;
  const int channel = engine.base->CreateChannel();
  const int port = FreePortPair();
  TestSocket holder(port);
  ASSERT_TRUE(holder.Bound());
  int otherPort = 0;
  const int otherChannel = other.ChannelOnFreePort(&otherPort);
  ASSERT_GE(otherChannel, 0);
  const struct {
    const char* what;
    int port, rtcpPort;
    const char* ip;
    int error;
  } rows[] = {
      {"RTP port held by a socket", port, -1, "127.0.0.1", standin::kReceivePortInUse},
      {"RTCP port held by a socket", port - 1, port, "127.0.0.1", standin::kReceivePortInUse},
      {"RTP port of another engine", otherPort, -1, nullptr, standin::kReceivePortInUse},
      {"RTCP port of another engine", otherPort + 1, otherPort + 4, nullptr,
       standin::kReceivePortInUse},
      {"host name", port + 2, -1, "localhost", standin::kInvalidArgument},
      {"free port", port + 2, -1, "127.0.0.1", standin::kNoError},
  };
  for (const auto& row : rows) {
    const int result =
        engine.base->SetLocalReceiver(channel, row.port, row.rtcpPort, row.ip, nullptr);
    EXPECT_EQ(result == 0 ? standin::kNoError : engine.base->LastError(), row.error) << row.what;
  }
  EXPECT_EQ(engine.base->StartListen(channel), 0);
  // After a refusal the channel has no receiver until it gets a new one.
  EXPECT_EQ(engine.base->SetLocalReceiver(channel, port, -1, nullptr, nullptr), -1);
  EXPECT_EQ(engine.base->StartListen(channel), -1);
  EXPECT_EQ(engine.base->LastError(), standin::kReceiverNotSet);
}

// The media thread starts with the first channel or stream that needs it,
// is shared by all of them, and is gone once the engine is deleted.
TEST(MediaThread, StartsWhenNeededAndEndsWithTheEngine) {
  std::thread([] {}).join();  // a sanitizer's helper thread starts with the first thread
  const int before = ThreadCount();
  {
    Engine engine;
    int port = 0;
    const int first = engine.ChannelOnFreePort(&port);
    const int second = engine.ChannelOnFreePort(&port);
    EXPECT_EQ(ThreadCount(), before) << "configured channels need no thread";
    ASSERT_EQ(engine.base->StartListen(first), 0);
    EXPECT_EQ(ThreadCount(), before + 1);
    ASSERT_EQ(engine.base->StartPlayout(second), 0);
    EXPECT_EQ(ThreadCount(), before + 1) << "one thread for every channel";
    ASSERT_EQ(engine.base->DeleteChannel(first), 0);
    ASSERT_EQ(engine.base->DeleteChannel(second), 0);
  }
  EXPECT_EQ(ThreadCount(), before);
  {
    MemoryOutStream recording;
    Engine engine;
    ASSERT_EQ(engine.file->StartRecordingPlayout(&recording, nullptr), 0);
    EXPECT_EQ(ThreadCount(), before + 1) << "a recording alone needs the thread";
    std::this_thread::sleep_for(100ms);
    ASSERT_EQ(engine.file->StopRecordingPlayout(), 0);
    EXPECT_GE(recording.written.size(), 2u * 320 * 3) << "silence is recorded in real time";
  }
  EXPECT_EQ(ThreadCount(), before);
}

// The test's frame clock stops the media thread and runs exactly the frames
// asked for; periods with nothing to do count in the media clock as parked
// ones do, so the audio after a pause is stamped by its length and marked.
TEST(MediaThread, ManualClockRunsTheFramesAskedAndCountsTheParkedOnes) {
  std::thread([] {}).join();
  const int before = ThreadCount();
  Engine side;
  int port = 0;
  const int channel = side.ChannelOnFreePort(&port);
  ASSERT_GE(channel, 0);
  TestSocket listener;
  ASSERT_EQ(side.codec->SetSendCodec(channel, Codec("PCMU", 8000, 0, 0)), 0);
  ASSERT_EQ(side.base->SetSendDestination(channel, listener.Port(), "127.0.0.1", -1, -1), 0);
  EXPECT_FALSE(standin::RunFramesForTesting(nullptr, 1));
  EXPECT_FALSE(standin::RunFramesForTesting(side.engine, 1)) << "the thread keeps the time";
  ASSERT_EQ(side.base->StartSend(channel), 0);
  EXPECT_EQ(ThreadCount(), before + 1);
  side.UseManualClock();
  EXPECT_EQ(ThreadCount(), before) << "the thread is gone";

  struct Packet {
    std::uint32_t timestamp;
    bool marker;
  };
  // The packets queued on the listener, oldest first.
  auto sent = [&] {
    std::vector<Packet> packets;
    std::uint8_t datagram[2048];
    while (recv(listener.Descriptor(), datagram, sizeof datagram, MSG_DONTWAIT) >= 12)
      packets.push_back({static_cast<std::uint32_t>(datagram[4] << 24 | datagram[5] << 16 |
                                                    datagram[6] << 8 | datagram[7]),
                         (datagram[1] & 0x80) != 0});
    return packets;
  };
  auto framesRun = [&] {
    standin::EngineStatistics statistics;
    EXPECT_TRUE(standin::EngineStatisticsForTesting(side.engine, &statistics));
    return statistics.framesRun;
  };
  sent();  // what the thread sent before it stopped
  const std::uint64_t atStart = framesRun();
  RunFrames({&side}, 5);
  std::vector<Packet> packets = sent();
  ASSERT_EQ(packets.size(), 5u);
  for (std::size_t i = 1; i < packets.size(); ++i) {
    EXPECT_EQ(packets[i].timestamp - packets[i - 1].timestamp, 160u);
    EXPECT_FALSE(packets[i].marker);
  }
  for (const int pause : {1, 50}) {
    SCOPED_TRACE(pause);
    const std::uint32_t last = packets.back().timestamp;
    ASSERT_EQ(side.base->StopSend(channel), 0);
    RunFrames({&side}, pause);
    ASSERT_EQ(side.base->StartSend(channel), 0);
    RunFrames({&side}, 1);
    packets = sent();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].timestamp - last, static_cast<std::uint32_t>(pause + 1) * 160);
    EXPECT_TRUE(packets[0].marker);
  }
  EXPECT_EQ(framesRun() - atStart, 7u) << "parked periods run no frame";
  side.base->StopSend(channel);
}

// A party of a call on loopback, on the test's frame clock: it receives on
// `ip` and sends a steady tone as its microphone from that same port
// (symmetric RTP).
struct Talker {
  MemoryInStream tone;  // outlives the engine
  Engine engine;
  int port = 0;
  int channel = engine.base->CreateChannel();

  Talker(double frequency, const char* ip) : tone(ToneBytes(frequency, 4000, 16000, 8000)) {
    engine.UseManualClock();
    for (int attempt = 0; attempt < 20 && port == 0; ++attempt) {
      port = FreePortPair();
      if (engine.base->SetLocalReceiver(channel, port, -1, ip, nullptr) != 0) port = 0;
    }
    EXPECT_NE(port, 0);
  }
  void Talk(int to) {
    EXPECT_EQ(engine.base->SetSendDestination(channel, to, "127.0.0.1", -1, -1), 0);
    EXPECT_EQ(engine.file->StartPlayingFileAsMicrophone(channel, &tone, true, 0, 1.0f), 0);
    EXPECT_EQ(engine.base->StartSend(channel), 0);
  }
  ~Talker() { engine.base->StopSend(channel); }
  std::uint64_t Sent() {
    standin::ChannelStatistics statistics;
    EXPECT_TRUE(standin::ChannelStatisticsForTesting(engine.engine, channel, &statistics));
    return statistics.packetsSent;
  }
};

// The listening, playing side of the call, on the test's frame clock; it
// sends to `destination`.
struct Listener {
  MemoryOutStream recording;
  Engine engine;
  int port = 0;
  int channel = engine.ChannelOnFreePort(&port);

  explicit Listener(int destination) {
    engine.UseManualClock();
    EXPECT_EQ(engine.base->SetSendDestination(channel, destination, "127.0.0.1", -1, -1), 0);
    EXPECT_EQ(engine.base->StartListen(channel), 0);
    EXPECT_EQ(engine.base->StartPlayout(channel), 0);
  }
  standin::ChannelStatistics Statistics() {
    standin::ChannelStatistics statistics;
    EXPECT_TRUE(standin::ChannelStatisticsForTesting(engine.engine, channel, &statistics));
    return statistics;
  }
};

// Only the peer's stream is played: the peer is who sends from where the
// channel sends to, or from that address, and wins over a stranger who sent
// first from another port or address. When the peer falls silent, only a
// stranger that cannot be told from it (same address, another port) may
// take over.
TEST(StrangerRtp, IsNotPlayedWhileThePeersIs) {
  constexpr double kPeerHz = 1000, kStrangerHz = 2500, kFull = 8000.0 * 8000 / 2;
  const struct {
    const char* what;
    bool symmetric;  // the peer sends from where it is sent to
    bool strangerFirst;
    const char* strangerIp;
    bool heardOnceThePeerStops;
  } rows[] = {
      {"stranger first, symmetric peer", true, true, "127.0.0.1", false},
      {"stranger later, symmetric peer", true, false, "127.0.0.1", false},
      {"stranger later, peer sending from another port", false, false, "127.0.0.1", true},
      {"stranger first from another address, peer from another port", false, true, "127.0.0.2",
       false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Talker peer(kPeerHz, "127.0.0.1"), stranger(kStrangerHz, row.strangerIp);
    Listener listener(row.symmetric ? peer.port : FreePortPair());
    auto run = [&](int frames) {
      RunFrames({&peer.engine, &stranger.engine, &listener.engine}, frames);
    };
    // The first 300 ms of playout after `wait` frames.
    auto record = [&](int wait) {
      listener.recording.written.clear();
      run(wait);
      EXPECT_EQ(listener.engine.file->StartRecordingPlayout(&listener.recording, nullptr), 0);
      run(20);
      EXPECT_EQ(listener.engine.file->StopRecordingPlayout(), 0);
      std::vector<std::int16_t> pcm = Samples(listener.recording.written);
      pcm.resize(16000 * 3 / 10);
      return pcm;
    };
    Talker& first = row.strangerFirst ? stranger : peer;
    Talker& second = row.strangerFirst ? peer : stranger;
    first.Talk(listener.port);
    run(15);
    second.Talk(listener.port);
    const std::vector<std::int16_t> both = record(10);
    EXPECT_GT(TonePower(both, kPeerHz, 16000), kFull / 2) << "the peer is heard";
    EXPECT_LT(TonePower(both, kStrangerHz, 16000), kFull / 10000) << "the stranger is not";

    ASSERT_EQ(peer.engine.base->StopSend(peer.channel), 0);
    // A stranger that may take over is waited for (its packets counted as
    // received, beyond the peer's last few); one that may not is given
    // 400 ms to show.
    auto received = [&] { return listener.Statistics().packetsReceived; };
    const std::uint64_t atStop = received();
    for (int wait = 0; row.heardOnceThePeerStops && wait < 100 && received() < atStop + 10; ++wait)
      run(1);
    const std::vector<std::int16_t> strangerOnly = record(row.heardOnceThePeerStops ? 0 : 20);
    EXPECT_EQ(TonePower(strangerOnly, kStrangerHz, 16000) > kFull / 2, row.heardOnceThePeerStops)
        << "the stranger, once the peer stopped";
  }
}

// A flood from another source does not crowd the peer's packets out,
// whether the system drops it (the peer sends from where it is sent to) or
// the engine does (the peer sends from another port).
TEST(StrangerRtp, FloodDoesNotStarveThePeer) {
  constexpr int kPerFrame = 400, kFloodFrames = 75;  // 20000 a second for 1.5 s
  for (const bool symmetric : {true, false}) {
    SCOPED_TRACE(symmetric ? "symmetric peer" : "peer sending from another port");
    Talker peer(1000, "127.0.0.1");
    Listener listener(symmetric ? peer.port : FreePortPair());
    auto run = [&](int frames) { RunFrames({&peer.engine, &listener.engine}, frames); };
    peer.Talk(listener.port);
    run(10);

    TestSocket stranger;
    std::mt19937 random(99);
    const Bytes packet = Rtp(0x80, 0, 7, 160, 0xBADF00D, 160, random);
    for (int frame = 0; frame < kFloodFrames; ++frame) {
      for (int i = 0; i < kPerFrame; ++i) stranger.SendTo(listener.port, packet);
      run(1);
    }
    ASSERT_EQ(peer.engine.base->StopSend(peer.channel), 0);
    const std::uint64_t sent = peer.Sent();
    // What is under way is read within a few frames.
    std::uint64_t received = 0;
    for (int wait = 0; wait < 10 && received < sent; ++wait) {
      run(1);
      received = listener.Statistics().packetsReceived;
    }
    EXPECT_GE(sent, 50u) << "the peer kept sending";
    EXPECT_GE(received, sent * 9 / 10) << received << " of " << sent;
    EXPECT_LE(received, sent) << "nothing of the stranger's is taken";
  }
}

// The receiver listens on the address it is given, on every address only
// when it is given none.
TEST(LocalReceiver, ListensOnTheAddressItIsGiven) {
  Engine engine;
  const int channel = engine.base->CreateChannel();
  const struct {
    const char* ip;
    bool loopbackFree;  // another socket can take the port on 127.0.0.1
  } rows[] = {{"127.0.0.2", true}, {nullptr, false}, {"127.0.0.1", false}};
  for (const auto& row : rows) {
    const int port = FreePortPair();
    ASSERT_EQ(engine.base->SetLocalReceiver(channel, port, -1, row.ip, nullptr), 0);
    EXPECT_EQ(TestSocket(port).Bound(), row.loopbackFree) << (row.ip ? row.ip : "null");
  }
}

}  // namespace
