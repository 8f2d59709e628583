#include "engine/standin/media_channel.h"

#include <algorithm>
#include <new>

#include "engine/standin/codec_catalogue.h"
#include "engine/standin/error_codes.h"
#include "engine/standin/rtp_packet.h"

namespace standin {
namespace {

int BindError(UdpSocket::BindResult result) {
  return result == UdpSocket::BindResult::kInUse ? kReceivePortInUse : kInvalidArgument;
}

}  // namespace

void PlayoutMix::Add(const std::int16_t* pcm, int rate) {
  if (rate == kNarrowRate) {
    anyNarrow = true;
    for (int i = 0; i < kNarrowFrame; ++i) narrow[i] += pcm[i];
  } else if (rate == kEngineRate) {
    for (int i = 0; i < kEngineFrame; ++i) wide[i] += pcm[i];
  }
}

void PlayoutMix::Render(Upsampler2& upsampler, std::int16_t* out) const {
  std::int16_t narrowed[kNarrowFrame];
  for (int i = 0; i < kNarrowFrame; ++i) narrowed[i] = Saturate(narrow[i]);
  upsampler.Process(narrowed, kNarrowFrame, out);  // silence keeps the filter history flowing
  for (int i = 0; i < kEngineFrame; ++i) out[i] = Saturate(std::int32_t{out[i]} + wide[i]);
}

const std::int16_t* CaptureFrame::Narrow() {
  if (!haveNarrow_) {
    downsampler_.Process(wide_, kEngineFrame, narrow_);
    haveNarrow_ = true;
  }
  return narrow_;
}

MediaChannel::MediaChannel(std::mt19937& random) : sender_(random), rtcpSession_(random) {}

MediaChannel::~MediaChannel() {
  if (rtcpSession_.ReportsSent() > 0 && CanReport()) SendReport(lastFrame_, true);
}

int MediaChannel::SetLocalReceiver(int port, int rtcpPort, const char* ip) {
  std::uint32_t address = 0;
  if (ip && *ip && !ParseIpv4(ip, &address)) return kInvalidArgument;
  // The channel's earlier receiver goes first, so it can take the same port again.
  rtp_.reset();
  rtcp_.reset();
  auto rtp = std::make_unique<UdpSocket>();
  UdpSocket::BindResult result = rtp->Bind(address, static_cast<std::uint16_t>(port));
  if (result != UdpSocket::BindResult::kBound) return BindError(result);
  auto rtcp = std::make_unique<UdpSocket>();
  result = rtcp->Bind(address, static_cast<std::uint16_t>(rtcpPort));
  if (result != UdpSocket::BindResult::kBound) return BindError(result);
  if (tos_ != 0) rtp->SetTos(tos_);
  // Room for a frame's worth of a flood, so that the peer's packets are
  // still queued when the media thread comes to read (best effort).
  rtp->SetReceiveBufferSize(kReceiveBufferBytes);
  rtp_ = std::move(rtp);
  rtcp_ = std::move(rtcp);
  filter_.Reset();
  narrowed_ = 0;
  return kNoError;
}

int MediaChannel::SetSendDestination(const char* ip, int port, int sourcePort, int rtcpPort) {
  std::uint32_t address = 0;
  if (!ParseIpv4(ip, &address)) return kInvalidArgument;
  rtcpPort_ = rtcpPort;
  destination_ = Ipv4Endpoint{address, static_cast<std::uint16_t>(port)};
  hasDestination_ = true;
  filter_.SetDestination(destination_);
  if (rtp_ && rtp_->Connected() && !filter_.Pinned()) rtp_->Disconnect();
  if (sourcePort != sourcePort_) source_.reset();
  sourcePort_ = sourcePort;
  return sending_ ? OpenSendingSocket() : kNoError;
}

void MediaChannel::SetPlaying(bool playing) {
  if (playing_ && !playing) receiver_.ResetStream();
  playing_ = playing;
}

UdpSocket* MediaChannel::SendingSocket() {
  const bool ownSource = sourcePort_ != -1 && !(rtp_ && rtp_->LocalPort() == sourcePort_);
  if (!ownSource && rtp_) return rtp_.get();
  return source_.get();
}

int MediaChannel::OpenSendingSocket() {
  if (SendingSocket()) return kNoError;
  auto socket = std::make_unique<UdpSocket>();
  const std::uint16_t port = sourcePort_ == -1 ? 0 : static_cast<std::uint16_t>(sourcePort_);
  UdpSocket::BindResult result = socket->Bind(0, port);
  if (result != UdpSocket::BindResult::kBound) return BindError(result);
  if (tos_ != 0) socket->SetTos(tos_);
  source_ = std::move(socket);
  return kNoError;
}

int MediaChannel::StartSending() {
  if (!sender_.HasCodec()) {
    // No send codec chosen: the catalogue's first, PCMU.
    if (!sender_.SetCodec(*CodecCatalogue::At(0))) return kUnsupportedCodec;
    receiver_.SetSendPayloadType(CodecCatalogue::At(0)->payloadType, CodecCatalogue::At(0));
  }
  if (int error = OpenSendingSocket(); error != kNoError) return error;
  if (!sending_) sender_.Restart();
  sending_ = true;
  return kNoError;
}

void MediaChannel::StopSending() {
  sending_ = false;
  sender_.DropPendingEvents();  // a digit not sent by now is stale
}

int MediaChannel::SetSendCodec(const EngineCodecRecord& codec) {
  std::string_view name;
  if (!CodecCatalogue::NameOf(codec, &name)) return kInvalidArgument;
  const EngineCodecRecord* entry = CodecCatalogue::Find(name, codec.frequency);
  if (!entry || !sender_.SetCodec(codec)) return kUnsupportedCodec;
  receiver_.SetSendPayloadType(codec.payloadType, entry);
  return kNoError;
}

void MediaChannel::AnnouncePayloadType(int payloadType, const EngineCodecRecord* entry) {
  receiver_.AnnouncePayloadType(payloadType, entry);
}

void MediaChannel::SetTos(int tos) {
  tos_ = tos;
  if (rtp_) rtp_->SetTos(tos);
  if (source_) source_->SetTos(tos);
}

void MediaChannel::SetEventPayloadType(int payloadType) {
  sender_.SetEventPayloadType(payloadType);
  receiver_.SetEventPayloadType(payloadType);
}

void MediaChannel::SetEventClockRate(int rate) {
  sender_.SetEventClockRate(rate);
  receiver_.SetEventClockRate(rate);
}

int MediaChannel::SendTelephoneEvent(int event, bool outOfBand, int lengthMs, int attenuationDb) {
  if (outOfBand)
    return sender_.QueueEvent(event, attenuationDb, lengthMs) ? kNoError : kInvalidArgument;
  return sender_.StartTone(event, attenuationDb, lengthMs) ? kNoError : kInvalidArgument;
}

std::shared_ptr<FilePlayer> MediaChannel::PlayAsMicrophone(std::shared_ptr<FilePlayer> player,
                                                           bool mix) {
  microphonePlayer_.swap(player);
  mixMicrophone_ = mix;
  return player;
}

void MediaChannel::CollectPlayers(std::vector<std::shared_ptr<FilePlayer>>& players) const {
  if (localPlayer_) players.push_back(localPlayer_);
  // A stream played as the microphone moves on only while it is sent.
  if (microphonePlayer_ && sending_ && hasDestination_ && sender_.HasCodec())
    players.push_back(microphonePlayer_);
}

bool MediaChannel::Active() const {
  return listening_ || playing_ || sending_ || localPlayer_ || microphonePlayer_;
}

void MediaChannel::ReceivePending(std::uint8_t* buffer, std::size_t capacity,
                                  std::uint64_t mediaFrame) {
  const int slots = static_cast<int>(std::min<std::size_t>(capacity / kSlotBytes, kMaxBatch));
  if (slots == 0) return;
  receiver_.SetArrivalFrame(mediaFrame);
  filter_.EndFrame(narrowed_ > 0);  // the frame before this one ends
  ReceivedDatagram batch[kMaxBatch];
  const auto deadline = std::chrono::steady_clock::now() + kDrainTime;
  for (int taken = 0; rtp_ && taken < kMaxDatagramsPerFrame;) {
    const int count = rtp_->ReceiveBatch(buffer, kSlotBytes, batch, slots);
    if (count < 0) break;
    for (int i = 0; i < count; ++i)
      OnRtpDatagram(buffer + static_cast<std::size_t>(i) * kSlotBytes, batch[i]);
    taken += count > 0 ? count : 1;
    if (std::chrono::steady_clock::now() >= deadline) break;
  }
  // Pinned on the peer, the channel plays no other source any more: the
  // socket is connected to the peer, so that the system drops everyone
  // else's datagrams before they are queued, and a flood costs the media
  // thread nothing.
  if (rtp_ && !rtp_->Connected() && filter_.Pinned()) rtp_->Connect(filter_.Source());
  // Below that, where the system can, it drops the sources that cannot
  // take the latch at once (see SourceFilter).
  Ipv4Endpoint narrowing[SourceFilter::kMaxNarrowed];
  const int count = filter_.Narrowing(narrowing);
  const bool same =
      count == narrowed_ && std::equal(narrowing, narrowing + count, narrowedSources_);
  if (rtp_ && !same) {
    if (rtp_->AcceptOnly(narrowing, count) && count > 0) {
      narrowed_ = count;
      std::copy_n(narrowing, count, narrowedSources_);
    } else {
      narrowed_ = 0;
    }
  }
  DrainSideSocket(rtcp_.get(), true, buffer, slots);
  // Anything sent to a separate source port is dropped, every
  // kSideSocketFrames frames.
  if (++framesSinceSideRead_ < kSideSocketFrames) return;
  framesSinceSideRead_ = 0;
  DrainSideSocket(source_.get(), false, buffer, slots);
}

void MediaChannel::OnRtpDatagram(const std::uint8_t* data, const ReceivedDatagram& datagram) {
  if (!listening_) return;
  if (datagram.truncated) {
    ++truncated_;
    return;
  }
  switch (filter_.OnRtp(datagram.from, data, datagram.size)) {
    case SourceFilter::Verdict::kStranger:
      ++rtpFromStrangers_;
      return;
    case SourceFilter::Verdict::kNewPeer:
      receiver_.ForgetSource();
      break;
    case SourceFilter::Verdict::kPeer:
      break;
  }
  receiver_.OnDatagram(data, datagram.size, playing_);
}

void MediaChannel::DrainSideSocket(UdpSocket* socket, bool rtcp, std::uint8_t* buffer, int slots) {
  ReceivedDatagram batch[kMaxBatch];
  for (int taken = 0; socket && taken < kMaxSideDatagrams;) {
    const int count = socket->ReceiveBatch(buffer, kSlotBytes, batch, slots);
    if (count < 0) break;
    const std::uint64_t arrival = rtcp && count > 0 ? NtpNow() : 0;
    for (int i = 0; rtcp && listening_ && i < count; ++i) {
      if (!filter_.IsPeerRtcp(batch[i].from)) {
        ++rtcpFromStrangers_;
        continue;
      }
      ++rtcpReceived_;
      if (!batch[i].truncated)
        rtcpSession_.OnPacket(buffer + static_cast<std::size_t>(i) * kSlotBytes, batch[i].size,
                              sender_.Ssrc(), arrival);
    }
    taken += count > 0 ? count : 1;
  }
}

void MediaChannel::MixPlayout(PlayoutMix& mix) {
  std::int16_t frame[kEngineFrame];
  if (localPlayer_) {
    localPlayer_->ReadFrame(frame);
    mix.Add(frame, kEngineRate);
    meter_.Add(frame, kEngineFrame);
    if (localPlayer_->Ended()) localPlayer_.reset();
  }
  if (playing_) {
    const int rate = receiver_.PlayoutFrame(frame);
    mix.Add(frame, rate);
    meter_.Add(frame, rate / 50);
  }
  meter_.Commit();
}

bool MediaChannel::CanReport() const {
  return rtcp_ && hasDestination_ && (listening_ || sending_) &&
         (rtcpPort_ != -1 || destination_.port < 0xFFFF);
}

void MediaChannel::SendReport(std::uint64_t mediaFrame, bool bye) {
  RtcpSession::SendState send;
  send.ssrc = sender_.Ssrc();
  send.packets = packetsSent_;
  send.octets = octetsSent_;
  send.haveTimestamp = sender_.TimestampAt(mediaFrame, &send.rtpTimestamp);
  RtcpReport report;
  rtcpSession_.Build(send, receiver_.Reception(), NtpNow(), bye, &report);
  try {
    WriteRtcp(report, report_);  // allocates only the first time
  } catch (const std::bad_alloc&) {
    return;  // this report is skipped
  }
  const std::uint16_t port = rtcpPort_ != -1 ? static_cast<std::uint16_t>(rtcpPort_)
                                             : static_cast<std::uint16_t>(destination_.port + 1);
  if (rtcp_->SendTo(Ipv4Endpoint{destination_.address, port}, report_.data(), report_.size()))
    ++rtcpSent_;
}

bool MediaChannel::SendFrame(CaptureFrame& capture, std::int32_t* localMix,
                             std::uint64_t mediaFrame) {
  lastFrame_ = mediaFrame;
  if (!CanReport())
    rtcpSession_.Stop();
  else if (rtcpSession_.Due(mediaFrame))
    SendReport(mediaFrame, false);
  if (!sending_ || !hasDestination_ || !sender_.HasCodec()) return false;
  const int rate = sender_.SampleRate();
  const int samples = sender_.FrameSamples();
  std::int16_t frame[kEngineFrame] = {};
  bool microphone = !muted_;
  if (microphonePlayer_) {
    std::int16_t file[kEngineFrame];
    std::int16_t sum[kEngineFrame];
    microphonePlayer_->ReadFrame(file);
    for (int i = 0; i < kEngineFrame; ++i)
      sum[i] = Saturate((mixMicrophone_ ? capture.Wide()[i] : 0) + std::int32_t{file[i]});
    if (!muted_)
      for (int i = 0; i < kEngineFrame; ++i) localMix[i] += file[i];
    microphone = microphone && mixMicrophone_;
    if (microphonePlayer_->Ended()) microphonePlayer_.reset();
    if (rate == kEngineRate) std::copy_n(sum, kEngineFrame, frame);
    if (rate == kNarrowRate) sendDownsampler_.Process(sum, kEngineFrame, frame);
  } else if (rate == kEngineRate || rate == kNarrowRate) {
    std::copy_n(rate == kEngineRate ? capture.Wide() : capture.Narrow(), samples, frame);
  }
  if (muted_) std::fill_n(frame, samples, 0);
  // A packet time below 20 ms sends several packets a frame.
  for (bool more = sender_.NextPacket(mediaFrame, frame, datagram_); more;
       more = sender_.MorePackets(datagram_)) {
    UdpSocket* socket = SendingSocket();
    if (socket && socket->SendTo(destination_, datagram_.data(), datagram_.size())) {
      ++packetsSent_;
      octetsSent_ += datagram_.size() - std::min(datagram_.size(), kRtpHeaderSize);
    }
  }
  return microphone;
}

ChannelStatistics MediaChannel::Statistics() const {
  ChannelStatistics statistics;
  statistics.packetsSent = packetsSent_;
  statistics.eventsSent = sender_.EventsSent();
  statistics.ssrc = sender_.Ssrc();
  receiver_.AddStatistics(&statistics);
  statistics.packetsIgnored += rtpFromStrangers_ + truncated_;
  statistics.packetsFromStrangers = rtpFromStrangers_ + rtcpFromStrangers_;
  statistics.rtcpReceived = rtcpReceived_;
  rtcpSession_.AddStatistics(&statistics, sender_.ClockRate());
  statistics.rtcpSent = rtcpSent_;
  return statistics;
}

}  // namespace standin
