// The receiving half of a channel's RTP session. Datagrams that are not RTP,
// carry a payload type the channel does not know, or come from a second
// source while the first is still sending are counted and dropped. Audio
// and comfort noise go through the jitter buffer and are decoded when due;
// telephone events are decoded on arrival.
//
// Payload types: the catalogue's own numbers, then the DTMF payload type
// and the send codec's number (peers answer with the numbers we send), then
// the numbers announced with SetRecPayloadType, each overriding the ones
// before. A codec announced under a new number no longer answers to its
// catalogue number. Used by the media thread with the engine lock held.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "engine/engine_codec_record.h"
#include "engine/standin/audio_codec.h"
#include "engine/standin/codec_catalogue.h"
#include "engine/standin/codecs/codec_description.h"
#include "engine/standin/codecs/comfort_noise.h"
#include "engine/standin/jitter_buffer.h"
#include "engine/standin/rtcp_report.h"
#include "engine/standin/standin_testing.h"
#include "engine/standin/telephone_event.h"

namespace standin {

class ChannelReceiver {
 public:
  // A new source is accepted once the current one was silent this long.
  static constexpr int kSourceTimeoutFrames = 10;
  // Lost frames concealed by the decoder before the output turns silent
  // (the decoders' concealment has faded out by then).
  static constexpr int kMaxConcealedFrames = 5;
  // Bounds the jitter buffer's answers taken for one frame (short packets
  // need several).
  static constexpr int kMaxPullsPerFrame = 16;
  // RMS (of full scale 32768) at or below which decoded audio counts as a
  // pause in speech, where the jitter buffer may change its delay freely.
  static constexpr double kQuietLevel = 100;

  ChannelReceiver();

  // `entry` is the catalogue entry received under `payloadType` (and no
  // longer under another). Throws std::bad_alloc, changing nothing.
  void AnnouncePayloadType(int payloadType, const EngineCodecRecord* entry);
  void SetSendPayloadType(int payloadType, const EngineCodecRecord* entry);
  void SetEventPayloadType(int payloadType);
  // Telephone events count in this RTP clock (Hz, above 0; 8000 until told).
  void SetEventClockRate(int rate);

  // One datagram from the channel's socket; audio is kept for playout only
  // when `play` is true.
  void OnDatagram(const std::uint8_t* data, std::size_t size, bool play);
  // Writes the next 20 ms of the stream into `pcm` (room for 320 samples)
  // and answers their rate (8000 or 16000; rate / 50 samples).
  int PlayoutFrame(std::int16_t* pcm);
  // Ends one frame period.
  void EndFrame();
  // Forgets the source and what was buffered (playout stopped).
  void ResetStream();
  // Takes the next packet's SSRC as the stream's, whatever came before (the
  // channel latched on to another source).
  void ForgetSource() { haveSource_ = false; }

  // Datagrams given from now on arrived in media frame `frame` (20 ms
  // periods): the arrival clock of the interarrival jitter.
  void SetArrivalFrame(std::uint64_t frame) { arrivalFrame_ = frame; }

  const TelephoneEventReceiver& Events() const { return events_; }
  void AddStatistics(ChannelStatistics* statistics) const;
  // The current source's figures for a report block about it.
  ReceptionStatistics Reception() const;

 private:
  const EngineCodecRecord* Lookup(int payloadType) const;
  void Rebuild();
  void AcceptSource(std::uint32_t ssrc);
  void CountSequence(std::uint16_t sequence);
  void CountTransit(std::uint32_t timestamp, int clockRate);
  std::uint64_t LostSinceBase() const;
  AudioDecoder* DecoderFor(int payloadType, const EngineCodecRecord& entry);
  void Render(const JitterPacket& packet);
  void RenderGap(int span);
  void SwitchRate(int rate);
  void AppendSilence(std::size_t samples);
  std::size_t Available() const { return fifo_.size() - fifoRead_; }
  // Samples of the playout rate that `ticks` of the RTP clock cover.
  std::size_t SamplesOf(int ticks) const;

  std::map<int, const EngineCodecRecord*> announced_;
  int sendPayloadType_ = -1;
  const EngineCodecRecord* sendEntry_ = nullptr;
  int eventPayloadType_ = -1;
  std::array<const EngineCodecRecord*, 128> table_{};
  std::array<const CodecDescription*, 128> described_{};  // of table_'s entries
  // The catalogue entry of telephone events, found once.
  const EngineCodecRecord* eventEntry_ = CodecCatalogue::Find("telephone-event", 8000);

  bool haveSource_ = false;
  std::uint32_t ssrc_ = 0;
  int silentFrames_ = 0;
  bool sequenceStarted_ = false;
  std::uint32_t baseSequence_ = 0;
  std::uint32_t highestSequence_ = 0;  // extended with the wrap count
  std::uint64_t receivedSinceBase_ = 0;
  std::uint64_t lostBefore_ = 0;
  // Interarrival jitter (RFC 3550 appendix A.8) of the audio, times 16.
  std::uint64_t arrivalFrame_ = 0;
  int transitClock_ = 0;  // 0: no transit measured yet
  std::uint32_t lastTransit_ = 0;
  std::uint64_t jitter16_ = 0;

  std::unique_ptr<JitterBuffer> jitter_;
  int jitterClock_ = 0;
  std::map<int, std::unique_ptr<AudioDecoder>> decoders_;
  AudioDecoder* lastDecoder_ = nullptr;
  int concealedRun_ = 0;
  bool comfortNoise_ = false;
  std::unique_ptr<ComfortNoiseGenerator> noise_;
  std::vector<std::int16_t> fifo_;
  std::size_t fifoRead_ = 0;
  int fifoRate_ = 8000;
  JitterPacket due_;

  TelephoneEventReceiver events_;
  int eventClockRate_ = 8000;
  std::uint64_t received_ = 0;
  std::uint64_t ignored_ = 0;
  std::uint64_t concealed_ = 0;
};

}  // namespace standin
