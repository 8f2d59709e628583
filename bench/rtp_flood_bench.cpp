// How much of the peer's RTP a channel still takes in while another source
// on loopback floods its port. The receiving engine listens and plays on
// 127.0.0.1. The peer sends one PCMU packet every 20 ms, either from the
// address and port the channel sends to (symmetric; the system drops the
// flood) or from another port of that address (the engine drops it). The
// stranger sends valid PCMU packets of its own SSRC, in batches, at the rate
// the first argument gives (datagrams per second), bounded in count and
// time: for 5 s, from 300 ms after the peer began until 300 ms before it
// ends. Counters:
//   peer_played_pct  the peer's packets the channel accepted for playout
//                    (over 100 would mean the stranger's were taken too)
//   flood_sent_per_s the datagrams per second the stranger managed to send
//   strangers_pct    the stranger's datagrams counted and dropped as such
//                    (the rest the system dropped before the engine read)
//   engine_cpu_pct   CPU time of the process less the flooding thread's,
//                    against the flood's wall time (the media thread's share)
// Build with -DCMAKE_BUILD_TYPE=Release -DMEDLEY_BUILD_BENCH=ON and run
// rtp_flood_bench. Only 127.0.0.1 is sent to.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "engine/standin/standin_testing.h"
#include "engine/voice_engine.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kFloodTime = 5s;
constexpr auto kLead = 300ms;  // the peer sends this long before the flood and after it
constexpr int kBatch = 64;

double CpuSeconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  return address;
}

// A UDP socket on 127.0.0.1 (`port` 0: any free port); -1 when taken.
int LoopbackSocket(int port) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  const sockaddr_in address = Loopback(port);
  if (fd >= 0 && bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
    return fd;
  if (fd >= 0) close(fd);
  return -1;
}

std::vector<std::uint8_t> Pcmu(std::uint16_t sequence, std::uint32_t ssrc) {
  std::vector<std::uint8_t> packet(12 + 160, 0xFF);  // 0xFF: PCMU silence
  packet[0] = 0x80;
  packet[1] = 0;
  packet[2] = static_cast<std::uint8_t>(sequence >> 8);
  packet[3] = static_cast<std::uint8_t>(sequence);
  const std::uint32_t timestamp = 160u * sequence;
  for (int i = 0; i < 4; ++i) {
    packet[4 + i] = static_cast<std::uint8_t>(timestamp >> (24 - 8 * i));
    packet[8 + i] = static_cast<std::uint8_t>(ssrc >> (24 - 8 * i));
  }
  return packet;
}

// Sends `rate` datagrams a second to `port` until `end`, in batches of
// kBatch paced by the clock; answers how many were sent.
std::uint64_t Flood(int fd, int port, double rate, Clock::time_point end) {
  const std::vector<std::uint8_t> packet = Pcmu(1, 0x0BADF00D);
  sockaddr_in to = Loopback(port);
  iovec vector{const_cast<std::uint8_t*>(packet.data()), packet.size()};
  mmsghdr messages[kBatch]{};
  for (mmsghdr& message : messages) {
    message.msg_hdr.msg_name = &to;
    message.msg_hdr.msg_namelen = sizeof to;
    message.msg_hdr.msg_iov = &vector;
    message.msg_hdr.msg_iovlen = 1;
  }
  const Clock::time_point start = Clock::now();
  const auto limit = static_cast<std::uint64_t>(
      rate * std::chrono::duration<double>(end - start).count() + kBatch);
  std::uint64_t sent = 0;
  while (sent < limit && Clock::now() < end) {
    const auto due = start + std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double>(static_cast<double>(sent) / rate));
    std::this_thread::sleep_until(due);
    const int count = sendmmsg(fd, messages, kBatch, 0);
    sent += count > 0 ? static_cast<std::uint64_t>(count) : kBatch;  // a refused batch counts
  }
  return sent;
}

struct Receiver {
  GIPSVoiceEngine* engine = GIPSVoiceEngine::Create();
  GIPSVEBase* base = GIPSVEBase::GIPSVE_GetInterface(engine);
  int channel = -1;

  Receiver() { base->Init(0, 0, 0, 0, 1); }
  ~Receiver() {
    base->Terminate();
    base->Release();
    GIPSVoiceEngine::Delete(engine);
  }
  bool Start(int port, int peerPort) {
    channel = base->CreateChannel();
    return channel >= 0 && base->SetLocalReceiver(channel, port, -1, "127.0.0.1", nullptr) == 0 &&
           base->SetSendDestination(channel, peerPort, "127.0.0.1", -1, -1) == 0 &&
           base->StartListen(channel) == 0 && base->StartPlayout(channel) == 0;
  }
  standin::ChannelStatistics Statistics() const {
    standin::ChannelStatistics statistics;
    standin::ChannelStatisticsForTesting(engine, channel, &statistics);
    return statistics;
  }
};

void BM_PeerUnderFlood(benchmark::State& state) {
  const double rate = static_cast<double>(state.range(0));
  const bool symmetric = state.range(1) != 0;
  for (auto _ : state) {
    const int peer = LoopbackSocket(0);
    const int stranger = LoopbackSocket(0);
    const int elsewhere = LoopbackSocket(0);  // where an asymmetric peer is sent to
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    getsockname(symmetric ? peer : elsewhere, reinterpret_cast<sockaddr*>(&bound), &length);
    const int destination = ntohs(bound.sin_port);
    Receiver receiver;
    int port = 24000;  // below the ports the system hands out on its own
    while (port < 32000 && !receiver.Start(port, destination)) {
      receiver.base->DeleteChannel(receiver.channel);
      port += 2;
    }
    if (peer < 0 || stranger < 0 || elsewhere < 0 || port >= 32000) {
      for (int fd : {peer, stranger, elsewhere})
        if (fd >= 0) close(fd);
      state.SkipWithError("no sockets or ports");
      return;
    }
    const sockaddr_in to = Loopback(port);
    const Clock::time_point start = Clock::now();
    const Clock::time_point floodStart = start + kLead, floodEnd = floodStart + kFloodTime;
    std::atomic<std::uint64_t> flooded{0};
    std::atomic<double> floodCpu{0}, processCpu{0};
    std::thread flood([&] {
      std::this_thread::sleep_until(floodStart);
      const double before = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
      processCpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
      if (rate > 0) flooded = Flood(stranger, port, rate, floodEnd);
      std::this_thread::sleep_until(floodEnd);
      floodCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - before;
      processCpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processCpu;
    });
    int peerSent = 0;
    for (auto due = start; due < floodEnd + kLead; due += 20ms, ++peerSent) {
      std::this_thread::sleep_until(due);
      const std::vector<std::uint8_t> packet = Pcmu(static_cast<std::uint16_t>(peerSent), 0x5EE5);
      sendto(peer, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to),
             sizeof to);
    }
    flood.join();
    std::this_thread::sleep_for(100ms);  // the last frames are read
    const standin::ChannelStatistics statistics = receiver.Statistics();
    close(peer);
    close(stranger);
    close(elsewhere);

    const double floodSeconds = std::chrono::duration<double>(kFloodTime).count();
    state.counters["peer_played_pct"] =
        100.0 * static_cast<double>(statistics.packetsReceived) / peerSent;
    state.counters["engine_cpu_pct"] = 100.0 * (processCpu - floodCpu) / floodSeconds;
    state.counters["flood_sent_per_s"] = static_cast<double>(flooded.load()) / floodSeconds;
    state.counters["strangers_pct"] =
        flooded ? 100.0 * static_cast<double>(statistics.packetsFromStrangers) /
                      static_cast<double>(flooded.load())
                : 0.0;
  }
}
BENCHMARK(BM_PeerUnderFlood)
    ->ArgNames({"flood_per_s", "symmetric"})
    ->Args({0, 1})
    ->Args({200000, 1})
    ->Args({200000, 0})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
