#include "engine/standin/channel_sender.h"

#include "engine/standin/codec_catalogue.h"
#include "engine/standin/codecs/comfort_noise.h"
#include "engine/standin/media_format.h"
#include "engine/standin/rtp_packet.h"

namespace standin {

ChannelSender::ChannelSender(std::mt19937& random)
    : ssrc_(static_cast<std::uint32_t>(random())),
      sequence_(static_cast<std::uint16_t>(random())),
      timestamp_(static_cast<std::uint32_t>(random())),
      eventClock_(timestamp_) {}

bool ChannelSender::SetCodec(const EngineCodecRecord& codec) {
  std::unique_ptr<AudioEncoder> encoder = CreateEncoder(codec);
  if (!encoder) return false;
  encoder_ = std::move(encoder);
  codec_ = codec;
  const EngineCodecRecord* comfortNoise = CodecCatalogue::Find("CN", codec.frequency);
  comfortNoisePayloadType_ =
      comfortNoise && comfortNoise->frequency == codec.frequency ? comfortNoise->payloadType : -1;
  silent_ = false;
  return true;
}

int ChannelSender::SampleRate() const { return encoder_ ? encoder_->SampleRate() : kNarrowRate; }

void ChannelSender::SetVad(bool enable, int mode) {
  vad_ = enable;
  detector_.SetMode(mode);
  detector_.Reset();
  silent_ = false;
}

void ChannelSender::SetEventClockRate(int rate) {
  if (rate / 50 > 0) eventClockRate_ = rate;  // a frame must be a tick at least
}

bool ChannelSender::QueueEvent(int event, int attenuationDb, int durationMs) {
  if (static_cast<int>(events_.size()) >= kMaxQueuedEvents) return false;
  events_.push_back(QueuedEvent{event, attenuationDb, durationMs});
  return true;
}

bool ChannelSender::StartTone(int event, int attenuationDb, int durationMs) {
  return tone_.Start(event, attenuationDb, durationMs);
}

void ChannelSender::Emit(bool marker, int payloadType, std::uint32_t timestamp,
                         std::vector<std::uint8_t>& datagram) {
  RtpHeader header;
  header.marker = marker;
  header.payloadType = payloadType;
  header.sequence = sequence_++;
  header.timestamp = timestamp;
  header.ssrc = ssrc_;
  WriteRtp(header, payload_.data(), payload_.size(), datagram);
}

bool ChannelSender::NextPacket(std::uint64_t frame, std::int16_t* pcm,
                               std::vector<std::uint8_t>& datagram) {
  if (!encoder_) return false;
  const int samples = encoder_->FrameSamples();
  const std::uint32_t ticks = static_cast<std::uint32_t>(encoder_->RtpTicksPerFrame());
  const std::uint32_t eventTicks = static_cast<std::uint32_t>(eventClockRate_ / 50);
  // Periods that went by without a frame: the sampling clock ran on (RFC
  // 3550 5.1), and what follows starts a new talkspurt. The sums wrap modulo
  // 2^32 as RTP timestamps do.
  const std::uint64_t missed = anyFrame_ && frame > lastFrame_ ? frame - lastFrame_ - 1 : 0;
  if (missed > 0) {
    timestamp_ += static_cast<std::uint32_t>(missed * ticks);
    eventClock_ += static_cast<std::uint32_t>(missed * eventTicks);
    marker_ = true;
  }
  anyFrame_ = true;
  lastFrame_ = frame;
  const std::uint32_t now = timestamp_;
  const std::uint32_t eventNow = eventClock_;
  timestamp_ += ticks;
  eventClock_ += eventTicks;
  tone_.Generate(pcm, samples, encoder_->SampleRate());
  payload_.clear();

  // An event replaces the audio while it lasts; all its packets carry the
  // timestamp of its start and a growing duration, both in the event clock.
  // On the audio's clock an event shares the audio's timestamps.
  if (!eventSender_.Active() && !events_.empty()) {
    const QueuedEvent next = events_.front();
    events_.pop_front();
    eventSender_.Start(next.event, next.attenuationDb,
                       static_cast<int>(std::int64_t{next.durationMs} * eventClockRate_ / 1000),
                       static_cast<int>(eventTicks));
    eventTimestamp_ = eventTicks == ticks ? now : eventNow;
    ++eventsSent_;
  }
  if (eventSender_.Active()) {
    TelephoneEventSender::Packet packet;
    eventSender_.Next(&packet);
    WriteTelephoneEvent(packet.block, payload_);
    Emit(packet.first, eventPayloadType_, eventTimestamp_, datagram);
    marker_ = true;  // audio after the event starts a new talkspurt
    return true;
  }

  if (vad_ && !detector_.IsSpeech(pcm, samples)) {
    const bool due = !silent_ || ++framesSinceSid_ >= kSidIntervalFrames;
    silent_ = true;
    if (!due || comfortNoisePayloadType_ < 0) return false;
    framesSinceSid_ = 0;
    MakeComfortNoisePayload(pcm, static_cast<std::size_t>(samples), payload_);
    Emit(false, comfortNoisePayloadType_, now, datagram);
    return true;
  }
  if (silent_) {
    silent_ = false;
    marker_ = true;
  }
  if (!encoder_->Encode(pcm, payload_) || payload_.empty()) return false;
  Emit(marker_, codec_.payloadType, now, datagram);
  marker_ = false;
  return true;
}

}  // namespace standin
