// An independent RTP peer: GStreamer's gst-launch-1.0 records the G.711
// streams we send, and we record the ones it sends. Skipped where
// gst-launch-1.0 is not installed.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/engine/engine_harness.h"
#include "tests/support/memory_streams.h"

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
};

void PrintTo(const G711& row, std::ostream* out) { *out << row.name; }

class GStreamerPeer : public testing::TestWithParam<G711> {};

// GStreamer depayloads and decodes what we send and finds our tone.
TEST_P(GStreamerPeer, RecordsOurStream) {
  const G711& codec = GetParam();
  const int port = FreePortPair();
  const std::string output = testing::TempDir() + "standin_gst_" + codec.name + ".raw";
  GstLaunch peer("udpsrc address=127.0.0.1 port=" + std::to_string(port) +
                 " caps=application/x-rtp,media=audio,clock-rate=8000,encoding-name=" +
                 codec.name + ",payload=" + std::to_string(codec.payloadType) +
                 " ! rtpjitterbuffer latency=100 ! " + codec.depayloader + " ! " + codec.decoder +
                 " ! audioconvert ! audio/x-raw,format=S16LE,rate=8000,channels=1 ! filesink"
                 " location=" + output);
  if (!peer.Started()) GTEST_SKIP() << "gst-launch-1.0 is not installed";
  std::this_thread::sleep_for(700ms);  // the peer binds its port

  MemoryInStream tone(ToneBytes(1000, 1000, 16000, kAmplitude));
  Engine engine;
  int localPort = 0;
  const int channel = engine.ChannelOnFreePort(&localPort);
  ASSERT_GE(channel, 0);
  const EngineCodecRecord record = Codec(codec.name.c_str(), 8000, 0, codec.payloadType);
  ASSERT_EQ(engine.codec->SetSendCodec(channel, record), 0);
  ASSERT_EQ(engine.base->SetSendDestination(channel, port, "127.0.0.1", -1, -1), 0);
  ASSERT_EQ(engine.file->StartPlayingFileAsMicrophone(channel, &tone, true, 0, 1.0f), 0);
  ASSERT_EQ(engine.base->StartSend(channel), 0);
  std::this_thread::sleep_for(1300ms);
  ASSERT_EQ(engine.base->StopSend(channel), 0);
  EXPECT_TRUE(peer.Finish(5s));

  const std::string bytes = FileBytes(output);
  std::remove(output.c_str());
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

  GstLaunch peer("audiotestsrc is-live=true wave=sine freq=1000 volume=0.25 num-buffers=60 "
                 "samplesperbuffer=160 ! audio/x-raw,rate=8000,channels=1 ! " +
                 codec.encoder + " ! " + codec.payloader + " pt=" +
                 std::to_string(codec.payloadType) +
                 " min-ptime=20000000 max-ptime=20000000 ! udpsink host=127.0.0.1 port=" +
                 std::to_string(port));
  if (!peer.Started()) GTEST_SKIP() << "gst-launch-1.0 is not installed";
  EXPECT_TRUE(peer.Wait(10s)) << "60 buffers of 20 ms and the peer ends";
  std::this_thread::sleep_for(200ms);
  ASSERT_EQ(engine.file->StopRecordingPlayout(), 0);
  ExpectArrivedTone(Samples(recording.written), 16000, kAmplitude, 1.5);
}

INSTANTIATE_TEST_SUITE_P(
    G711, GStreamerPeer,
    testing::Values(G711{"PCMU", 0, "mulawenc", "rtppcmupay", "rtppcmudepay", "mulawdec"},
                    G711{"PCMA", 8, "alawenc", "rtppcmapay", "rtppcmadepay", "alawdec"}),
    [](const testing::TestParamInfo<G711>& info) { return info.param.name; });

}  // namespace
