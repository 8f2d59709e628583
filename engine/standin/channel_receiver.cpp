#include "engine/standin/channel_receiver.h"

#include <algorithm>
#include <string_view>

#include "engine/standin/codec_catalogue.h"
#include "engine/standin/rtp_packet.h"

namespace standin {
namespace {

bool Named(const EngineCodecRecord& entry, std::string_view name) {
  return std::string_view(entry.name) == name;  // catalogue entries: exact spelling
}

// RTP clock ticks a payload covers, where its contents tell; otherwise one
// 20 ms frame.
int PayloadSpan(const CodecDescription* description, int frequency, const std::uint8_t* payload,
                std::size_t size) {
  const int span = description ? description->PayloadTicks(payload, size) : 0;
  return span > 0 ? span : frequency / 50;
}

}  // namespace

ChannelReceiver::ChannelReceiver() { Rebuild(); }

void ChannelReceiver::AnnouncePayloadType(int payloadType, const EngineCodecRecord* entry) {
  announced_.insert_or_assign(payloadType, entry);  // first: if it throws, nothing changed
  for (auto it = announced_.begin(); it != announced_.end();)
    it = it->second == entry && it->first != payloadType ? announced_.erase(it) : std::next(it);
  Rebuild();
}

void ChannelReceiver::SetSendPayloadType(int payloadType, const EngineCodecRecord* entry) {
  sendPayloadType_ = payloadType;
  sendEntry_ = entry;
  Rebuild();
}

void ChannelReceiver::SetEventPayloadType(int payloadType) {
  eventPayloadType_ = payloadType;
  Rebuild();
}

void ChannelReceiver::SetEventClockRate(int rate) {
  if (rate > 0) eventClockRate_ = rate;
}

void ChannelReceiver::Rebuild() {
  table_.fill(nullptr);
  for (int i = 0; i < CodecCatalogue::Count(); ++i) {
    const EngineCodecRecord* entry = CodecCatalogue::At(i);
    const bool renumbered = std::any_of(announced_.begin(), announced_.end(),
                                        [&](const auto& pair) { return pair.second == entry; });
    if (!renumbered) table_[entry->payloadType & 0x7F] = entry;
  }
  if (eventPayloadType_ >= 0) table_[eventPayloadType_ & 0x7F] = eventEntry_;
  if (sendPayloadType_ >= 0 && sendEntry_) table_[sendPayloadType_ & 0x7F] = sendEntry_;
  for (const auto& [payloadType, entry] : announced_) table_[payloadType & 0x7F] = entry;
  for (std::size_t i = 0; i < table_.size(); ++i)
    described_[i] = CodecCatalogue::Describe(table_[i]);
}

const EngineCodecRecord* ChannelReceiver::Lookup(int payloadType) const {
  return table_[payloadType & 0x7F];
}

void ChannelReceiver::AcceptSource(std::uint32_t ssrc) {
  haveSource_ = true;
  ssrc_ = ssrc;
  lostBefore_ += LostSinceBase();
  sequenceStarted_ = false;
  transitClock_ = 0;
  jitter16_ = 0;
  if (jitter_) jitter_->Reset();
  decoders_.clear();
  lastDecoder_ = nullptr;
  comfortNoise_ = false;
}

std::uint64_t ChannelReceiver::LostSinceBase() const {
  if (!sequenceStarted_) return 0;
  const std::int64_t expected = std::int64_t{highestSequence_} - baseSequence_ + 1;
  return static_cast<std::uint64_t>(
      std::max<std::int64_t>(0, expected - static_cast<std::int64_t>(receivedSinceBase_)));
}

void ChannelReceiver::CountSequence(std::uint16_t sequence) {
  // RFC 3550 appendix A.1, without the probation of new sources.
  if (!sequenceStarted_) {
    sequenceStarted_ = true;
    baseSequence_ = highestSequence_ = sequence;
    receivedSinceBase_ = 1;
    return;
  }
  const std::uint16_t highest = static_cast<std::uint16_t>(highestSequence_);
  const std::uint16_t ahead = static_cast<std::uint16_t>(sequence - highest);
  if (ahead < 3000) {
    highestSequence_ += ahead;
  } else if (ahead <= 65536 - 100) {
    // A jump: the sender restarted its numbering; count from here.
    lostBefore_ += LostSinceBase();
    baseSequence_ = highestSequence_ = sequence;
    receivedSinceBase_ = 0;
  }  // else a late or repeated packet
  ++receivedSinceBase_;
}

void ChannelReceiver::CountTransit(std::uint32_t timestamp, int clockRate) {
  if (clockRate <= 0) return;
  // Arrival and timestamp in the same clock; their difference (the transit
  // time plus a constant) wraps like RTP timestamps do.
  const std::uint32_t arrival =
      static_cast<std::uint32_t>(arrivalFrame_ * static_cast<std::uint64_t>(clockRate) / 50);
  const std::uint32_t transit = arrival - timestamp;
  if (transitClock_ != clockRate) {  // the first packet, or a codec of another clock
    transitClock_ = clockRate;
    lastTransit_ = transit;
    jitter16_ = 0;
    return;
  }
  const std::int32_t change = static_cast<std::int32_t>(transit - lastTransit_);
  lastTransit_ = transit;
  const std::uint64_t d = change < 0 ? 0 - static_cast<std::uint64_t>(std::int64_t{change})
                                     : static_cast<std::uint64_t>(change);
  // J += (|D| - J) / 16, kept times 16 as appendix A.8 does.
  jitter16_ = jitter16_ + d - ((jitter16_ + 8) >> 4);
}

void ChannelReceiver::OnDatagram(const std::uint8_t* data, std::size_t size, bool play) {
  RtpView packet;
  const EngineCodecRecord* entry = nullptr;
  if (!ParseRtp(data, size, &packet) || !(entry = Lookup(packet.header.payloadType))) {
    ++ignored_;
    return;
  }
  if (!haveSource_ || packet.header.ssrc != ssrc_) {
    if (haveSource_ && silentFrames_ < kSourceTimeoutFrames) {
      ++ignored_;
      return;
    }
    AcceptSource(packet.header.ssrc);
  }
  silentFrames_ = 0;
  ++received_;
  CountSequence(packet.header.sequence);

  if (entry == eventEntry_) {
    TelephoneEventBlock block;
    // Events count in their own payload's clock, as negotiated (RFC 4733).
    if (ParseTelephoneEvent(packet.payload, packet.payloadSize, &block))
      events_.OnPacket(packet.header.timestamp, block, eventClockRate_);
    return;
  }
  CountTransit(packet.header.timestamp, entry->frequency);
  if (!play) return;
  if (!jitter_ || jitterClock_ != entry->frequency) {
    jitterClock_ = entry->frequency;
    jitter_ = std::make_unique<JitterBuffer>(jitterClock_ / 50);
  }
  jitter_->Put(packet.payload, packet.payloadSize, packet.header.timestamp,
               PayloadSpan(described_[packet.header.payloadType & 0x7F], entry->frequency,
                           packet.payload, packet.payloadSize),
               packet.header.payloadType);
}

AudioDecoder* ChannelReceiver::DecoderFor(int payloadType, const EngineCodecRecord& entry) {
  auto found = decoders_.find(payloadType);
  if (found != decoders_.end()) return found->second.get();
  std::unique_ptr<AudioDecoder> decoder = CreateDecoder(entry);
  AudioDecoder* result = decoder.get();
  decoders_[payloadType] = std::move(decoder);  // a null entry remembers "none"
  return result;
}

void ChannelReceiver::SwitchRate(int rate) {
  if (rate == fifoRate_) return;
  fifoRate_ = rate;
  fifo_.clear();
  fifoRead_ = 0;
  noise_.reset();
}

void ChannelReceiver::AppendSilence(std::size_t samples) { fifo_.insert(fifo_.end(), samples, 0); }

std::size_t ChannelReceiver::SamplesOf(int ticks) const {
  if (ticks <= 0 || jitterClock_ <= 0) return 0;
  return static_cast<std::size_t>(std::int64_t{ticks} * fifoRate_ / jitterClock_);
}

// Appends the packet's audio: exactly its span less what it skips, so the
// playout keeps the stream's timing (a decoder that gives more keeps it).
void ChannelReceiver::Render(const JitterPacket& packet) {
  const int ticks = packet.span - packet.skip;
  const EngineCodecRecord* entry = Lookup(packet.payloadType);
  if (!entry) return RenderGap(ticks);
  if (Named(*entry, "CN")) {
    if (!noise_) noise_ = std::make_unique<ComfortNoiseGenerator>(fifoRate_);
    noise_->Update(packet.payload.data(), packet.payload.size());
    comfortNoise_ = true;
    return RenderGap(ticks);
  }
  AudioDecoder* decoder = DecoderFor(packet.payloadType, *entry);
  if (!decoder) return RenderGap(ticks);
  SwitchRate(decoder->SampleRate());
  lastDecoder_ = decoder;
  comfortNoise_ = false;
  concealedRun_ = 0;
  const std::size_t start = fifo_.size();
  if (!decoder->Decode(packet.payload.data(), packet.payload.size(), fifo_))
    decoder->Conceal(fifo_);
  const std::size_t whole = SamplesOf(packet.span);
  if (fifo_.size() - start < whole) fifo_.resize(start + whole, 0);
  const std::size_t skipped = std::min(SamplesOf(packet.skip), fifo_.size() - start);
  fifo_.erase(fifo_.begin() + static_cast<std::ptrdiff_t>(start),
              fifo_.begin() + static_cast<std::ptrdiff_t>(start + skipped));
  double energy = 0;
  for (std::size_t i = start; i < fifo_.size(); ++i)
    energy += static_cast<double>(fifo_[i]) * fifo_[i];
  const std::size_t count = fifo_.size() - start;
  jitter_->SetQuiet(count > 0 && energy <= kQuietLevel * kQuietLevel * static_cast<double>(count));
}

// Fills `span` ticks: comfort noise after a SID, the decoder's concealment
// (which fades out by itself) for the first kMaxConcealedFrames of a gap,
// then silence.
void ChannelReceiver::RenderGap(int span) {
  const std::size_t samples = SamplesOf(span);
  if (samples == 0) return;
  if (comfortNoise_ && noise_) return noise_->Generate(samples, fifo_);
  if (lastDecoder_ && concealedRun_ < kMaxConcealedFrames) {
    ++concealedRun_;
    ++concealed_;
    const std::size_t start = fifo_.size();
    lastDecoder_->Conceal(fifo_);
    fifo_.resize(start + samples, 0);
    return;
  }
  AppendSilence(samples);
}

int ChannelReceiver::PlayoutFrame(std::int16_t* pcm) {
  for (int pulls = 0; jitter_ && pulls < kMaxPullsPerFrame &&
                      Available() < static_cast<std::size_t>(fifoRate_ / 50);
       ++pulls) {
    const int buffered =
        static_cast<int>(static_cast<std::int64_t>(Available()) * jitterClock_ / fifoRate_);
    const JitterBuffer::Result result = jitter_->Get(buffered, &due_);
    if (result == JitterBuffer::Result::kIdle) break;
    if (result == JitterBuffer::Result::kPacket)
      Render(due_);
    else
      RenderGap(due_.span);
  }
  if (jitter_) jitter_->Tick();
  const std::size_t frame = static_cast<std::size_t>(fifoRate_ / 50);
  if (Available() < frame) AppendSilence(frame - Available());
  std::copy_n(fifo_.begin() + static_cast<std::ptrdiff_t>(fifoRead_), frame, pcm);
  fifoRead_ += frame;
  if (fifoRead_ >= fifo_.size() / 2) {  // keep the buffer from creeping
    fifo_.erase(fifo_.begin(), fifo_.begin() + static_cast<std::ptrdiff_t>(fifoRead_));
    fifoRead_ = 0;
  }
  return fifoRate_;
}

void ChannelReceiver::EndFrame() {
  if (silentFrames_ < kSourceTimeoutFrames) ++silentFrames_;
}

void ChannelReceiver::ResetStream() {
  if (jitter_) jitter_->Reset();
  fifo_.clear();
  fifoRead_ = 0;
  comfortNoise_ = false;
  lastDecoder_ = nullptr;
}

void ChannelReceiver::AddStatistics(ChannelStatistics* statistics) const {
  statistics->packetsReceived += received_;
  statistics->packetsIgnored += ignored_;
  statistics->framesConcealed += concealed_;
  statistics->packetsLost += lostBefore_ + LostSinceBase();
  const ReceptionStatistics reception = Reception();
  statistics->jitter = reception.jitter;
  statistics->jitterMs =
      reception.clockRate > 0 ? 1000.0 * reception.jitter / reception.clockRate : 0;
}

ReceptionStatistics ChannelReceiver::Reception() const {
  ReceptionStatistics reception;
  reception.haveSource = haveSource_ && sequenceStarted_;
  reception.ssrc = ssrc_;
  if (!reception.haveSource) return reception;
  reception.extendedHighest = highestSequence_;
  reception.expected = std::int64_t{highestSequence_} - baseSequence_ + 1;
  reception.received = receivedSinceBase_;
  reception.jitter =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(jitter16_ >> 4, 0xFFFFFFFF));
  reception.clockRate = transitClock_;
  return reception;
}

}  // namespace standin
