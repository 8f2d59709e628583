// The sending half of a channel's RTP session (RFC 3550): the send codec's
// audio in packets of its packet size (the codec record's packetSize, clock
// ticks of 10 to 60 ms as its description allows), with the channel's SSRC,
// sequence numbers and timestamps in the codec's RTP clock ticks. Frames
// come every 20 ms: a 10 ms packet time sends two packets a frame, 30 ms
// keeps what is left of a frame for the next packet. What is kept goes out
// early, as a shorter packet, when the talkspurt ends (silence, a telephone
// event, a pause). The timestamp follows the
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
#include "engine/standin/codecs/amr_payload.h"
#include "engine/standin/codecs/codec_description.h"
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

  // `codec` names a catalogue codec under the caller's payload type, sent
  // in packets of its packetSize; false when this build has no encoder for
  // it or the codec is not sent at that packet size (the previous codec
  // stays).
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
  // Sending (re)starts: the next packet is marked; audio kept from before
  // is dropped.
  void Restart();
  void DropPendingEvents() { events_.clear(); }
  std::uint32_t Ssrc() const { return ssrc_; }

  // Takes one frame of FrameSamples() samples (a tone replaces it in place)
  // and answers the first datagram to send for it; false when nothing is
  // sent for this frame. MorePackets answers the frame's further datagrams
  // in order. `frame` numbers the frame's 20 ms period on the media clock,
  // which runs on while nothing is sent; it grows from call to call.
  bool NextPacket(std::uint64_t frame, std::int16_t* pcm, std::vector<std::uint8_t>& datagram);
  bool MorePackets(std::vector<std::uint8_t>& datagram);
  std::uint64_t EventsSent() const { return eventsSent_; }

 private:
  struct QueuedEvent {
    int event, attenuationDb, durationMs;
  };

  // Queues payload_ as this frame's next datagram.
  void Emit(bool marker, int payloadType, std::uint32_t timestamp);
  void EmitAudio(std::uint32_t timestamp);
  // Keeps the encoded frame in payload_ (starting at `timestamp`, `ticks`
  // long) and sends every whole packet that is ready.
  void Packetise(std::uint32_t timestamp, std::uint32_t ticks);
  // Sends what is kept as one shorter packet.
  void Flush();
  void DropKept();
  std::size_t KeptBytes(std::uint32_t ticks) const;
  void SendKept(std::size_t bytes, std::uint32_t ticks);
  amr::Band Band() const;

  EngineCodecRecord codec_{};
  const CodecDescription* description_ = nullptr;
  std::uint32_t packetTicks_ = 0;
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

  std::vector<std::uint8_t> payload_;  // of the datagram being made
  std::vector<std::uint8_t> encoded_;  // the frame the encoder gave

  // Audio encoded but not yet sent: payload bytes (storage frames for AMR),
  // the ticks they cover and the timestamp of the first.
  std::vector<std::uint8_t> kept_;
  std::uint32_t keptTicks_ = 0;
  std::uint32_t keptTimestamp_ = 0;

  // This frame's datagrams; buffers are reused from frame to frame.
  std::vector<std::vector<std::uint8_t>> out_;
  std::size_t outCount_ = 0;
  std::size_t outTaken_ = 0;
};

}  // namespace standin
