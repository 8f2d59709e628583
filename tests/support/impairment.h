// A network that misbehaves on purpose, for tests and benchmarks of the
// receive path: a seeded model of loss (random or bursty), jitter,
// reordering and duplication, a UDP relay on 127.0.0.1 that applies it, and
// an RTP sender of G.711 whose clock runs fast or slow by a set ppm.
// The same seed gives the same fate to every packet on every run.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace impairment {

using Clock = std::chrono::steady_clock;

struct Profile {
  // Random loss: each packet is lost with this probability (0..1).
  double lossRate = 0;
  // Bursty loss (two-state Gilbert-Elliott), used when goodToBad > 0: the
  // chance per packet to fall from the good into the bad state and to leave
  // it again, and the loss probability inside the bad state.
  double goodToBad = 0;
  double badToGood = 1;
  double lossInBad = 1;
  // Extra one-way delay in milliseconds, exponentially distributed with this
  // mean (0: none), on top of `baseDelayMs`.
  double jitterMeanMs = 0;
  double baseDelayMs = 0;
  // When false, a packet never overtakes an earlier one (delays are raised
  // to keep the order); when true each packet keeps its own delay.
  bool reorder = false;
  // Chance that a delivered packet is delivered a second time, a little later.
  double duplicateRate = 0;
  std::uint32_t seed = 1;
};

// What becomes of one packet: delivered after each of `delaysMs` (none:
// lost; two: duplicated).
struct Fate {
  std::vector<double> delaysMs;
};

// Decides the fate of packets one after another; pure and repeatable.
class Model {
 public:
  explicit Model(const Profile& profile);
  Fate Next();
  // Packets decided, and how many of them were lost.
  std::uint64_t Decided() const { return decided_; }
  std::uint64_t Lost() const { return lost_; }

 private:
  bool Lose();

  Profile profile_;
  std::mt19937 random_;
  std::uniform_real_distribution<double> unit_{0.0, 1.0};
  bool bad_ = false;
  double lastDelayMs_ = 0;
  std::uint64_t decided_ = 0;
  std::uint64_t lost_ = 0;
};

// One delivery of a packet on a virtual clock that starts (0 ms) when the
// first packet leaves: packet `packet` (from 0) arrives at `arrivalMs`.
struct Delivery {
  double arrivalMs;
  std::size_t packet;
};

// What a Relay with `profile` would deliver of `packets` packets sent one
// every `periodMs`: each packet's fate drawn from the Model in send order,
// the deliveries in arrival order (equal times in the order decided). Pure;
// lets a test drive the network on its own clock instead of a thread.
std::vector<Delivery> VirtualDeliveries(const Profile& profile, std::size_t packets,
                                        double periodMs);

// Forwards the UDP datagrams that reach Port() on 127.0.0.1 to
// `destinationPort` on 127.0.0.1 as the model decides. Runs one thread; the
// destructor stops and joins it.
class Relay {
 public:
  Relay(const Profile& profile, int destinationPort);
  ~Relay();
  Relay(const Relay&) = delete;
  Relay& operator=(const Relay&) = delete;

  bool Ready() const { return fd_ >= 0; }
  int Port() const { return port_; }
  std::uint64_t Forwarded() const { return forwarded_; }
  std::uint64_t Dropped() const;

 private:
  struct Pending {
    Clock::time_point due;
    std::vector<std::uint8_t> data;
  };
  void Run();

  int fd_ = -1;
  int port_ = 0;
  sockaddr_in destination_{};
  mutable std::mutex mutex_;
  Model model_;
  std::atomic<std::uint64_t> forwarded_{0};
  std::atomic<bool> stop_{false};
  std::vector<Pending> pending_;  // owned by the thread
  std::thread thread_;
};

// The packet period in our clock's seconds of a sender whose clock runs
// `ppm` parts per million fast (positive) or slow (negative): 20 ms of its own.
double DriftedPeriodSeconds(double ppm);

// RTP packet number `frame` (from 0) of a PCMU stream from `ssrc`: payload
// type 0, the marker on the first, 160 samples of `pcm` from frame * 160
// (the caller sees that they are there). Sequence numbers and timestamps
// as DriftingSender sends them.
// `pcm` coded to G.711 mu-law and back: the codec's own distortion.
std::vector<std::int16_t> ThroughPcmu(const std::vector<std::int16_t>& pcm);
std::vector<std::uint8_t> PcmuPacket(const std::vector<std::int16_t>& pcm, std::size_t frame,
                                     std::uint32_t ssrc);

// Sends 8 kHz PCM as PCMU in 20 ms RTP packets (payload type 0) to
// `port` on 127.0.0.1, on a clock that runs `ppm` parts per million fast
// (positive) or slow (negative) against ours. Send() blocks until the last
// packet went out or Stop() was called from another thread.
class DriftingSender {
 public:
  static constexpr int kFrameSamples = 160;

  DriftingSender(int port, double ppm, std::uint32_t ssrc = 0x5eed0001);
  ~DriftingSender();
  DriftingSender(const DriftingSender&) = delete;
  DriftingSender& operator=(const DriftingSender&) = delete;

  bool Ready() const { return fd_ >= 0; }
  // Sends `pcm` (a partial last frame is left out); `start` is when the
  // first packet leaves (it may lie in the past only by a frame or less).
  void Send(const std::vector<std::int16_t>& pcm, Clock::time_point start);
  void Stop() { stop_ = true; }
  // When the sample at `index` left, on our clock, for the last Send.
  Clock::time_point SentAt(std::size_t index) const;
  // The packet period in our clock's seconds.
  double PeriodSeconds() const;

 private:
  int fd_ = -1;
  sockaddr_in destination_{};
  double ppm_;
  std::uint32_t ssrc_;
  Clock::time_point start_{};
  std::atomic<bool> stop_{false};
};

}  // namespace impairment
