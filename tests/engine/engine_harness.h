// Helpers for the engine's tests: an engine with its interfaces, codec
// records, loopback ports and sockets, tone signals and their measurement.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "engine/voice_engine.h"

namespace engine_test {

using Bytes = std::vector<std::uint8_t>;
using Pcm = std::span<const std::int16_t>;

// The test tone of the codec and file tests: 1 kHz at -13.3 dBFS.
constexpr double kToneHz = 1000;
constexpr double kToneAmplitude = 10000;

// An engine with every interface taken, initialised unless told not to. At
// the end each interface must give back the last reference and the engine
// must be deleted.
class Engine {
 public:
  explicit Engine(bool init = true);
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
  // Stops the media thread: from now on the test runs the frames (RunFrames).
  void UseManualClock();
};

// Lets `frames` 20 ms periods pass on engines with the manual clock, one
// frame of each in the order given, then the next: what one sends on
// loopback in a frame the later ones read in the same round.
void RunFrames(std::initializer_list<Engine*> engines, int frames);

class TestSocket;
// Runs `engine` frame by frame, at most `maxFrames`, until `socket` has a
// datagram to read; false when none came.
bool RunFramesUntilReadable(Engine& engine, const TestSocket& socket, int maxFrames);

// A record with the name copied in, 20 ms packets and one channel.
EngineCodecRecord Codec(const char* name, int frequency, int rate = 0, int payloadType = 0);

// A port pair (even, odd) that nothing on this machine listens on now.
int FreePortPair();

// A UDP socket of the test bound to 127.0.0.1 (`port` 0: any free port).
class TestSocket {
 public:
  explicit TestSocket(int port = 0);
  ~TestSocket();
  TestSocket(const TestSocket&) = delete;
  TestSocket& operator=(const TestSocket&) = delete;
  bool Bound() const { return bound_; }
  int Port() const;
  int Descriptor() const { return fd_; }
  void SendTo(int port, const Bytes& datagram) const;

 private:
  int fd_;
  bool bound_ = false;
};

// Sine tones as 16-bit samples, and samples as little-endian bytes.
std::vector<std::int16_t> Tone(int sampleRate, double frequency, double amplitude,
                               std::size_t samples);
std::string LittleEndianBytes(Pcm pcm);
std::vector<std::int16_t> Samples(const std::string& bytes);
std::string ToneBytes(double frequency, int milliseconds, int sampleRate, double amplitude);
// What the file at `path` holds (nothing when there is no file).
std::string FileBytes(const std::string& path);
// A WAV file whose every channel carries `mono`.
std::string Wav(int channels, int rate, int bits, Pcm mono, bool extensible = false,
                bool listBeforeData = false, int formatTag = 1);

// `count` samples from `begin`, or as many of them as there are.
Pcm Window(Pcm pcm, std::size_t begin, std::size_t count);
double Rms(Pcm pcm);
// The RMS level relative to a full-scale square wave in dB; -200 for silence.
double LevelDb(Pcm pcm);
// Energy of `frequency` (Goertzel), normalised like a mean square: a sine of
// amplitude A gives A^2 / 2.
double TonePower(Pcm pcm, double frequency, int sampleRate);
// The median TonePower of `windows` windows of `count` samples one after
// another from `begin`, so that a short gap (a late frame) does not count.
double SteadyTonePower(Pcm pcm, std::size_t begin, int windows, std::size_t count, double frequency,
                       int sampleRate);
// The frequency from 100 Hz to Nyquist (25 Hz steps) with the most energy.
double DominantFrequency(Pcm pcm, int sampleRate);
// The first sample from which 10 ms hold `frequency` at `power` or more
// (TonePower's measure), or the size.
std::size_t FirstTone(Pcm pcm, int sampleRate, double frequency, double power);
// The first sample whose 10 ms neighbourhood is louder than `rms`, or the size.
std::size_t FirstLoud(Pcm pcm, int sampleRate, double rms);
// Expects about `seconds` of the test tone, its first and last 100 ms aside.
void ExpectTone(Pcm pcm, int sampleRate, double seconds, double toleranceDb,
                double secondsTolerance = 0.06);

// Expects a 1 kHz tone of `amplitude` in a playout or a peer's recording:
// from 100 ms after it is first heard, 500 ms at its level and frequency.
void ExpectArrivedTone(Pcm pcm, int sampleRate, double amplitude, double toleranceDb);

}  // namespace engine_test
