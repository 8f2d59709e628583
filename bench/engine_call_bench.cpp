// CPU time per call-second of two-way G.711 (PCMU) calls on loopback: the
// stand-in voice engine beside GStreamer doing the same work in a
// gst-launch-1.0 pipeline, for 1, 10 and 100 concurrent calls, everything
// pinned to one core. Each call side generates a 1 kHz tone, encodes,
// packetises and sends it every 20 ms, and receives, de-jitters, decodes and
// plays (into the null device, or a clocked fakesink) what the other side
// sends. Counters:
//   cpu_ms_per_call_s  CPU milliseconds per second of one two-way call
//   lost               packets missing at the receivers (engine only)
//   late_frames        20 ms frames the engine's threads had to skip
//   received_pct       packets received against the frames the window holds
// Build with -DCMAKE_BUILD_TYPE=Release -DMEDLEY_BUILD_BENCH=ON and run
// engine_call_bench (gst-launch-1.0 with the good plug-ins for the reference).
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "engine/standin/standin_testing.h"
#include "engine/voice_engine.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

constexpr auto kWarmUp = 1s;
constexpr auto kWindow = 8s;
constexpr int kCallsPerEnginePair = 16;  // an engine holds at most 32 channels
constexpr int kFirstPort = 24000;        // below the ports the system hands out on its own

void PinToOneCore() {
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(0, &set);
  sched_setaffinity(0, sizeof set, &set);  // threads and children made later inherit it
}

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// An endless 1 kHz tone in the engine's PCM file format (16 kHz, 16-bit).
class ToneStream final : public GIPSVEInStream {
 public:
  int Read(void* buffer, int length) override {
    auto* bytes = static_cast<unsigned char*>(buffer);
    for (int i = 0; i + 1 < length; i += 2, ++sample_) {
      const auto value = static_cast<std::int16_t>(
          8192 * std::sin(2 * std::numbers::pi * 1000.0 * static_cast<double>(sample_ % 16) / 16));
      bytes[i] = static_cast<unsigned char>(value & 0xFF);
      bytes[i + 1] = static_cast<unsigned char>((value >> 8) & 0xFF);
    }
    return length & ~1;
  }
  int Rewind() override { return -1; }

 private:
  long sample_ = 0;
};

struct Side {
  GIPSVoiceEngine* engine = GIPSVoiceEngine::Create();
  GIPSVEBase* base = GIPSVEBase::GIPSVE_GetInterface(engine);
  GIPSVECodec* codec = GIPSVECodec::GetInterface(engine);
  GIPSVEFile* file = GIPSVEFile::GetInterface(engine);
  std::vector<int> channels;
  std::vector<std::unique_ptr<ToneStream>> tones;

  Side() { base->Init(0, 0, 0, 0, 1); }
  ~Side() {
    for (int channel : channels) {
      base->StopSend(channel);
      file->StopPlayingFileAsMicrophone(channel);
    }
    base->Terminate();
    file->Release();
    codec->Release();
    base->Release();
    GIPSVoiceEngine::Delete(engine);
  }
  bool AddChannel(int port, int peerPort) {
    const int channel = base->CreateChannel();
    EngineCodecRecord pcmu{};
    pcmu.payloadType = 0;
    std::strcpy(pcmu.name, "PCMU");
    pcmu.frequency = 8000;
    pcmu.packetSize = 160;
    pcmu.channels = 1;
    pcmu.rate = 64000;
    tones.push_back(std::make_unique<ToneStream>());
    if (channel < 0 || base->SetLocalReceiver(channel, port, -1, "127.0.0.1", nullptr) != 0 ||
        base->SetSendDestination(channel, peerPort, "127.0.0.1", -1, -1) != 0 ||
        codec->SetSendCodec(channel, pcmu) != 0)
      return false;
    channels.push_back(channel);
    return true;
  }
  bool Start() {
    for (std::size_t i = 0; i < channels.size(); ++i) {
      if (base->StartListen(channels[i]) != 0 || base->StartPlayout(channels[i]) != 0 ||
          file->StartPlayingFileAsMicrophone(channels[i], tones[i].get(), true, 0, 1.0f) != 0 ||
          base->StartSend(channels[i]) != 0)
        return false;
    }
    return true;
  }
  void Collect(standin::ChannelStatistics* total, std::uint64_t* late) const {
    for (int channel : channels) {
      standin::ChannelStatistics statistics;
      standin::ChannelStatisticsForTesting(engine, channel, &statistics);
      total->packetsReceived += statistics.packetsReceived;
      total->packetsLost += statistics.packetsLost;
    }
    standin::EngineStatistics engineStatistics;
    standin::EngineStatisticsForTesting(engine, &engineStatistics);
    *late += engineStatistics.framesLate;
  }
};

void BM_StandInEngine(benchmark::State& state) {
  PinToOneCore();
  const int calls = static_cast<int>(state.range(0));
  for (auto _ : state) {
    std::vector<std::unique_ptr<Side>> sides;
    for (int call = 0; call < calls; ++call) {
      if (call % kCallsPerEnginePair == 0) {
        sides.push_back(std::make_unique<Side>());
        sides.push_back(std::make_unique<Side>());
      }
      const int port = kFirstPort + 4 * call;
      if (!sides[sides.size() - 2]->AddChannel(port, port + 2) ||
          !sides.back()->AddChannel(port + 2, port)) {
        state.SkipWithError("a channel could not be set up (ports in use?)");
        return;
      }
    }
    for (auto& side : sides)
      if (!side->Start()) {
        state.SkipWithError("a channel could not be started");
        return;
      }
    std::this_thread::sleep_for(kWarmUp);
    standin::ChannelStatistics before, after;
    std::uint64_t lateBefore = 0, lateAfter = 0;
    for (auto& side : sides) side->Collect(&before, &lateBefore);
    const double cpuBefore = ProcessCpuSeconds();
    std::this_thread::sleep_for(kWindow);
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    for (auto& side : sides) side->Collect(&after, &lateAfter);

    const double callSeconds = calls * std::chrono::duration<double>(kWindow).count();
    const double expected = 2.0 * callSeconds * 50;  // both directions, 50 packets a second
    state.counters["cpu_ms_per_call_s"] = 1000 * cpu / callSeconds;
    state.counters["lost"] = static_cast<double>(after.packetsLost);
    state.counters["late_frames"] = static_cast<double>(lateAfter);
    state.counters["received_pct"] =
        100.0 * static_cast<double>(after.packetsReceived - before.packetsReceived) / expected;
  }
}

std::string FindGstLaunch() {
  for (const char* candidate : {"/usr/bin/gst-launch-1.0", "/usr/local/bin/gst-launch-1.0"})
    if (access(candidate, X_OK) == 0) return candidate;
  return {};
}

// utime + stime of a child in seconds, from /proc.
double ChildCpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::vector<std::string> fields;
  std::size_t position = close + 2;
  while (position < text.size()) {
    const std::size_t space = text.find(' ', position);
    fields.push_back(text.substr(position, space - position));
    if (space == std::string::npos) break;
    position = space + 1;
  }
  // Fields from the state on: utime and stime are the 12th and 13th.
  if (fields.size() < 13) return 0;
  return (std::stod(fields[11]) + std::stod(fields[12])) /
         static_cast<double>(sysconf(_SC_CLK_TCK));
}

// One side of one call: send a tone to `peerPort`, play what arrives at `port`.
void AddGstSide(std::vector<std::string>& words, int port, int peerPort) {
  const std::vector<std::string> side = {
      "audiotestsrc",
      "is-live=true",
      "wave=sine",
      "freq=1000",
      "volume=0.25",
      "samplesperbuffer=160",
      "!",
      "audio/x-raw,format=S16LE,rate=8000,channels=1",
      "!",
      "mulawenc",
      "!",
      "rtppcmupay",
      "min-ptime=20000000",
      "max-ptime=20000000",
      "!",
      "udpsink",
      "host=127.0.0.1",
      "port=" + std::to_string(peerPort),
      "sync=false",
      "async=false",
      "udpsrc",
      "address=127.0.0.1",
      "port=" + std::to_string(port),
      "caps=application/x-rtp,media=audio,clock-rate=8000,encoding-name=PCMU,payload=0",
      "!",
      "rtpjitterbuffer",
      "latency=60",
      "!",
      "rtppcmudepay",
      "!",
      "mulawdec",
      "!",
      "fakesink",
      "sync=true"};
  words.insert(words.end(), side.begin(), side.end());
}

void BM_GStreamer(benchmark::State& state) {
  PinToOneCore();
  const std::string program = FindGstLaunch();
  if (program.empty()) {
    state.SkipWithError("gst-launch-1.0 is not installed");
    return;
  }
  const int calls = static_cast<int>(state.range(0));
  for (auto _ : state) {
    std::vector<std::string> words = {program, "-q"};
    for (int call = 0; call < calls; ++call) {
      const int port = kFirstPort + 4 * call;
      AddGstSide(words, port, port + 2);
      AddGstSide(words, port + 2, port);
    }
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
      state.SkipWithError("gst-launch-1.0 could not be started");
      return;
    }
    std::this_thread::sleep_for(kWarmUp);
    const double cpuBefore = ChildCpuSeconds(pid);
    std::this_thread::sleep_for(kWindow);
    const double cpu = ChildCpuSeconds(pid) - cpuBefore;
    int status = 0;
    const bool running = waitpid(pid, &status, WNOHANG) == 0;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    if (!running) {
      state.SkipWithError("the pipeline ended early");
      return;
    }
    const double callSeconds = calls * std::chrono::duration<double>(kWindow).count();
    state.counters["cpu_ms_per_call_s"] = 1000 * cpu / callSeconds;
  }
}

BENCHMARK(BM_StandInEngine)
    ->ArgName("calls")
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_GStreamer)
    ->ArgName("calls")
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
