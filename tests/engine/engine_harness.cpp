#include "tests/engine/engine_harness.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>
#include <random>

#include <gtest/gtest.h>

#include "engine/standin/error_codes.h"
#include "engine/standin/standin_testing.h"

namespace engine_test {

Engine::Engine(bool init) {
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
  if (init) {
    EXPECT_EQ(base->Init(0, 0, 0, 0, 1), 0);
  }
}

Engine::~Engine() {
  EXPECT_EQ(vqe->Release(), 0);
  EXPECT_EQ(dtmf->Release(), 0);
  EXPECT_EQ(network->Release(), 0);
  EXPECT_EQ(hardware->Release(), 0);
  EXPECT_EQ(volume->Release(), 0);
  EXPECT_EQ(file->Release(), 0);
  EXPECT_EQ(codec->Release(), 0);
  EXPECT_EQ(base->Release(), 0);
  EXPECT_TRUE(GIPSVoiceEngine::Delete(engine));
  EXPECT_EQ(engine, nullptr);
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

void Engine::UseManualClock() { EXPECT_TRUE(standin::UseManualFrameClockForTesting(engine)); }

void RunFrames(std::initializer_list<Engine*> engines, int frames) {
  for (int frame = 0; frame < frames; ++frame)
    for (Engine* side : engines) ASSERT_TRUE(standin::RunFramesForTesting(side->engine, 1));
}

bool RunFramesUntilReadable(Engine& engine, const TestSocket& socket, int maxFrames) {
  pollfd waiting{socket.Descriptor(), POLLIN, 0};
  for (int frame = 0; frame < maxFrames; ++frame) {
    if (poll(&waiting, 1, 0) == 1) return true;
    RunFrames({&engine}, 1);
  }
  return poll(&waiting, 1, 0) == 1;
}

EngineCodecRecord Codec(const char* name, int frequency, int rate, int payloadType) {
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
    if (TestSocket(port).Bound() && TestSocket(port + 1).Bound()) return port;
  }
}

namespace {
sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  return address;
}
}  // namespace

TestSocket::TestSocket(int port) : fd_(socket(AF_INET, SOCK_DGRAM, 0)) {
  const sockaddr_in address = Loopback(port);
  bound_ = bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

TestSocket::~TestSocket() { close(fd_); }

int TestSocket::Port() const {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

void TestSocket::SendTo(int port, const Bytes& datagram) const {
  const sockaddr_in to = Loopback(port);
  sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to),
         sizeof to);
}

std::vector<std::int16_t> Tone(int sampleRate, double frequency, double amplitude,
                               std::size_t samples) {
  std::vector<std::int16_t> pcm(samples);
  for (std::size_t i = 0; i < samples; ++i)
    pcm[i] = static_cast<std::int16_t>(
        std::lround(amplitude * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) /
                                         sampleRate)));
  return pcm;
}

std::string LittleEndianBytes(Pcm pcm) {
  std::string bytes;
  for (std::int16_t s : pcm) {
    bytes.push_back(static_cast<char>(static_cast<std::uint16_t>(s) & 0xFF));
    bytes.push_back(static_cast<char>(static_cast<std::uint16_t>(s) >> 8));
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

std::string ToneBytes(double frequency, int milliseconds, int sampleRate, double amplitude) {
  return LittleEndianBytes(Tone(sampleRate, frequency, amplitude,
                                static_cast<std::size_t>(sampleRate * milliseconds / 1000)));
}

std::string FileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string Wav(int channels, int rate, int bits, Pcm mono, bool extensible, bool listBeforeData,
                int formatTag) {
  auto put = [](std::string& s, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  std::string data;
  for (std::int16_t s : mono)
    for (int c = 0; c < channels; ++c) {
      if (bits == 8)
        put(data, static_cast<std::uint32_t>((s >> 8) + 128), 1);
      else
        put(data, static_cast<std::uint16_t>(s), 2);
    }
  std::string fmt;
  const int blockAlign = channels * bits / 8;
  put(fmt, extensible ? 0xFFFE : static_cast<std::uint32_t>(formatTag), 2);
  put(fmt, static_cast<std::uint32_t>(channels), 2);
  put(fmt, static_cast<std::uint32_t>(rate), 4);
  put(fmt, static_cast<std::uint32_t>(rate * blockAlign), 4);
  put(fmt, static_cast<std::uint32_t>(blockAlign), 2);
  put(fmt, static_cast<std::uint32_t>(bits), 2);
  if (extensible) {
    put(fmt, 22, 2);
    put(fmt, static_cast<std::uint32_t>(bits), 2);
    put(fmt, channels == 1 ? 4 : 3, 4);
    const std::uint8_t pcmGuid[16] = {1,    0, 0, 0,    0, 0,    0x10, 0,
                                      0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    fmt.append(reinterpret_cast<const char*>(pcmGuid), 16);
  }
  std::string body = "WAVEfmt ";
  put(body, static_cast<std::uint32_t>(fmt.size()), 4);
  body += fmt;
  if (listBeforeData) body += std::string("LIST\x05\0\0\0INFOx\0", 14);  // odd size, padded
  body += "data";
  put(body, static_cast<std::uint32_t>(data.size()), 4);
  std::string file = "RIFF";
  put(file, static_cast<std::uint32_t>(body.size() + data.size()), 4);
  return file + body + data;
}

Pcm Window(Pcm pcm, std::size_t begin, std::size_t count) {
  begin = std::min(begin, pcm.size());
  return pcm.subspan(begin, std::min(count, pcm.size() - begin));
}

double Rms(Pcm pcm) {
  double sum = 0;
  for (std::int16_t s : pcm) sum += static_cast<double>(s) * s;
  return pcm.empty() ? 0 : std::sqrt(sum / static_cast<double>(pcm.size()));
}

double LevelDb(Pcm pcm) {
  const double rms = Rms(pcm);
  return rms == 0 ? -200 : 20 * std::log10(rms / 32767.0);
}

double TonePower(Pcm pcm, double frequency, int sampleRate) {
  if (pcm.empty()) return 0;
  const double coefficient = 2 * std::cos(2 * std::numbers::pi * frequency / sampleRate);
  double previous = 0, beforePrevious = 0;
  for (std::int16_t s : pcm) {
    const double current = s + coefficient * previous - beforePrevious;
    beforePrevious = previous;
    previous = current;
  }
  const double power = previous * previous + beforePrevious * beforePrevious -
                       coefficient * previous * beforePrevious;
  const double n = static_cast<double>(pcm.size());
  return 2 * power / (n * n);
}

double SteadyTonePower(Pcm pcm, std::size_t begin, int windows, std::size_t count, double frequency,
                       int sampleRate) {
  std::vector<double> powers;
  for (int i = 0; i < windows; ++i)
    powers.push_back(TonePower(Window(pcm, begin + static_cast<std::size_t>(i) * count, count),
                               frequency, sampleRate));
  std::sort(powers.begin(), powers.end());
  return powers[powers.size() / 2];
}

double DominantFrequency(Pcm pcm, int sampleRate) {
  double best = 0, bestPower = -1;
  for (double frequency = 100; frequency < sampleRate / 2.0; frequency += 25) {
    const double power = TonePower(pcm, frequency, sampleRate);
    if (power > bestPower) {
      bestPower = power;
      best = frequency;
    }
  }
  return best;
}

std::size_t FirstTone(Pcm pcm, int sampleRate, double frequency, double power) {
  const std::size_t window = static_cast<std::size_t>(sampleRate / 100);
  for (std::size_t begin = 0; begin + window <= pcm.size(); begin += window / 2)
    if (TonePower(pcm.subspan(begin, window), frequency, sampleRate) > power) return begin;
  return pcm.size();
}

std::size_t FirstLoud(Pcm pcm, int sampleRate, double rms) {
  const std::size_t window = static_cast<std::size_t>(sampleRate / 100);
  for (std::size_t begin = 0; begin + window <= pcm.size(); begin += window / 2)
    if (Rms(pcm.subspan(begin, window)) > rms) return begin;
  return pcm.size();
}

void ExpectTone(Pcm pcm, int sampleRate, double seconds, double toleranceDb,
                double secondsTolerance) {
  EXPECT_NEAR(static_cast<double>(pcm.size()) / sampleRate, seconds, secondsTolerance);
  const std::size_t edge = static_cast<std::size_t>(sampleRate / 10);
  ASSERT_GT(pcm.size(), 3 * edge);
  const Pcm middle = pcm.subspan(edge, pcm.size() - 2 * edge);
  EXPECT_NEAR(LevelDb(middle), -13.3, toleranceDb);
  EXPECT_NEAR(DominantFrequency(middle, sampleRate), kToneHz, 25);
}

void ExpectArrivedTone(Pcm pcm, int sampleRate, double amplitude, double toleranceDb) {
  const std::size_t onset = FirstLoud(pcm, sampleRate, amplitude / 8);
  ASSERT_LT(onset, pcm.size()) << "nothing audible arrived";
  const std::size_t begin = onset + static_cast<std::size_t>(sampleRate / 10);
  const std::size_t count = static_cast<std::size_t>(sampleRate / 2);
  ASSERT_LE(begin + count, pcm.size());
  // The level is the median of ten 50 ms windows: a late frame does not count.
  const double power = SteadyTonePower(pcm, begin, 10, count / 10, 1000, sampleRate);
  EXPECT_NEAR(10 * std::log10(power / (amplitude * amplitude / 2)), 0.0, toleranceDb);
  EXPECT_NEAR(DominantFrequency(pcm.subspan(begin, count), sampleRate), 1000.0, 50.0);
}

}  // namespace engine_test
