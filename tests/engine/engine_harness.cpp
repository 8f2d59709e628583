#include "tests/engine/engine_harness.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

#include <gtest/gtest.h>

#include "engine/standin/error_codes.h"

namespace engine_test {

Engine::Engine() {
  engine = GIPSVoiceEngine::Create();
  base = GIPSVEBase::GIPSVE_GetInterface(engine);
  codec = GIPSVECodec::GetInterface(engine);
  file = GIPSVEFile::GetInterface(engine);
  volume = GIPSVEVolumeControl::GetInterface(engine);
  hardware = GIPSVEHardware::GetInterface(engine);
  network = GIPSVENetwork::GetInterface(engine);
  dtmf = GIPSVEDTMF::GetInterface(engine);
  vqe = GIPSVEVQE::GetInterface(engine);
  EXPECT_TRUE(base && codec && file && volume && hardware && network && dtmf && vqe);
  EXPECT_EQ(base->Init(0, 0, 0, 0, 1), 0);
}

Engine::~Engine() {
  vqe->Release();
  dtmf->Release();
  network->Release();
  hardware->Release();
  volume->Release();
  file->Release();
  codec->Release();
  base->Release();
  EXPECT_TRUE(GIPSVoiceEngine::Delete(engine));
}

int Engine::ChannelOnFreePort(int* port) {
  const int channel = base->CreateChannel();
  for (int attempt = 0; channel >= 0 && attempt < 20; ++attempt) {
    *port = FreePortPair();
    if (base->SetLocalReceiver(channel, *port, -1, "127.0.0.1", nullptr) == 0) return channel;
    EXPECT_EQ(base->LastError(), standin::kReceivePortInUse);
  }
  return -1;
}

EngineCodecRecord Codec(int payloadType, const char* name, int frequency, int rate) {
  EngineCodecRecord record{};
  record.payloadType = payloadType;
  std::strncpy(record.name, name, sizeof record.name - 1);
  record.frequency = frequency;
  record.packetSize = frequency / 50;
  record.channels = 1;
  record.rate = rate;
  return record;
}

int FreePortPair() {
  static std::mt19937 random(std::random_device{}());
  for (;;) {
    // 24000 to 32000: below the ports the system hands out on its own.
    const int port = 2 * std::uniform_int_distribution<int>(12000, 16000)(random);
    bool free = true;
    for (int candidate : {port, port + 1}) {
      int probe = socket(AF_INET, SOCK_DGRAM, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_port = htons(static_cast<std::uint16_t>(candidate));
      free = free && bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
      close(probe);
    }
    if (free) return port;
  }
}

std::string ToneBytes(double frequency, int milliseconds, int sampleRate, double amplitude) {
  std::string bytes;
  const int samples = sampleRate * milliseconds / 1000;
  for (int i = 0; i < samples; ++i) {
    const auto value = static_cast<std::int16_t>(
        std::lround(amplitude * std::sin(2 * std::numbers::pi * frequency * i / sampleRate)));
    bytes.push_back(static_cast<char>(value & 0xFF));
    bytes.push_back(static_cast<char>((value >> 8) & 0xFF));
  }
  return bytes;
}

std::vector<std::int16_t> Samples(const std::string& bytes) {
  std::vector<std::int16_t> samples(bytes.size() / 2);
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                           (static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8));
  return samples;
}

double Rms(const std::vector<std::int16_t>& pcm, std::size_t begin, std::size_t count) {
  const std::size_t end = std::min(pcm.size(), begin + count);
  if (begin >= end) return 0;
  double sum = 0;
  for (std::size_t i = begin; i < end; ++i) sum += static_cast<double>(pcm[i]) * pcm[i];
  return std::sqrt(sum / static_cast<double>(end - begin));
}

double TonePower(const std::vector<std::int16_t>& pcm, std::size_t begin, std::size_t count,
                 double frequency, int sampleRate) {
  const std::size_t end = std::min(pcm.size(), begin + count);
  if (begin >= end) return 0;
  const double coefficient = 2 * std::cos(2 * std::numbers::pi * frequency / sampleRate);
  double previous = 0, beforePrevious = 0;
  for (std::size_t i = begin; i < end; ++i) {
    const double current = pcm[i] + coefficient * previous - beforePrevious;
    beforePrevious = previous;
    previous = current;
  }
  const double power = previous * previous + beforePrevious * beforePrevious -
                       coefficient * previous * beforePrevious;
  const double n = static_cast<double>(end - begin);
  return 2 * power / (n * n);  // a sine of amplitude A gives A^2 / 2
}

double SteadyTonePower(const std::vector<std::int16_t>& pcm, std::size_t begin, int windows,
                       std::size_t count, double frequency, int sampleRate) {
  std::vector<double> powers;
  for (int i = 0; i < windows; ++i)
    powers.push_back(
        TonePower(pcm, begin + static_cast<std::size_t>(i) * count, count, frequency, sampleRate));
  std::sort(powers.begin(), powers.end());
  return powers[powers.size() / 2];
}

double DominantFrequency(const std::vector<std::int16_t>& pcm, std::size_t begin, std::size_t count,
                         int sampleRate) {
  double best = 0, bestPower = -1;
  for (double frequency = 100; frequency < sampleRate / 2.0; frequency += 25) {
    const double power = TonePower(pcm, begin, count, frequency, sampleRate);
    if (power > bestPower) {
      bestPower = power;
      best = frequency;
    }
  }
  return best;
}

std::size_t FirstTone(const std::vector<std::int16_t>& pcm, int sampleRate, double frequency,
                      double power) {
  const std::size_t window = static_cast<std::size_t>(sampleRate / 100);
  for (std::size_t begin = 0; begin + window <= pcm.size(); begin += window / 2)
    if (TonePower(pcm, begin, window, frequency, sampleRate) > power) return begin;
  return pcm.size();
}

std::size_t FirstLoud(const std::vector<std::int16_t>& pcm, int sampleRate, double rms) {
  const std::size_t window = static_cast<std::size_t>(sampleRate / 100);
  for (std::size_t begin = 0; begin + window <= pcm.size(); begin += window / 2)
    if (Rms(pcm, begin, window) > rms) return begin;
  return pcm.size();
}

int LockedInStream::Read(void* buffer, int length) {
  std::lock_guard lock(mutex_);
  const std::size_t count =
      std::min(data_.size() - position_, static_cast<std::size_t>(std::max(length, 0)));
  if (count > 0) std::memcpy(buffer, data_.data() + position_, count);
  position_ += count;
  return static_cast<int>(count);
}

bool LockedOutStream::Write(const void* data, int length) {
  std::lock_guard lock(mutex_);
  if (length > 0) written_.append(static_cast<const char*>(data), static_cast<std::size_t>(length));
  return true;
}

std::string LockedOutStream::Taken() {
  std::lock_guard lock(mutex_);
  return written_;
}

}  // namespace engine_test
