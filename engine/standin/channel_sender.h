// The sending half of a channel's RTP session (RFC 3550): one packet per
// 20 ms frame from the send codec, with the channel's SSRC, sequence numbers
// and timestamps in the codec's RTP clock ticks. It also sends telephone
// events out of band (RFC 4733), plays DTMF tones in band, and suppresses
// silence with comfort noise (RFC 3389) when voice activity detection is on.
// Used by the media thread with the engine lock held.
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
  bool NextPacket(std::int16_t* pcm, std::vector<std::uint8_t>& datagram);
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
  std::uint32_t timestamp_;
  bool marker_ = true;

  bool vad_ = false;
  VoiceActivityDetector detector_;
  bool silent_ = false;
  int framesSinceSid_ = 0;

  int eventPayloadType_ = kDefaultEventPayloadType;
  std::deque<QueuedEvent> events_;
  TelephoneEventSender eventSender_;
  std::uint32_t eventTimestamp_ = 0;
  std::uint64_t eventsSent_ = 0;
  DtmfToneGenerator tone_;

  std::vector<std::uint8_t> payload_;
};

}  // namespace standin
