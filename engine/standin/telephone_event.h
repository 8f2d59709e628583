// Telephone events: the RFC 4733 payload, the pacing of an outgoing event
// into packets, the record of received events, and in-band DTMF tones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace standin {

// One event block of an RFC 4733 payload.
struct TelephoneEventBlock {
  int event = 0;     // 0..255; 0-15 are the DTMF keys 0-9 * # A-D
  bool end = false;  // the E bit
  int volume = 0;    // attenuation below full level, 0..63 dB
  int duration = 0;  // in RTP clock ticks since the event began, 0..65535
};

// Reads the first block of a payload; false when it is shorter than 4 bytes.
[[nodiscard]] bool ParseTelephoneEvent(const std::uint8_t* payload, std::size_t size,
                                       TelephoneEventBlock* block);
void WriteTelephoneEvent(const TelephoneEventBlock& block, std::vector<std::uint8_t>& payload);

// Turns one event into the packets sent every frame: durations growing by a
// frame, the first marked, the last with the E bit sent three times.
class TelephoneEventSender {
 public:
  struct Packet {
    TelephoneEventBlock block;
    bool first = false;
  };

  // `durationTicks` and `ticksPerFrame` in RTP clock ticks, both above 0.
  void Start(int event, int volume, int durationTicks, int ticksPerFrame);
  bool Active() const { return active_; }
  // The next packet to send; false when the event is over.
  bool Next(Packet* packet);

 private:
  bool active_ = false;
  TelephoneEventBlock block_;
  int durationTicks_ = 0;
  int ticksPerFrame_ = 0;
  int sent_ = 0;
  int endsLeft_ = 0;
};

// An event as the receiver saw it.
struct ReceivedTelephoneEvent {
  int event = 0;
  int volume = 0;
  int durationMs = 0;
  bool ended = false;
};

// The events of one incoming stream, newest last, at most kKept of them.
// Packets of one event share its RTP timestamp; repeats update it.
class TelephoneEventReceiver {
 public:
  static constexpr std::size_t kKept = 32;

  void OnPacket(std::uint32_t timestamp, const TelephoneEventBlock& block, int clockRate);
  const std::deque<ReceivedTelephoneEvent>& Events() const { return events_; }
  void Clear();

 private:
  std::deque<ReceivedTelephoneEvent> events_;
  bool any_ = false;
  std::uint32_t lastTimestamp_ = 0;
};

// The two frequencies of DTMF key `event` (0..15); false for other events.
bool DtmfFrequencies(int event, int* low, int* high);

// In-band DTMF: the key's two tones, each `attenuationDb` below half of full
// scale, for the asked duration.
class DtmfToneGenerator {
 public:
  // False (nothing started) for an event that is not a DTMF key.
  bool Start(int event, int attenuationDb, int durationMs);
  bool Active() const { return samplesLeftMs_ > 0; }
  // Replaces `samples` samples at `sampleRate` with the tone (20 ms frames);
  // false, leaving `pcm` alone, when no tone is playing.
  bool Generate(std::int16_t* pcm, int samples, int sampleRate);

 private:
  double low_ = 0, high_ = 0, amplitude_ = 0;
  double phaseLow_ = 0, phaseHigh_ = 0;
  int samplesLeftMs_ = 0;
};

}  // namespace standin
