// Which datagrams at a channel's receive ports come from the peer of the
// call. Only the peer's RTP is played; everything else is a stranger's and
// is counted and dropped before it is parsed.
//
// Who the peer is. The send destination (SetSendDestination) is where we
// send; a symmetric peer sends from that very address and port, others send
// from the same address but another port, and a peer behind NAT sends from
// an address we could not know beforehand. So the channel latches on to one
// source (address and port) and plays only it, ranking sources by how well
// they match the destination:
//   2  the destination's address and port,
//   1  the destination's address, another port,
//   0  any other source (or no destination set yet).
// The first source that sends RTP is latched. A source of higher rank than
// the latched one takes the latch at once, so a stranger who sends first
// loses the call as soon as the peer is heard. Once the peer is heard from
// the destination itself (rank 2) the latch is pinned: nothing else is
// played until the destination or the receiver changes, however long the
// peer is silent (silence suppression). Below rank 2, a source of the same
// rank takes the latch only after the latched one has been silent for
// kSilenceFrames, and only with an SSRC other than the latched stream's (a
// new stream, say from a peer behind NAT whose mapping changed; not a copy
// of the old one); a source of lower rank never does. Datagrams that are
// not RTP version 2 never move the latch. A frame that brought more than
// kBusyFrameDatagrams datagrams does not count as silent: under a flood the
// system may have dropped the peer's packets for want of room, and moving
// the latch then would hand the call to the flood.
//
// Where the system can drop datagrams for us (Linux), a latch below rank 2
// is narrowed: only the sources that could take the latch at once (the
// latched one and those of higher rank) are let through, so a flood never
// reaches the engine. Once the latched source has been silent for
// kSilenceFrames the restriction is lifted; since a narrowed frame cannot
// tell whether it was busy, a takeover then also waits for kOpenQuietFrames
// quiet frames in a row without narrowing.
//
// RTCP from the peer comes from the latched source's address at its port
// or the next one, or from the destination's address at its port or the
// next one; other RTCP is a stranger's.
//
// Used by the media thread with the engine lock held.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "engine/standin/udp_socket.h"

namespace standin {

class SourceFilter {
 public:
  // 200 ms without RTP from the latched source frees the latch.
  static constexpr int kSilenceFrames = 10;
  static constexpr int kBusyFrameDatagrams = 16;
  static constexpr int kOpenQuietFrames = 3;

  enum class Verdict {
    kPeer,      // from the latched source
    kNewPeer,   // the latch moved to this datagram's source: a new stream
    kStranger,  // dropped
  };

  void SetDestination(const Ipv4Endpoint& destination);
  // Forgets the latched source (a new receiver or the playout restarted).
  void Reset();
  // One datagram from the RTP port.
  Verdict OnRtp(const Ipv4Endpoint& from, const std::uint8_t* data, std::size_t size);
  bool IsPeerRtcp(const Ipv4Endpoint& from) const;
  // Ends one 20 ms frame; `narrowed` tells whether the system dropped
  // other sources' datagrams during it.
  void EndFrame(bool narrowed) {
    const bool busy = datagramsThisFrame_ > kBusyFrameDatagrams;
    openQuietFrames_ = narrowed || busy ? 0 : std::min(openQuietFrames_ + 1, kOpenQuietFrames);
    if (!busy || narrowed) silentFrames_ = std::min(silentFrames_ + 1, kSilenceFrames);
    datagramsThisFrame_ = 0;
  }
  // The sources to let through while narrowed (port 0: any port of the
  // address), at most kMaxNarrowed; 0 when every source is to be seen
  // (no latch, the latch pinned, or silent long enough to be lifted).
  static constexpr int kMaxNarrowed = 2;
  int Narrowing(Ipv4Endpoint* sources) const;
  bool Latched() const { return latched_; }
  // Latched on to the destination itself: no other source can be played.
  bool Pinned() const { return latched_ && Rank(source_) == 2; }
  const Ipv4Endpoint& Source() const { return source_; }

 private:
  int Rank(const Ipv4Endpoint& from) const;

  bool hasDestination_ = false;
  Ipv4Endpoint destination_;
  bool latched_ = false;
  Ipv4Endpoint source_;
  std::uint32_t ssrc_ = 0;
  int silentFrames_ = 0;
  int openQuietFrames_ = 0;
  int datagramsThisFrame_ = 0;
};

}  // namespace standin
