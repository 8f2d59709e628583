// The sending half of a channel's RTP session (RFC 3550): one packet per
// 20 ms frame from the send codec, with the channel's SSRC, sequence numbers
// and timestamps in the codec's RTP clock ticks. The timestamp follows the
// engine's media clock, not the packets built: after a pause (sending
// stopped, or frames the media thread skipped) it jumps by the time that
// passed and the next audio packet is marked. It also sends telephone
// events out of band (RFC 4733) in their own payload's clock, plays DTMF
// tones in band, and suppresses silence with comfort noise (RFC 3389) when
// voice activity detection is on. Used by the media thread with the engine
// lock held.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <random>
#include <vector>

#include "engine/engine_codec_record.h"
#include "engine/standin/audio_codec.h"
#include "engine/standin/telephone_event.h"
#include "engine/standin/voice_activity.h"

namespace standin {

class ChannelSender {
 public:
  static constexpr int kDefaultEventPayloadType = 101;
  static constexpr int kMaxQueuedEvents = 16;
  static constexpr int kSidIntervalFrames = 10;  // a SID every 200 ms of silence
  // The telephone-event clock until told otherwise (RFC 4733's default).
  static constexpr int kDefaultEventClockRate = 8000;

  explicit ChannelSender(std::mt19937& random);

  // `codec` names a catalogue codec under the caller's payload type; false
  // when this build has no encoder for it (the previous codec stays).
  [[nodiscard]] bool SetCodec(const EngineCodecRecord& codec);
  bool HasCodec() const { return encoder_ != nullptr; }
  // PCM rate and samples of the frames NextPacket takes.
  int SampleRate() const;
  int FrameSamples() const { return SampleRate() / 50; }

  void SetVad(bool enable, int mode);
  void SetEventPayloadType(int payloadType) { eventPayloadType_ = payloadType; }
  // The RTP clock rate of the telephone-event payload in Hz (above 0); event
  // timestamps and durations count in it. When it differs from the audio
  // clock, events keep a timeline of their own in this clock.
  void SetEventClockRate(int rate);
  // Queues an out-of-band event; false when kMaxQueuedEvents are waiting.
  bool QueueEvent(int event, int attenuationDb, int durationMs);
  // Starts an in-band DTMF tone; false for an event that is not a key.
  bool StartTone(int event, int attenuationDb, int durationMs);
  // Sending (re)starts: the next packet is marked.
  void Restart() { marker_ = true; }
  void DropPendingEvents() { events_.clear(); }
  std::uint32_t Ssrc() const { return ssrc_; }

  // Turns one frame of FrameSamples() samples (a tone replaces it in place)
  // into the datagram to send; false when nothing is sent for this frame.
  // `frame` numbers the frame's 20 ms period on the media clock, which runs
  // on while nothing is sent; it grows from call to call.
  bool NextPacket(std::uint64_t frame, std::int16_t* pcm, std::vector<std::uint8_t>& datagram);
  std::uint64_t EventsSent() const { return eventsSent_; }

 private:
  struct QueuedEvent {
    int event, attenuationDb, durationMs;
  };

  void Emit(bool marker, int payloadType, std::uint32_t timestamp,
            std::vector<std::uint8_t>& datagram);

  EngineCodecRecord codec_{};
  std::unique_ptr<AudioEncoder> encoder_;
  int comfortNoisePayloadType_ = -1;
  std::uint32_t ssrc_;
  std::uint16_t sequence_;
  std::uint32_t timestamp_;  // of the next frame after lastFrame_
  bool marker_ = true;
  bool anyFrame_ = false;
  std::uint64_t lastFrame_ = 0;

  bool vad_ = false;
  VoiceActivityDetector detector_;
  bool silent_ = false;
  int framesSinceSid_ = 0;

  int eventPayloadType_ = kDefaultEventPayloadType;
  int eventClockRate_ = kDefaultEventClockRate;
  std::uint32_t eventClock_;  // the events' own timeline, like timestamp_
  std::deque<QueuedEvent> events_;
  TelephoneEventSender eventSender_;
  std::uint32_t eventTimestamp_ = 0;
  std::uint64_t eventsSent_ = 0;
  DtmfToneGenerator tone_;

  std::vector<std::uint8_t> payload_;
};

}  // namespace standin
