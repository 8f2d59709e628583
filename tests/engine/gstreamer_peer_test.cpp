// An independent RTP peer: GStreamer's gst-launch-1.0 records the G.711
// streams we send, and we record the ones it sends. Skipped where
// gst-launch-1.0 is not installed.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/standin/standin_testing.h"
#include "tests/engine/engine_harness.h"
#include "tests/support/memory_streams.h"
#include "tests/support/temp_folder.h"

extern char** environ;

namespace {

using namespace engine_test;
using namespace std::chrono_literals;

constexpr double kAmplitude = 8192;  // audiotestsrc volume=0.25

// gst-launch-1.0 running `pipeline` (split at spaces), found on the PATH;
// ended (and reaped) at the latest with the object.
class GstLaunch {
 public:
  explicit GstLaunch(const std::string& pipeline) {
    std::istringstream text("gst-launch-1.0 -q -e " + pipeline);
    std::vector<std::string> words{std::istream_iterator<std::string>(text), {}};
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    if (posix_spawnp(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
  }
  ~GstLaunch() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool Started() const { return pid_ > 0; }
  // Waits for the process to end by itself; true when it ended with 0.
  bool Wait(std::chrono::milliseconds timeout) {
    for (auto end = std::chrono::steady_clock::now() + timeout;
         std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(20ms)) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
      }
    }
    return false;
  }
  // Asks for the end of stream (-e turns SIGINT into EOS) and waits.
  bool Finish(std::chrono::milliseconds timeout) {
    kill(pid_, SIGINT);
    return Wait(timeout);
  }

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
};

struct G711 {
  std::string name;
  int payloadType;
  std::string encoder, payloader, depayloader, decoder;
  int packetMs = 20;  // both ways

  std::string Label() const { return name + "_" + std::to_string(packetMs) + "ms"; }
};

void PrintTo(const G711& row, std::ostream* out) { *out << row.Label(); }

class GStreamerPeer : public testing::TestWithParam<G711> {};

// GStreamer depayloads and decodes what we send and finds our tone.
TEST_P(GStreamerPeer, RecordsOurStream) {
  const G711& codec = GetParam();
  const int port = FreePortPair();
  const test_support::TempFolder folder("standin_gst_" + codec.Label());
  ASSERT_FALSE(folder.Path().empty());
  const std::string output = folder.File("received.raw");
  GstLaunch peer("udpsrc address=127.0.0.1 port=" + std::to_string(port) +
                 " caps=application/x-rtp,media=audio,clock-rate=8000,encoding-name=" + codec.name +
                 ",payload=" + std::to_string(codec.payloadType) +
                 " ! rtpjitterbuffer latency=100 ! " + codec.depayloader + " ! " + codec.decoder +
                 " ! audioconvert ! audio/x-raw,format=S16LE,rate=8000,channels=1 ! filesink"
                 " location=" +
                 output);
  if (!peer.Started()) GTEST_SKIP() << "gst-launch-1.0 is not installed";
  std::this_thread::sleep_for(700ms);  // the peer binds its port

  MemoryInStream tone(ToneBytes(1000, 1000, 16000, kAmplitude));
  Engine engine;
  int localPort = 0;
  const int channel = engine.ChannelOnFreePort(&localPort);
  ASSERT_GE(channel, 0);
  EngineCodecRecord record = Codec(codec.name.c_str(), 8000, 0, codec.payloadType);
  record.packetSize = 8 * codec.packetMs;
  ASSERT_EQ(engine.codec->SetSendCodec(channel, record), 0);
  ASSERT_EQ(engine.base->SetSendDestination(channel, port, "127.0.0.1", -1, -1), 0);
  ASSERT_EQ(engine.file->StartPlayingFileAsMicrophone(channel, &tone, true, 0, 1.0f), 0);
  ASSERT_EQ(engine.base->StartSend(channel), 0);
  std::this_thread::sleep_for(1300ms);
  ASSERT_EQ(engine.base->StopSend(channel), 0);
  EXPECT_TRUE(peer.Finish(5s));

  const std::string bytes = FileBytes(output);
  ExpectArrivedTone(Samples(bytes), 8000, kAmplitude, 1.5);
}

// We receive, decode and play what GStreamer sends.
TEST_P(GStreamerPeer, IsRecordedByUs) {
  const G711& codec = GetParam();
  MemoryOutStream recording;
  Engine engine;
  int port = 0;
  const int channel = engine.ChannelOnFreePort(&port);
  ASSERT_GE(channel, 0);
  ASSERT_EQ(engine.base->StartListen(channel), 0);
  ASSERT_EQ(engine.base->StartPlayout(channel), 0);
  ASSERT_EQ(engine.file->StartRecordingPlayout(&recording, nullptr), 0);

  GstLaunch peer(
      "audiotestsrc is-live=true wave=sine freq=1000 volume=0.25 num-buffers=60 "
      "samplesperbuffer=160 ! audio/x-raw,rate=8000,channels=1 ! " +
      codec.encoder + " ! " + codec.payloader + " pt=" + std::to_string(codec.payloadType) +
      " min-ptime=" + std::to_string(codec.packetMs) +
      "000000 max-ptime=" + std::to_string(codec.packetMs) +
      "000000 ! udpsink host=127.0.0.1 port=" + std::to_string(port));
  if (!peer.Started()) GTEST_SKIP() << "gst-launch-1.0 is not installed";
  EXPECT_TRUE(peer.Wait(10s)) << "60 buffers of 20 ms and the peer ends";
  std::this_thread::sleep_for(200ms);
  ASSERT_EQ(engine.file->StopRecordingPlayout(), 0);
  ExpectArrivedTone(Samples(recording.written), 16000, kAmplitude, 1.5);
}

// Stretches of `pcm` (start and end sample) where 10 ms windows are louder
// than `rms`; quieter spells shorter than 40 ms do not split a stretch.
std::vector<std::pair<std::size_t, std::size_t>> LoudStretches(Pcm pcm, int sampleRate,
                                                               double rms) {
  const std::size_t window = static_cast<std::size_t>(sampleRate / 100);
  std::vector<std::pair<std::size_t, std::size_t>> stretches;
  for (std::size_t at = 0; at + window <= pcm.size(); at += window) {
    if (Rms(pcm.subspan(at, window)) <= rms) continue;
    if (!stretches.empty() && at - stretches.back().second < 4 * window)
      stretches.back().second = at + window;
    else
      stretches.emplace_back(at, at + window);
  }
  return stretches;
}

// A peer that plays by RTP timestamp alone (rtpjitterbuffer without
// arrival-time slaving, audiorate filling the timeline) hears sending
// resumed after a pause as one piece of tone, as far from the first as the
// pause lasted; timestamps that ignored the pause would put the resumed
// audio in the past, where a live sink drops it piece by piece.
TEST(GStreamerPeerTimeline, SendingResumedAfterAPauseContinuesByTheClock) {
  const int port = FreePortPair();
  const test_support::TempFolder folder("standin_gst_pause");
  ASSERT_FALSE(folder.Path().empty());
  const std::string output = folder.File("received.raw");
  GstLaunch peer("udpsrc address=127.0.0.1 port=" + std::to_string(port) +
                 " caps=application/x-rtp,media=audio,clock-rate=8000,encoding-name=PCMU,"
                 "payload=0 ! rtpjitterbuffer latency=100 mode=none ! rtppcmudepay ! mulawdec ! "
                 "audiorate ! audioconvert ! audio/x-raw,format=S16LE,rate=8000,channels=1 ! "
                 "filesink location=" +
                 output);
  if (!peer.Started()) GTEST_SKIP() << "gst-launch-1.0 is not installed";
  std::this_thread::sleep_for(700ms);  // the peer binds its port

  MemoryInStream tone(ToneBytes(1000, 4000, 16000, kAmplitude));
  Engine engine;
  int localPort = 0;
  const int channel = engine.ChannelOnFreePort(&localPort);
  ASSERT_GE(channel, 0);
  ASSERT_EQ(engine.codec->SetSendCodec(channel, Codec("PCMU", 8000, 0, 0)), 0);
  ASSERT_EQ(engine.base->SetSendDestination(channel, port, "127.0.0.1", -1, -1), 0);
  ASSERT_EQ(engine.file->StartPlayingFileAsMicrophone(channel, &tone, true, 0, 1.0f), 0);
  ASSERT_EQ(engine.base->StartSend(channel), 0);
  std::this_thread::sleep_for(800ms);
  ASSERT_EQ(engine.base->StopSend(channel), 0);
  const auto stopped = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(1000ms);  // on hold
  ASSERT_EQ(engine.base->StartSend(channel), 0);
  const auto resumed = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(800ms);
  ASSERT_EQ(engine.base->StopSend(channel), 0);
  const auto ended = std::chrono::steady_clock::now();
  EXPECT_TRUE(peer.Finish(5s));

  const std::vector<std::int16_t> pcm = Samples(FileBytes(output));
  const auto stretches = LoudStretches(pcm, 8000, kAmplitude / 4);
  ASSERT_EQ(stretches.size(), 2u) << "the tone before and after the pause, each in one piece";
  const auto seconds = [](std::size_t samples) { return static_cast<double>(samples) / 8000; };
  const auto since = [](auto from, auto to) {
    return std::chrono::duration<double>(to - from).count();
  };
  EXPECT_NEAR(seconds(stretches[1].first - stretches[0].second), since(stopped, resumed), 0.1);
  EXPECT_NEAR(seconds(stretches[1].second - stretches[1].first), since(resumed, ended), 0.1);
}

// Whether GStreamer has every element of `elements` (false without
// GStreamer); gst-inspect-1.0 answers at once, the wait is only a bound.
bool GstHas(std::vector<std::string> elements) {
  elements.insert(elements.begin(), {"gst-inspect-1.0", "--exists"});
  for (std::size_t i = 2; i < elements.size(); ++i) {
    std::vector<char*> argv = {elements[0].data(), elements[1].data(), elements[i].data(), nullptr};
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    bool reaped = false;
    for (int waited = 0; waited < 500 && !reaped; ++waited) {
      reaped = waitpid(pid, &status, WNOHANG) == pid;
      if (!reaped) std::this_thread::sleep_for(10ms);
    }
    if (!reaped) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (!reaped || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
  }
  return true;
}

struct AmrPacker {
  std::string name;
  const char* engineName;
  int frequency;
  int payloadType;  // announced to our receiver
};

void PrintTo(const AmrPacker& row, std::ostream* out) { *out << row.name; }

class GStreamerAmrPacker : public testing::TestWithParam<AmrPacker> {};

// GStreamer's rtpamrpay sends octet-aligned payloads; we tell them by their
// shape and play them. Narrowband frames come from GStreamer's own encoder,
// wideband ones (GStreamer has no encoder) from a file ours wrote.
TEST_P(GStreamerAmrPacker, OctetAlignedPayloadsArePlayed) {
  const AmrPacker& codec = GetParam();
  if (!GstHas({"rtpamrpay", "amrnbenc", "amrparse"}))
    GTEST_SKIP() << "GStreamer's AMR elements are not installed";
  const test_support::TempFolder folder("standin_gst_amr");
  ASSERT_FALSE(folder.Path().empty());
  const std::string file = folder.File("tone.amr");
  MemoryOutStream recording;
  Engine engine;
  std::string source;
  if (codec.frequency == 8000) {
    source =
        "audiotestsrc is-live=true wave=sine freq=1000 volume=0.25 num-buffers=75 "
        "samplesperbuffer=160 ! audio/x-raw,rate=8000,channels=1 ! amrnbenc";
  } else {
    MemoryInStream pcm(ToneBytes(1000, 1500, 16000, kAmplitude));
    MemoryOutStream compressed;
    const EngineCodecRecord record = Codec(codec.engineName, codec.frequency, 23850);
    ASSERT_EQ(engine.file->ConvertPcmToCompressed(&pcm, &compressed, &record), 0);
    FILE* out = std::fopen(file.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(compressed.written.data(), 1, compressed.written.size(), out);
    std::fclose(out);
    source = "filesrc location=" + file + " ! amrparse";
  }
  int port = 0;
  const int channel = engine.ChannelOnFreePort(&port);
  ASSERT_GE(channel, 0);
  ASSERT_EQ(engine.codec->SetRecPayloadType(
                channel, Codec(codec.engineName, codec.frequency, 0, codec.payloadType)),
            0);
  ASSERT_EQ(engine.base->StartListen(channel), 0);
  ASSERT_EQ(engine.base->StartPlayout(channel), 0);
  ASSERT_EQ(engine.file->StartRecordingPlayout(&recording, nullptr), 0);

  GstLaunch peer(source + " ! rtpamrpay pt=" + std::to_string(codec.payloadType) +
                 " ! udpsink host=127.0.0.1 port=" + std::to_string(port));
  const bool started = peer.Started();
  const bool finished = started && peer.Wait(10s);
  if (!started) GTEST_SKIP() << "gst-launch-1.0 is not installed";
  EXPECT_TRUE(finished) << "1.5 s of frames and the peer ends";
  std::this_thread::sleep_for(200ms);
  ASSERT_EQ(engine.file->StopRecordingPlayout(), 0);
  ExpectArrivedTone(Samples(recording.written), 16000, kAmplitude, 3.0);
}

INSTANTIATE_TEST_SUITE_P(Amr, GStreamerAmrPacker,
                         testing::Values(AmrPacker{"AMR", "AMR", 8000, 110},
                                         AmrPacker{"AMRWB", "AMRWB", 16000, 111}),
                         [](const testing::TestParamInfo<AmrPacker>& info) {
                           return info.param.name;
                         });

INSTANTIATE_TEST_SUITE_P(
    G711, GStreamerPeer,
    testing::Values(G711{"PCMU", 0, "mulawenc", "rtppcmupay", "rtppcmudepay", "mulawdec"},
                    G711{"PCMA", 8, "alawenc", "rtppcmapay", "rtppcmadepay", "alawdec"}),
    [](const testing::TestParamInfo<G711>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    G711PacketTimes, GStreamerPeer,
    testing::Values(G711{"PCMU", 0, "mulawenc", "rtppcmupay", "rtppcmudepay", "mulawdec", 30},
                    G711{"PCMA", 8, "alawenc", "rtppcmapay", "rtppcmadepay", "alawdec", 10}),
    [](const testing::TestParamInfo<G711>& info) { return info.param.Label(); });

// GStreamer's rtpbin as the peer of a whole RTP session: it sends us PCMU
// with its SRs, receives our stream and reports on it. We read its SRs and
// its report block about our stream (nothing lost), and it answers our SRs
// so that the round trip is known. Its RTCP leaves from the port after its
// RTP's, as our channel expects of a peer.
TEST(GStreamerRtcpPeer, WeReadItsSenderReportsAndItsReportsAboutUs) {
  Engine engine;
  int localPort = 0;
  const int channel = engine.ChannelOnFreePort(&localPort);
  ASSERT_GE(channel, 0);
  const int peerPort = FreePortPair();  // where it receives RTP and RTCP
  int sourcePort = FreePortPair();      // where it sends them from
  for (int i = 0; i < 20 && sourcePort == peerPort; ++i) sourcePort = FreePortPair();
  ASSERT_NE(sourcePort, peerPort);
  const std::string caps =
      "caps=application/x-rtp,media=audio,clock-rate=8000,encoding-name=PCMU,payload=0";
  GstLaunch peer(
      "rtpbin name=rb audiotestsrc is-live=true wave=sine freq=1000 volume=0.25 "
      "samplesperbuffer=160 ! audio/x-raw,rate=8000,channels=1 ! mulawenc ! rtppcmupay pt=0 "
      "min-ptime=20000000 max-ptime=20000000 ! rb.send_rtp_sink_0 "
      "rb.send_rtp_src_0 ! udpsink host=127.0.0.1 port=" +
      std::to_string(localPort) + " bind-port=" + std::to_string(sourcePort) +
      " rb.send_rtcp_src_0 ! udpsink host=127.0.0.1 port=" + std::to_string(localPort + 1) +
      " bind-port=" + std::to_string(sourcePort + 1) +
      " sync=false async=false "
      "udpsrc address=127.0.0.1 port=" +
      std::to_string(peerPort) + " " + caps +
      " ! rb.recv_rtp_sink_0 udpsrc address=127.0.0.1 port=" + std::to_string(peerPort + 1) +
      " ! rb.recv_rtcp_sink_0 rb. ! rtppcmudepay ! mulawdec ! fakesink");
  if (!peer.Started()) GTEST_SKIP() << "gst-launch-1.0 is not installed";

  ASSERT_TRUE(standin::SetRtcpIntervalForTesting(engine.engine, channel, 25));
  ASSERT_EQ(engine.codec->SetSendCodec(channel, Codec("PCMU", 8000, 0, 0)), 0);
  ASSERT_EQ(engine.base->SetSendDestination(channel, peerPort, "127.0.0.1", -1, -1), 0);
  ASSERT_EQ(engine.base->StartListen(channel), 0);
  ASSERT_EQ(engine.base->StartSend(channel), 0);

  // rtpbin reports every 5 s or so (randomised), its first sooner.
  standin::ChannelStatistics statistics;
  for (auto end = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < end;
       std::this_thread::sleep_for(50ms)) {
    ASSERT_TRUE(standin::ChannelStatisticsForTesting(engine.engine, channel, &statistics));
    if (statistics.senderReportsReceived > 0 && statistics.peerReported &&
        statistics.roundTripMs >= 0)
      break;
  }
  EXPECT_EQ(engine.base->StopSend(channel), 0);
  EXPECT_TRUE(peer.Finish(5s));
  EXPECT_GT(statistics.rtcpSent, 0u);
  EXPECT_EQ(statistics.rtcpMalformed, 0u);
  EXPECT_GT(statistics.senderReportsReceived, 0u) << "its SR";
  ASSERT_TRUE(statistics.peerReported) << "its report block about our stream";
  EXPECT_EQ(statistics.peerFractionLost, 0);
  // Nothing lost; rtpbin, which holds a new source on probation, may count
  // one packet more than it expects (-1).
  EXPECT_LE(statistics.peerCumulativeLost, 0);
  EXPECT_GE(statistics.peerCumulativeLost, -2);
  EXPECT_LT(statistics.peerJitterMs, 40.0);
  EXPECT_GE(statistics.roundTripMs, 0) << "its block answered one of our SRs";
  EXPECT_LT(statistics.roundTripMs, 200);
  EXPECT_GT(statistics.packetsReceived, 0u);
  EXPECT_EQ(statistics.packetsLost, 0u);
  EXPECT_LT(statistics.jitterMs, 40.0);
}

}  // namespace
