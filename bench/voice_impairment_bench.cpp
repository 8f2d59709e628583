// Voice through a misbehaving network: the stand-in engine's receive side
// beside GStreamer's (udpsrc, rtpjitterbuffer with lost-packet events,
// rtppcmudepay, mulawdec, spanplc concealment, played on a clocked sink),
// fed the same PCMU stream through the same seeded impairment relay.
//
// The sent speech is made by espeak-ng (resampled to 8 kHz by sox), sent in
// 20 ms packets by a sender whose clock may run fast or slow. Each receiver's
// playout is captured with the time every piece was handed over, aligned
// with what was sent by cross-correlation, and measured. Counters:
//   delay_ms    receive-side delay: played-out time minus sent time (median)
//   drift_ms    how far that delay moved from the first to the last quarter
//   seg_snr_db  segmental SNR of active 20 ms frames after alignment
//   down_pct    active frames played more than 10 dB below what was sent
//   damaged_pct active frames with an SNR below 0 dB
// The drift profiles last MEDLEY_DRIFT_SECONDS (default 60; 600 for ten
// minutes of audio). Needs espeak-ng, sox and gst-launch-1.0 with the good
// and bad plug-ins; a missing program skips the runs that need it. After
// the runs a table sets the two receivers side by side, one row a profile,
// and a line gives the sending side's figure on a clean path.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <utility>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "engine/standin/standin_testing.h"
#include "engine/voice_engine.h"
#include "tests/support/impairment.h"
#include "tests/support/memory_streams.h"
#include "tests/support/voice_measures.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using impairment::Clock;

constexpr const char* kText =
    "The north wind and the sun were disputing which was the stronger, when a traveller came "
    "along wrapped in a warm cloak. They agreed that the one who first succeeded in making the "
    "traveller take his cloak off should be considered stronger than the other.";

struct NamedProfile {
  const char* name;
  impairment::Profile profile;
  double ppm;
  bool longRun;  // lasts MEDLEY_DRIFT_SECONDS
};

const NamedProfile kProfiles[] = {
    {"clean", {.seed = 1}, 0, false},
    {"loss3_jitter30", {.lossRate = 0.03, .jitterMeanMs = 30, .seed = 2}, 0, false},
    {"bursty10_jitter60_reorder",
     {.goodToBad = 0.028, .badToGood = 0.25, .jitterMeanMs = 60, .reorder = true, .seed = 3},
     0,
     false},
    {"drift_plus_0.2pct", {.seed = 4}, 2000, true},
    {"drift_minus_0.2pct", {.seed = 5}, -2000, true},
};

// Runs a program to its end (at most `limit`); true when it ended with 0.
bool RunProgram(std::vector<std::string> words, std::chrono::seconds limit) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  for (auto end = Clock::now() + limit; Clock::now() < end; std::this_thread::sleep_for(10ms)) {
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return false;
}

// Speech at 8 kHz from espeak-ng, made once in a private folder.
const std::vector<std::int16_t>& Speech() {
  static const std::vector<std::int16_t> speech = [] {
    std::vector<std::int16_t> pcm;
    char folder[] = "/tmp/voice-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) return pcm;
    const std::string wav = std::string(folder) + "/speech.wav";
    const std::string raw = std::string(folder) + "/speech.raw";
    if (RunProgram({"espeak-ng", "-v", "en", "-s", "160", "-w", wav, kText}, 30s) &&
        RunProgram({"sox", wav, "-r", "8000", "-b", "16", "-c", "1", "-e", "signed-integer", "-t",
                    "raw", raw},
                   30s)) {
      std::ifstream in(raw, std::ios::binary);
      std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
      pcm.resize(bytes.size() / 2);
      std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
    }
    std::filesystem::remove_all(folder);
    return pcm;
  }();
  return speech;
}

std::vector<std::int16_t> SpeechFor(const NamedProfile& profile) {
  std::vector<std::int16_t> pcm = Speech();
  if (!profile.longRun || pcm.empty()) return pcm;
  const char* text = std::getenv("MEDLEY_DRIFT_SECONDS");
  const std::size_t wanted = static_cast<std::size_t>(text ? std::atoi(text) : 60) * 8000;
  while (pcm.size() < wanted) pcm.insert(pcm.end(), Speech().begin(), Speech().end());
  pcm.resize(wanted);
  return pcm;
}

int FreeUdpPort() {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

bool PortTaken(int port) {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool taken = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0;
  close(fd);
  return taken;
}

using SentAt = std::function<Clock::time_point(std::size_t)>;

// The reports of the runs, by profile name and receiver ("ours", "gst").
std::map<std::string, std::map<std::string, measures::Report>> gReports;

void Report(benchmark::State& state, const measures::Report& report, const char* profile,
            const char* receiver) {
  if (!report.aligned) {
    state.SkipWithError("the playout did not match what was sent");
    return;
  }
  gReports[profile][receiver] = report;
  state.counters["delay_ms"] = report.delayMs;
  state.counters["drift_ms"] = report.delayDriftMs;
  state.counters["seg_snr_db"] = report.segmentalSnrDb;
  state.counters["down_pct"] = report.framesDownPct;
  state.counters["damaged_pct"] = report.framesDamagedPct;
}

measures::Report SendAndMeasure(const NamedProfile& profile, int port,
                                const std::vector<std::int16_t>& sent,
                                const std::function<measures::Report(SentAt)>& stop) {
  impairment::Relay relay(profile.profile, port);
  impairment::DriftingSender sender(relay.Port(), profile.ppm);
  sender.Send(sent, Clock::now() + 20ms);
  std::this_thread::sleep_for(800ms);  // what the relay and the buffer still hold
  return stop([&](std::size_t i) { return sender.SentAt(i); });
}

void BM_StandInEngine(benchmark::State& state, const NamedProfile& profile) {
  const std::vector<std::int16_t> sent = SpeechFor(profile);
  if (sent.empty()) return state.SkipWithError("espeak-ng or sox missing");
  for (auto _ : state) {
    GIPSVoiceEngine* engine = GIPSVoiceEngine::Create();
    GIPSVEBase* base = GIPSVEBase::GIPSVE_GetInterface(engine);
    GIPSVEFile* file = GIPSVEFile::GetInterface(engine);
    base->Init(0, 0, 0, 0, 1);
    const int channel = base->CreateChannel();
    const int port = FreeUdpPort();
    measures::TimedCapture capture;
    if (channel >= 0 && base->SetLocalReceiver(channel, port, -1, "127.0.0.1", nullptr) == 0 &&
        base->StartListen(channel) == 0 && base->StartPlayout(channel) == 0 &&
        file->StartRecordingPlayout(&capture, nullptr) == 0) {
      Report(state,
             SendAndMeasure(profile, port, sent,
                            [&](SentAt sentAt) {
                              file->StopRecordingPlayout();
                              return measures::CompareCapture(sent, capture, sentAt);
                            }),
             profile.name, "ours");
      standin::ChannelStatistics statistics;
      standin::ChannelStatisticsForTesting(engine, channel, &statistics);
      state.counters["concealed"] = static_cast<double>(statistics.framesConcealed);
    } else {
      state.SkipWithError("the engine's channel could not be started");
    }
    base->Terminate();
    file->Release();
    base->Release();
    GIPSVoiceEngine::Delete(engine);
  }
}

// gst-launch-1.0 receiving on `port`, its playout read from a pipe with the
// time each piece arrived.
class GstReceiver {
 public:
  explicit GstReceiver(int port) {
    const std::string pipeline =
        "udpsrc address=127.0.0.1 port=" + std::to_string(port) +
        " caps=application/x-rtp,media=audio,clock-rate=8000,encoding-name=PCMU,payload=0"
        " ! rtpjitterbuffer do-lost=true ! rtppcmudepay ! mulawdec ! spanplc ! audiorate"
        " ! audioconvert ! audioresample ! audio/x-raw,format=S16LE,rate=8000,channels=1"
        " ! fdsink fd=1 sync=true";
    std::vector<std::string> words{"gst-launch-1.0", "-q"};
    for (std::size_t at = 0; at < pipeline.size();) {
      std::size_t space = pipeline.find(' ', at);
      if (space == std::string::npos) space = pipeline.size();
      if (space > at) words.push_back(pipeline.substr(at, space - at));
      at = space + 1;
    }
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    int fds[2];
    if (pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    read_ = fds[0];
    if (pid_ > 0) reader_ = std::thread([this] { Read(); });
  }
  ~GstReceiver() { Stop(); }
  // True once udpsrc holds the port (at most 5 s).
  bool WaitReady(int port) {
    for (auto end = Clock::now() + 5s; Clock::now() < end; std::this_thread::sleep_for(20ms)) {
      if (PortTaken(port)) return true;
    }
    return false;
  }
  measures::TimedSignal Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
    if (reader_.joinable()) reader_.join();
    if (read_ >= 0) close(read_);
    read_ = -1;
    return signal_;
  }

 private:
  void Read() {
    std::vector<std::uint8_t> buffer(4096);
    std::size_t odd = 0;  // a byte left from a read that ended mid-sample
    std::uint8_t carry = 0;
    for (;;) {
      const ssize_t got = read(read_, buffer.data() + odd, buffer.size() - odd);
      if (got <= 0) return;
      const auto now = Clock::now();
      if (odd) buffer[0] = carry;
      const std::size_t total = odd + static_cast<std::size_t>(got);
      signal_.marks.emplace_back(signal_.samples.size(), now);
      for (std::size_t i = 0; i + 1 < total; i += 2) {
        signal_.samples.push_back(static_cast<std::int16_t>(buffer[i] | (buffer[i + 1] << 8)));
      }
      odd = total % 2;
      carry = buffer[total - 1];
    }
  }

  pid_t pid_ = -1;
  int read_ = -1;
  std::thread reader_;
  measures::TimedSignal signal_;
};

void BM_GStreamer(benchmark::State& state, const NamedProfile& profile) {
  const std::vector<std::int16_t> sent = SpeechFor(profile);
  if (sent.empty()) return state.SkipWithError("espeak-ng or sox missing");
  if (access("/usr/bin/gst-launch-1.0", X_OK) != 0) {
    return state.SkipWithError("gst-launch-1.0 missing");
  }
  for (auto _ : state) {
    const int port = FreeUdpPort();
    GstReceiver receiver(port);
    if (!receiver.WaitReady(port)) return state.SkipWithError("GStreamer did not start");
    Report(state,
           SendAndMeasure(
               profile, port, sent,
               [&](SentAt sentAt) { return measures::Compare(sent, receiver.Stop(), sentAt); }),
           profile.name, "gst");
  }
}

// The sending side on a clean path: the stand-in engine plays the speech
// (taken to 16 kHz by the measures' transparent filter) as its microphone
// and sends PCMU to GStreamer's receiver, whose playout is set against the
// speech and against G.711's own figure (the speech coded and decoded).
struct SendSide {
  measures::Report ours;
  double codecSnrDb = 0;
  bool measured = false;
} gSendSide;

void BM_StandInSender(benchmark::State& state) {
  const std::vector<std::int16_t>& sent = Speech();
  if (sent.empty()) return state.SkipWithError("espeak-ng or sox missing");
  if (access("/usr/bin/gst-launch-1.0", X_OK) != 0) {
    return state.SkipWithError("gst-launch-1.0 missing");
  }
  const std::vector<std::int16_t> wide = measures::Upsample2(sent);
  for (auto _ : state) {
    const int port = FreeUdpPort();
    GstReceiver receiver(port);
    if (!receiver.WaitReady(port)) return state.SkipWithError("GStreamer did not start");
    GIPSVoiceEngine* engine = GIPSVoiceEngine::Create();
    GIPSVEBase* base = GIPSVEBase::GIPSVE_GetInterface(engine);
    GIPSVECodec* codec = GIPSVECodec::GetInterface(engine);
    GIPSVEFile* file = GIPSVEFile::GetInterface(engine);
    base->Init(0, 0, 0, 0, 1);
    const int channel = base->CreateChannel();
    EngineCodecRecord pcmu{};
    pcmu.payloadType = 0;
    std::strcpy(pcmu.name, "PCMU");
    pcmu.frequency = 8000;
    pcmu.packetSize = 160;
    pcmu.channels = 1;
    pcmu.rate = 64000;
    MemoryInStream microphone(
        std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2));
    const auto started = Clock::now();
    if (channel >= 0 && base->SetSendDestination(channel, port, "127.0.0.1", -1, -1) == 0 &&
        codec->SetSendCodec(channel, pcmu) == 0 && base->StartSend(channel) == 0 &&
        file->StartPlayingFileAsMicrophone(channel, &microphone, false, 0, 1.0f) == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(sent.size() / 8) + 800ms);
      file->StopPlayingFileAsMicrophone(channel);
      gSendSide.ours = measures::Compare(sent, receiver.Stop(), [&](std::size_t i) {
        return started + std::chrono::microseconds(i * 125);
      });
      const std::vector<std::int16_t> coded = impairment::ThroughPcmu(sent);
      gSendSide.codecSnrDb =
          measures::Compare(sent, measures::TimedSignal{coded, {{0, started}}}, [&](std::size_t) {
            return started;
          }).segmentalSnrDb;
      gSendSide.measured = gSendSide.ours.aligned;
      state.counters["seg_snr_db"] = gSendSide.ours.segmentalSnrDb;
      state.counters["codec_seg_snr_db"] = gSendSide.codecSnrDb;
    } else {
      state.SkipWithError("the engine's channel could not be started");
    }
    base->Terminate();
    file->Release();
    codec->Release();
    base->Release();
    GIPSVoiceEngine::Delete(engine);
  }
}

// One row a profile: each figure as ours / GStreamer's ("-" where a run
// is missing).
void PrintTable() {
  if (gReports.empty() && !gSendSide.measured) return;
  const auto pair = [](const std::map<std::string, measures::Report>& runs, auto figure) {
    char text[64];
    const auto one = [&](const char* who, char* out, std::size_t size) {
      const auto found = runs.find(who);
      if (found == runs.end())
        std::snprintf(out, size, "-");
      else
        std::snprintf(out, size, "%.2f", figure(found->second));
    };
    char ours[24], gst[24];
    one("ours", ours, sizeof ours);
    one("gst", gst, sizeof gst);
    std::snprintf(text, sizeof text, "%s / %s", ours, gst);
    return std::string(text);
  };
  std::printf("\nours / GStreamer, per profile:\n");
  std::printf("| %-26s | %-15s | %-15s | %-13s | %-15s | %-15s |\n", "profile", "delay ms",
              "seg. SNR dB", "down %", "damaged %", "delay change ms");
  for (const NamedProfile& profile : kProfiles) {
    const auto found = gReports.find(profile.name);
    if (found == gReports.end()) continue;
    const auto& runs = found->second;
    std::printf("| %-26s | %-15s | %-15s | %-13s | %-15s | %-15s |\n", profile.name,
                pair(runs, [](const measures::Report& r) { return r.delayMs; }).c_str(),
                pair(runs, [](const measures::Report& r) { return r.segmentalSnrDb; }).c_str(),
                pair(runs, [](const measures::Report& r) { return r.framesDownPct; }).c_str(),
                pair(runs, [](const measures::Report& r) { return r.framesDamagedPct; }).c_str(),
                pair(runs, [](const measures::Report& r) { return r.delayDriftMs; }).c_str());
  }
  if (gSendSide.measured) {
    std::printf(
        "\nsending side, clean path, PCMU to GStreamer's receiver: seg. SNR %.2f dB "
        "(G.711 itself: %.2f dB), damaged %.2f %%\n",
        gSendSide.ours.segmentalSnrDb, gSendSide.codecSnrDb, gSendSide.ours.framesDamagedPct);
  }
}

}  // namespace

int main(int argc, char** argv) {
  for (const NamedProfile& profile : kProfiles) {
    using Run = void (*)(benchmark::State&, const NamedProfile&);
    const std::pair<const char*, Run> receivers[] = {{"StandInEngine", BM_StandInEngine},
                                                     {"GStreamer", BM_GStreamer}};
    for (auto [receiver, run] : receivers) {
      benchmark::RegisterBenchmark((std::string(receiver) + "/" + profile.name).c_str(), run,
                                   profile)
          ->Iterations(1)
          ->Unit(benchmark::kSecond);
    }
  }
  benchmark::RegisterBenchmark("StandInSender/clean", BM_StandInSender)
      ->Iterations(1)
      ->Unit(benchmark::kSecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintTable();
}
