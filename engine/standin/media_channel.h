// One channel's media: its sockets (RTP on the receive port, RTCP on the
// next, bound by SetLocalReceiver to its address, or to every address when
// it names none; packets are sent from the RTP socket unless another source
// port was asked for), its sender and receiver, and the streams played into
// it. Only the peer's RTP reaches the receiver (see SourceFilter); the
// peer's RTCP goes to the channel's RtcpSession, and while the channel
// listens or sends towards a destination it sends its own reports (SR or
// RR, SDES, and a BYE when the channel is deleted) from the RTCP socket to
// the destination's RTCP port. The host
// side configures it and the media thread runs it, always with the engine
// lock held; only the players' streams are read without it (file_player.h).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "engine/engine_codec_record.h"
#include "engine/standin/channel_receiver.h"
#include "engine/standin/channel_sender.h"
#include "engine/standin/file_player.h"
#include "engine/standin/level_meter.h"
#include "engine/standin/media_format.h"
#include "engine/standin/rate_converter.h"
#include "engine/standin/rtcp_session.h"
#include "engine/standin/source_filter.h"
#include "engine/standin/udp_socket.h"

namespace standin {

// The playout of one frame, summed before it is converted to the engine rate.
struct PlayoutMix {
  std::int32_t narrow[kNarrowFrame] = {};
  std::int32_t wide[kEngineFrame] = {};
  bool anyNarrow = false;

  void Add(const std::int16_t* pcm, int rate);
  // The sum at the engine rate, saturated.
  void Render(Upsampler2& upsampler, std::int16_t* out) const;
};

// The microphone frame at the engine rate, and at 8 kHz when asked.
class CaptureFrame {
 public:
  CaptureFrame(const std::int16_t* wide, Downsampler2& downsampler)
      : wide_(wide), downsampler_(downsampler) {}
  const std::int16_t* Wide() const { return wide_; }
  const std::int16_t* Narrow();

 private:
  const std::int16_t* wide_;
  Downsampler2& downsampler_;
  std::int16_t narrow_[kNarrowFrame];
  bool haveNarrow_ = false;
};

class MediaChannel {
 public:
  // Each frame the RTP socket is drained: until it is empty, this many
  // datagrams (a flood of 400k datagrams/s) or kDrainTime, whichever comes
  // first. Strangers cost a comparison of their source address each.
  static constexpr int kMaxDatagramsPerFrame = 8192;
  static constexpr std::chrono::microseconds kDrainTime{5000};
  // Datagrams are taken in batches of slots this large; a larger one (more
  // than any packet time of audio needs) is counted as ignored.
  static constexpr std::size_t kSlotBytes = 2048;
  static constexpr int kMaxBatch = 64;
  // What the system is asked to queue for the RTP socket between frames.
  static constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;
  // RTCP is read every frame (its arrival times make the round trip), a
  // separate source port every kSideSocketFrames frames; at most
  // kMaxSideDatagrams each time.
  static constexpr int kSideSocketFrames = 10;
  static constexpr int kMaxSideDatagrams = 256;

  explicit MediaChannel(std::mt19937& random);
  // Sends a last report with a BYE when the channel had reported.
  ~MediaChannel();
  MediaChannel(const MediaChannel&) = delete;
  MediaChannel& operator=(const MediaChannel&) = delete;

  // Host side. Results are engine error codes, kNoError on success.
  [[nodiscard]] int SetLocalReceiver(int port, int rtcpPort, const char* ip);
  // `rtcpPort` -1: the RTP port + 1.
  [[nodiscard]] int SetSendDestination(const char* ip, int port, int sourcePort, int rtcpPort = -1);
  // The nominal RTCP interval in media frames (tests shorten it).
  void SetRtcpIntervalFrames(int frames) { rtcpSession_.SetIntervalFrames(frames); }
  void SetListening(bool listening) { listening_ = listening; }
  void SetPlaying(bool playing);
  [[nodiscard]] int StartSending();
  void StopSending();
  [[nodiscard]] int SetSendCodec(const EngineCodecRecord& codec);
  void AnnouncePayloadType(int payloadType, const EngineCodecRecord* entry);
  void SetVad(bool enable, int mode) { sender_.SetVad(enable, mode); }
  void SetTos(int tos);
  void SetEventPayloadType(int payloadType);
  // The telephone-event payload's RTP clock in Hz, for both directions.
  void SetEventClockRate(int rate);
  [[nodiscard]] int SendTelephoneEvent(int event, bool outOfBand, int lengthMs, int attenuationDb);
  void SetMute(bool mute) { muted_ = mute; }
  // Each answers the player it replaces, for the caller to stop outside the
  // engine lock.
  std::shared_ptr<FilePlayer> PlayLocally(std::shared_ptr<FilePlayer> player) {
    localPlayer_.swap(player);
    return player;
  }
  std::shared_ptr<FilePlayer> PlayAsMicrophone(std::shared_ptr<FilePlayer> player, bool mix);
  // Adds the players of this channel (their streams are read before the
  // frame, without the engine lock).
  void CollectPlayers(std::vector<std::shared_ptr<FilePlayer>>& players) const;
  // Whether the media thread has anything to do for this channel.
  bool Active() const;
  bool Sending() const { return sending_; }
  bool Playing() const { return playing_; }

  // Media thread, once per frame in this order. `buffer` is scratch room
  // for the datagrams read; at least kSlotBytes. `mediaFrame` numbers the
  // frame on the media clock (the arrival time of what is read).
  void ReceivePending(std::uint8_t* buffer, std::size_t capacity, std::uint64_t mediaFrame);
  void MixPlayout(PlayoutMix& mix);
  // Sends this frame, number `mediaFrame` of the media clock; adds the part
  // of the call recording that is not the microphone (streams played as
  // microphone) to `localMix`. True when the microphone itself went out
  // unmuted. Sends an RTCP report first when one is due.
  bool SendFrame(CaptureFrame& capture, std::int32_t* localMix, std::uint64_t mediaFrame);
  void EndFrame() { receiver_.EndFrame(); }

  int SpeakerLevel() const { return meter_.Level(); }
  const TelephoneEventReceiver& Events() const { return receiver_.Events(); }
  ChannelStatistics Statistics() const;

 private:
  UdpSocket* SendingSocket();
  [[nodiscard]] int OpenSendingSocket();
  void OnRtpDatagram(const std::uint8_t* data, const ReceivedDatagram& datagram);
  void DrainSideSocket(UdpSocket* socket, bool rtcp, std::uint8_t* buffer, int slots);
  bool CanReport() const;
  void SendReport(std::uint64_t mediaFrame, bool bye);

  std::unique_ptr<UdpSocket> rtp_;
  std::unique_ptr<UdpSocket> rtcp_;
  std::unique_ptr<UdpSocket> source_;  // when not sending from rtp_
  bool listening_ = false;
  bool playing_ = false;
  bool sending_ = false;
  bool hasDestination_ = false;
  Ipv4Endpoint destination_;
  int sourcePort_ = -1;
  int tos_ = 0;
  bool muted_ = false;

  ChannelSender sender_;
  ChannelReceiver receiver_;
  std::shared_ptr<FilePlayer> localPlayer_;
  std::shared_ptr<FilePlayer> microphonePlayer_;
  bool mixMicrophone_ = true;
  Downsampler2 sendDownsampler_;
  LevelMeter meter_;
  std::vector<std::uint8_t> datagram_;
  std::uint64_t packetsSent_ = 0;
  int framesSinceSideRead_ = 0;

  SourceFilter filter_;
  // The sources the system lets through to rtp_; 0: all of them.
  int narrowed_ = 0;
  Ipv4Endpoint narrowedSources_[SourceFilter::kMaxNarrowed];
  std::uint64_t rtpFromStrangers_ = 0;
  std::uint64_t rtcpFromStrangers_ = 0;
  std::uint64_t truncated_ = 0;
  std::uint64_t rtcpReceived_ = 0;

  int rtcpPort_ = -1;  // of the destination; -1: its RTP port + 1
  RtcpSession rtcpSession_;
  std::uint64_t octetsSent_ = 0;  // RTP payload bytes
  std::uint64_t rtcpSent_ = 0;    // reports the system took
  std::uint64_t lastFrame_ = 0;   // the media frame SendFrame last saw
  std::vector<std::uint8_t> report_;
};

}  // namespace standin
