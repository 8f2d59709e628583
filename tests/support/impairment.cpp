#include "tests/support/impairment.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include <spandsp/telephony.h>
#include <spandsp/bit_operations.h>
#include <spandsp/g711.h>

namespace impairment {
namespace {

constexpr double kDuplicateLagMs = 1;
constexpr int kMaxDatagram = 2048;

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

int BoundSocket(int* port) {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) return -1;
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(fd);
    return -1;
  }
  if (port != nullptr) *port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

Model::Model(const Profile& profile) : profile_(profile), random_(profile.seed) {}

bool Model::Lose() {
  if (profile_.goodToBad > 0) {
    bad_ = bad_ ? unit_(random_) >= profile_.badToGood : unit_(random_) < profile_.goodToBad;
    return bad_ && unit_(random_) < profile_.lossInBad;
  }
  return unit_(random_) < profile_.lossRate;
}

Fate Model::Next() {
  ++decided_;
  Fate fate;
  // Every draw happens whatever the outcome, so that one setting changed
  // leaves the fates the others decide as they were.
  const bool lost = Lose();
  double delay = profile_.baseDelayMs;
  const double draw = unit_(random_);
  if (profile_.jitterMeanMs > 0) delay += -profile_.jitterMeanMs * std::log1p(-draw);
  const bool duplicate = unit_(random_) < profile_.duplicateRate;
  if (!profile_.reorder) delay = std::max(delay, lastDelayMs_ - 20.0);
  if (lost) {
    ++lost_;
    return fate;
  }
  // Without reordering the next packet (20 ms later) may not overtake this one.
  lastDelayMs_ = delay;
  fate.delaysMs.push_back(delay);
  if (duplicate) fate.delaysMs.push_back(delay + kDuplicateLagMs);
  return fate;
}

std::vector<Delivery> VirtualDeliveries(const Profile& profile, std::size_t packets,
                                        double periodMs) {
  Model model(profile);
  std::vector<Delivery> deliveries;
  for (std::size_t packet = 0; packet < packets; ++packet) {
    const double sentMs = periodMs * static_cast<double>(packet);
    for (double delay : model.Next().delaysMs) deliveries.push_back({sentMs + delay, packet});
  }
  std::stable_sort(deliveries.begin(), deliveries.end(),
                   [](const Delivery& a, const Delivery& b) { return a.arrivalMs < b.arrivalMs; });
  return deliveries;
}

Relay::Relay(const Profile& profile, int destinationPort)
    : destination_(Loopback(destinationPort)), model_(profile) {
  fd_ = BoundSocket(&port_);
  if (fd_ >= 0) thread_ = std::thread([this] { Run(); });
}

Relay::~Relay() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (fd_ >= 0) close(fd_);
}

std::uint64_t Relay::Dropped() const {
  std::lock_guard lock(mutex_);
  return model_.Lost();
}

void Relay::Run() {
  std::vector<std::uint8_t> buffer(kMaxDatagram);
  while (!stop_) {
    const auto now = Clock::now();
    int waitMs = 5;
    for (auto it = pending_.begin(); it != pending_.end();) {
      if (it->due <= now) {
        sendto(fd_, it->data.data(), it->data.size(), 0,
               reinterpret_cast<const sockaddr*>(&destination_), sizeof destination_);
        ++forwarded_;
        it = pending_.erase(it);
      } else {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(it->due - now);
        waitMs = std::min<int>(waitMs, static_cast<int>(left.count()));
        ++it;
      }
    }
    pollfd poller{fd_, POLLIN, 0};
    if (poll(&poller, 1, std::max(waitMs, 0)) <= 0) continue;
    const ssize_t size = recv(fd_, buffer.data(), buffer.size(), 0);
    if (size <= 0) continue;
    Fate fate;
    {
      std::lock_guard lock(mutex_);
      fate = model_.Next();
    }
    const auto arrived = Clock::now();
    for (double delay : fate.delaysMs) {
      pending_.push_back({arrived + std::chrono::microseconds(std::llround(delay * 1000)),
                          {buffer.begin(), buffer.begin() + size}});
    }
    // Due order: the loop above sends from the front.
    std::stable_sort(pending_.begin(), pending_.end(),
                     [](const Pending& a, const Pending& b) { return a.due < b.due; });
  }
}

double DriftedPeriodSeconds(double ppm) { return 0.02 / (1 + ppm / 1e6); }

std::vector<std::int16_t> ThroughPcmu(const std::vector<std::int16_t>& pcm) {
  std::vector<std::int16_t> out(pcm.size());
  for (std::size_t i = 0; i < pcm.size(); ++i) out[i] = ulaw_to_linear(linear_to_ulaw(pcm[i]));
  return out;
}

std::vector<std::uint8_t> PcmuPacket(const std::vector<std::int16_t>& pcm, std::size_t frame,
                                     std::uint32_t ssrc) {
  constexpr int kSamples = DriftingSender::kFrameSamples;
  std::vector<std::uint8_t> packet(12 + kSamples);
  const auto sequence = static_cast<std::uint16_t>(frame + 1);
  const auto timestamp = static_cast<std::uint32_t>(frame * kSamples + 1000);
  packet[0] = 0x80;
  packet[1] = (frame == 0) ? 0x80 : 0x00;  // marker on the first packet, payload type 0
  packet[2] = static_cast<std::uint8_t>(sequence >> 8);
  packet[3] = static_cast<std::uint8_t>(sequence);
  for (int i = 0; i < 4; ++i) {
    packet[4 + i] = static_cast<std::uint8_t>(timestamp >> (24 - 8 * i));
    packet[8 + i] = static_cast<std::uint8_t>(ssrc >> (24 - 8 * i));
  }
  for (int i = 0; i < kSamples; ++i) {
    packet[12 + static_cast<std::size_t>(i)] =
        linear_to_ulaw(pcm[frame * kSamples + static_cast<std::size_t>(i)]);
  }
  return packet;
}

DriftingSender::DriftingSender(int port, double ppm, std::uint32_t ssrc)
    : destination_(Loopback(port)), ppm_(ppm), ssrc_(ssrc) {
  fd_ = BoundSocket(nullptr);
}

DriftingSender::~DriftingSender() {
  if (fd_ >= 0) close(fd_);
}

double DriftingSender::PeriodSeconds() const { return DriftedPeriodSeconds(ppm_); }

Clock::time_point DriftingSender::SentAt(std::size_t index) const {
  const double seconds = PeriodSeconds() * static_cast<double>(index) / kFrameSamples;
  return start_ + std::chrono::nanoseconds(std::llround(seconds * 1e9));
}

void DriftingSender::Send(const std::vector<std::int16_t>& pcm, Clock::time_point start) {
  start_ = start;
  const std::size_t frames = pcm.size() / kFrameSamples;
  for (std::size_t frame = 0; frame < frames && !stop_; ++frame) {
    std::this_thread::sleep_until(SentAt(frame * kFrameSamples));
    const std::vector<std::uint8_t> packet = PcmuPacket(pcm, frame, ssrc_);
    sendto(fd_, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&destination_),
           sizeof destination_);
  }
}

}  // namespace impairment
