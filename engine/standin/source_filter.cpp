#include "engine/standin/source_filter.h"

namespace standin {
namespace {

// The SSRC of an RTP version 2 header; false for anything else.
bool ReadSsrc(const std::uint8_t* data, std::size_t size, std::uint32_t* ssrc) {
  if (size < 12 || (data[0] >> 6) != 2) return false;
  *ssrc = std::uint32_t{data[8]} << 24 | std::uint32_t{data[9]} << 16 |
          std::uint32_t{data[10]} << 8 | data[11];
  return true;
}

bool FromPortOrNext(const Ipv4Endpoint& from, const Ipv4Endpoint& base) {
  return from.address == base.address &&
         (from.port == base.port || from.port == static_cast<std::uint16_t>(base.port + 1));
}

}  // namespace

void SourceFilter::SetDestination(const Ipv4Endpoint& destination) {
  destination_ = destination;
  hasDestination_ = true;
}

void SourceFilter::Reset() {
  latched_ = false;
  silentFrames_ = openQuietFrames_ = 0;
}

int SourceFilter::Rank(const Ipv4Endpoint& from) const {
  if (!hasDestination_ || from.address != destination_.address) return 0;
  return from.port == destination_.port ? 2 : 1;
}

SourceFilter::Verdict SourceFilter::OnRtp(const Ipv4Endpoint& from, const std::uint8_t* data,
                                          std::size_t size) {
  if (datagramsThisFrame_ <= kBusyFrameDatagrams) ++datagramsThisFrame_;
  std::uint32_t ssrc = 0;
  const bool rtp = ReadSsrc(data, size, &ssrc);
  if (latched_ && from == source_) {
    if (rtp) {  // only RTP keeps the latch: junk from the same port does not
      silentFrames_ = 0;
      ssrc_ = ssrc;
    }
    return Verdict::kPeer;
  }
  if (!rtp) return Verdict::kStranger;
  const int latchedRank = latched_ ? Rank(source_) : -1;
  const int rank = Rank(from);
  const bool silent = silentFrames_ >= kSilenceFrames && openQuietFrames_ >= kOpenQuietFrames;
  const bool takes =
      rank > latchedRank || (rank == latchedRank && rank < 2 && silent && ssrc != ssrc_);
  if (!takes) return Verdict::kStranger;
  latched_ = true;
  source_ = from;
  ssrc_ = ssrc;
  silentFrames_ = 0;
  return Verdict::kNewPeer;
}

int SourceFilter::Narrowing(Ipv4Endpoint* sources) const {
  if (!latched_ || silentFrames_ >= kSilenceFrames) return 0;
  const int rank = Rank(source_);
  if (rank == 2) return 0;  // pinned: the socket is connected instead
  sources[0] = source_;
  if (!hasDestination_) return 1;
  // Rank 0: any port of the destination's address outranks it; rank 1:
  // only the destination itself.
  sources[1] = Ipv4Endpoint{destination_.address, rank == 0 ? std::uint16_t{0} : destination_.port};
  return 2;
}

bool SourceFilter::IsPeerRtcp(const Ipv4Endpoint& from) const {
  return (latched_ && FromPortOrNext(from, source_)) ||
         (hasDestination_ && FromPortOrNext(from, destination_));
}

}  // namespace standin
