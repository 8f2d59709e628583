#include "engine/standin/channel_sender.h"

#include <algorithm>
#include <string_view>

#include "engine/standin/codec_catalogue.h"
#include "engine/standin/codecs/amr_payload.h"
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
  std::string_view name;
  if (!CodecCatalogue::NameOf(codec, &name)) return false;
  const CodecDescription* description =
      CodecCatalogue::Describe(CodecCatalogue::Find(name, codec.frequency));
  if (!description || !description->AllowsPacketTicks(codec.packetSize)) return false;
  std::unique_ptr<AudioEncoder> encoder = CreateEncoder(codec);
  if (!encoder) return false;
  encoder_ = std::move(encoder);
  codec_ = codec;
  description_ = description;
  packetTicks_ = static_cast<std::uint32_t>(codec.packetSize);
  DropKept();
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

void ChannelSender::Restart() {
  marker_ = true;
  DropKept();
}

void ChannelSender::Emit(bool marker, int payloadType, std::uint32_t timestamp) {
  RtpHeader header;
  header.marker = marker;
  header.payloadType = payloadType;
  header.sequence = sequence_++;
  header.timestamp = timestamp;
  header.ssrc = ssrc_;
  if (outCount_ == out_.size()) out_.emplace_back();
  WriteRtp(header, payload_.data(), payload_.size(), out_[outCount_++]);
}

void ChannelSender::EmitAudio(std::uint32_t timestamp) {
  Emit(marker_, codec_.payloadType, timestamp);
  marker_ = false;
}

bool ChannelSender::MorePackets(std::vector<std::uint8_t>& datagram) {
  if (outTaken_ >= outCount_) return false;
  datagram.swap(out_[outTaken_++]);
  return true;
}

void ChannelSender::DropKept() {
  kept_.clear();
  keptTicks_ = 0;
}

amr::Band ChannelSender::Band() const {
  return description_->sampleRate == 16000 ? amr::Band::kWide : amr::Band::kNarrow;
}

// Bytes of kept_ that hold its first `ticks` (whole frames).
std::size_t ChannelSender::KeptBytes(std::uint32_t ticks) const {
  const auto frameTicks = static_cast<std::uint32_t>(description_->FrameTicks());
  if (description_->framing != Framing::kAmr)
    return ticks / frameTicks * static_cast<std::size_t>(description_->frameBytes);
  std::size_t at = 0;
  for (std::uint32_t covered = 0; covered < ticks && at < kept_.size(); covered += frameTicks)
    at += static_cast<std::size_t>(amr::StorageFrameSize(Band(), kept_[at]));
  return std::min(at, kept_.size());
}

// Sends the first `bytes` of kept_, `ticks` long, as one packet.
void ChannelSender::SendKept(std::size_t bytes, std::uint32_t ticks) {
  const auto end = kept_.begin() + static_cast<std::ptrdiff_t>(bytes);
  payload_.clear();
  if (description_->framing != Framing::kAmr)
    payload_.assign(kept_.begin(), end);
  else if (!amr::StorageFramesToPayload(Band(), kept_.data(), bytes, payload_))
    payload_.clear();
  if (!payload_.empty()) EmitAudio(keptTimestamp_);
  kept_.erase(kept_.begin(), end);
  keptTimestamp_ += ticks;
  keptTicks_ -= ticks;
}

void ChannelSender::Flush() {
  if (keptTicks_ > 0) SendKept(kept_.size(), keptTicks_);
  DropKept();
}

void ChannelSender::Packetise(std::uint32_t timestamp, std::uint32_t ticks) {
  if (keptTicks_ == 0 && ticks == packetTicks_) {
    payload_.swap(encoded_);  // a packet a frame: the frame as it is
    return EmitAudio(timestamp);
  }
  if (keptTicks_ == 0) keptTimestamp_ = timestamp;
  const std::size_t before = kept_.size();
  int frames = 0;
  const bool whole =
      description_->framing == Framing::kAmr
          ? amr::PayloadToStorageFrames(Band(), encoded_.data(), encoded_.size(), kept_, &frames) &&
                static_cast<std::uint32_t>(frames * description_->FrameTicks()) == ticks
          : encoded_.size() == KeptBytes(ticks);
  if (!whole) {
    // Not frames of the codec's description: sent on its own, as it is.
    kept_.resize(before);
    Flush();
    payload_.swap(encoded_);
    return EmitAudio(timestamp);
  }
  if (description_->framing != Framing::kAmr)
    kept_.insert(kept_.end(), encoded_.begin(), encoded_.end());
  keptTicks_ += ticks;
  while (keptTicks_ >= packetTicks_) SendKept(KeptBytes(packetTicks_), packetTicks_);
}

bool ChannelSender::NextPacket(std::uint64_t frame, std::int16_t* pcm,
                               std::vector<std::uint8_t>& datagram) {
  outCount_ = outTaken_ = 0;
  if (!encoder_) return false;
  const int samples = encoder_->FrameSamples();
  const std::uint32_t ticks = static_cast<std::uint32_t>(encoder_->RtpTicksPerFrame());
  const std::uint32_t eventTicks = static_cast<std::uint32_t>(eventClockRate_ / 50);
  // Periods that went by without a frame: the sampling clock ran on (RFC
  // 3550 5.1), and what follows starts a new talkspurt. The sums wrap modulo
  // 2^32 as RTP timestamps do.
  const std::uint64_t missed = anyFrame_ && frame > lastFrame_ ? frame - lastFrame_ - 1 : 0;
  if (missed > 0) {
    Flush();  // what was kept ends the talkspurt before the pause
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
    Flush();
    TelephoneEventSender::Packet packet;
    eventSender_.Next(&packet);
    payload_.clear();
    WriteTelephoneEvent(packet.block, payload_);
    Emit(packet.first, eventPayloadType_, eventTimestamp_);
    marker_ = true;  // audio after the event starts a new talkspurt
    return MorePackets(datagram);
  }

  if (vad_ && !detector_.IsSpeech(pcm, samples)) {
    Flush();
    const bool due = !silent_ || ++framesSinceSid_ >= kSidIntervalFrames;
    silent_ = true;
    if (due && comfortNoisePayloadType_ >= 0) {
      framesSinceSid_ = 0;
      payload_.clear();
      MakeComfortNoisePayload(pcm, static_cast<std::size_t>(samples), payload_);
      Emit(false, comfortNoisePayloadType_, now);
    }
    return MorePackets(datagram);
  }
  if (silent_) {
    silent_ = false;
    marker_ = true;
  }
  encoded_.clear();
  if (encoder_->Encode(pcm, encoded_) && !encoded_.empty()) Packetise(now, ticks);
  return MorePackets(datagram);
}

}  // namespace standin
