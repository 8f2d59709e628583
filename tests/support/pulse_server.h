// A PulseAudio server of a test's own: one null sink (a sound server without
// a card), reached by the code under test through ALSA's pulse plug-in, and
// its monitor recorded with parec. Everything lives in a unique temporary
// folder that the object removes; the server and every recorder it starts
// are stopped and reaped before the calls return or the object dies. Waits
// are bounded. Not thread-safe: one thread drives it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace test_support {

class PulseServer {
 public:
  // Starts the server; Running() tells whether it came up. A machine without
  // pulseaudio (or parec) gives a server that is not running, with Problem()
  // saying why, so that tests can skip.
  PulseServer();
  ~PulseServer();
  PulseServer(const PulseServer&) = delete;
  PulseServer& operator=(const PulseServer&) = delete;

  bool Running() const { return server_ > 0; }
  const std::string& Problem() const { return problem_; }
  // "unix:<folder>/native".
  std::string Address() const;
  // The private folder: an ALSA configuration, the server's home and log.
  const std::string& Folder() const { return folder_; }
  // An ALSA configuration whose "default" PCM and control are this server's
  // null sink, for ALSA_CONFIG_PATH.
  std::string AlsaConfig() const { return folder_ + "/alsa.conf"; }

  // `milliseconds` of the sink's monitor as 16-bit mono samples at `rate`;
  // empty when parec fails or the data does not come within a bound.
  std::vector<std::int16_t> RecordMonitor(int milliseconds, int rate);

  static constexpr const char* kSinkName = "medley_test_sink";

 private:
  bool Start();
  void Stop();
  std::vector<std::string> Environment() const;

  std::string folder_;
  std::string problem_;
  pid_t server_ = -1;
};

// Sets an environment variable for a scope and restores the previous value.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  std::string previous_;
  bool hadPrevious_;
};

// Analysis of recorded samples.
double RmsDb(const std::vector<std::int16_t>& pcm);  // dB below full scale; -200 for silence
// The median RmsDb of consecutive windows of `window` samples, so that a
// short gap (a late frame on a loaded machine) does not count.
double SteadyLevelDb(const std::vector<std::int16_t>& pcm, std::size_t window);
// The frequency from 100 Hz to half the rate (in 10 Hz steps) with the most energy.
double DominantFrequency(const std::vector<std::int16_t>& pcm, int rate);

}  // namespace test_support
