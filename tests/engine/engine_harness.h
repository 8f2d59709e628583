// Helpers for tests that run stand-in engines for real: an engine with its
// interfaces, free loopback ports, tone streams and signal analysis.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/voice_engine.h"

namespace engine_test {

// An engine, initialised, with every interface taken; deleted at the end.
class Engine {
 public:
  Engine();
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  GIPSVoiceEngine* engine = nullptr;
  GIPSVEBase* base = nullptr;
  GIPSVECodec* codec = nullptr;
  GIPSVEFile* file = nullptr;
  GIPSVEVolumeControl* volume = nullptr;
  GIPSVEHardware* hardware = nullptr;
  GIPSVENetwork* network = nullptr;
  GIPSVEDTMF* dtmf = nullptr;
  GIPSVEVQE* vqe = nullptr;

  // A new channel receiving on a free even port of 127.0.0.1 (RTCP on the
  // next); -1 when none could be had.
  int ChannelOnFreePort(int* port);
};

// A record with the name copied in and the other fields given.
EngineCodecRecord Codec(int payloadType, const char* name, int frequency, int rate = 0);

// A port pair (even, odd) that nothing on this machine listens on now.
int FreePortPair();

// 16-bit little-endian mono PCM of a sine tone.
std::string ToneBytes(double frequency, int milliseconds, int sampleRate, double amplitude);
std::vector<std::int16_t> Samples(const std::string& bytes);

double Rms(const std::vector<std::int16_t>& pcm, std::size_t begin, std::size_t count);
// Energy of `frequency` in the samples (Goertzel), normalised like a mean square.
double TonePower(const std::vector<std::int16_t>& pcm, std::size_t begin, std::size_t count,
                 double frequency, int sampleRate);
// TonePower in `windows` windows of `count` samples one after another from
// `begin`: the median, so that a short gap (a late frame) does not count.
double SteadyTonePower(const std::vector<std::int16_t>& pcm, std::size_t begin, int windows,
                       std::size_t count, double frequency, int sampleRate);
// The frequency from 100 Hz to Nyquist (25 Hz steps) with the most energy.
double DominantFrequency(const std::vector<std::int16_t>& pcm, std::size_t begin, std::size_t count,
                         int sampleRate);
// The first sample from which 10 ms hold `frequency` at `power` or more
// (TonePower's measure), or the size.
std::size_t FirstTone(const std::vector<std::int16_t>& pcm, int sampleRate, double frequency,
                      double power);
// The first sample whose 10 ms neighbourhood is louder than `rms`, or the size.
std::size_t FirstLoud(const std::vector<std::int16_t>& pcm, int sampleRate, double rms);

// Engine streams that the media thread may call while the test thread looks.
class LockedInStream final : public GIPSVEInStream {
 public:
  explicit LockedInStream(std::string data) : data_(std::move(data)) {}
  int Read(void* buffer, int length) override;
  int Rewind() override { return -1; }

 private:
  std::mutex mutex_;
  std::string data_;
  std::size_t position_ = 0;
};

class LockedOutStream final : public GIPSVEOutStream {
 public:
  bool Write(const void* data, int length) override;
  int Rewind() override { return -1; }
  std::string Taken();

 private:
  std::mutex mutex_;
  std::string written_;
};

}  // namespace engine_test
