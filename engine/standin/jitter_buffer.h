// The receive-side jitter buffer of a channel: packets go in as they
// arrive, in any order; the media thread takes out what is due each frame.
// Times are RTP clock ticks; timestamps may wrap.
//
// The buffer runs a local clock that Tick advances by one frame. A packet's
// transit is its arrival time on that clock minus its timestamp; the
// playout delay is the clock minus the timestamp being played. A packet
// is in time when its transit does not exceed the delay, so the buffer
// aims the delay at a high percentile of the recent transits (the target):
// it grows when the stream arrives later and shrinks back when jitter falls
// or the sender's clock runs faster than ours.
//
// Playout starts one frame after the first packet arrived (more when the
// first transits already spread wider): packets of any length then arrive
// before they are due on a clean path, whatever the phase of the sender's
// packets against our frames. The delay is kept between the target and one
// frame above it: when a packet is missing while nothing later is held, or
// the delay is below the target, filler is played without consuming the
// stream (the delay grows). A missing piece with later packets held is
// waited for the same way while the delay is below the top of the band
// (a path that reorders often brings it a frame later); then it is lost
// and concealed, and what the delay exceeds the band by is skipped there
// at once. In a pause of the speech (SetQuiet) the delay moves frame by
// frame to within half a frame of the top of the band: a sender whose
// clock runs slow is then followed in the pauses, before its packets come
// late during speech. During speech a frame is dropped or stretched now
// and then only, and dropped only when the delay is well above the band.
//
// Duplicates are kept once and nothing is played twice; packets that come
// after their time are dropped; a transit that jumps by more than
// kRestartSeconds (a new timestamp base) restarts the buffer, as do
// kRestartSeconds with nothing to play. At most kCapacity packets are
// held. Used by the media thread only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace standin {

// The largest payload kept; larger ones are dropped (no codec here sends so
// much in one packet).
constexpr std::size_t kMaxJitterPayload = 2048;

struct JitterPacket {
  std::vector<std::uint8_t> payload;
  int payloadType = 0;
  int span = 0;  // ticks the packet covers; for a gap, the ticks to fill
  int skip = 0;  // ticks at the start of the packet's audio not to play
};

// The transits of the most recent packets (relative ticks): about 2.5
// seconds of 20 ms packets, long enough for a steady percentile and short
// enough to follow a sender whose clock drifts.
class TransitWindow {
 public:
  static constexpr int kSize = 128;
  // The share of the window High() leaves above it: late packets lost for
  // a lower delay.
  static constexpr int kOutlierPerMille = 25;

  void Add(std::int32_t transit);
  void Clear() { count_ = next_ = 0; }
  int Count() const { return count_; }
  // The transit all but the highest kOutlierPerMille of the window stay within.
  std::int32_t High() const;
  std::int32_t Low() const;

 private:
  std::array<std::int32_t, kSize> ring_{};
  int count_ = 0;
  int next_ = 0;
};

class JitterBuffer {
 public:
  enum class Result {
    kIdle,    // nothing to play yet: silence, nothing consumed
    kPacket,  // decode `packet` and drop its first `packet->skip` ticks
    kGap,     // fill `packet->span` ticks (concealment, comfort noise, silence)
  };
  enum class Arrival { kKept, kDuplicate, kLate, kRefused };

  static constexpr int kCapacity = 64;
  static constexpr int kMaxDelayMs = 500;  // the target's cap above the earliest transit
  static constexpr int kRestartSeconds = 2;
  // Frames between two deliberate changes of the delay during speech.
  static constexpr int kAdjustIntervalFrames = 25;
  // During speech a frame is dropped only once the delay exceeds the
  // target by more than this many frames (in a pause, by more than one and
  // a half).
  static constexpr int kSpeechSlackFrames = 3;

  explicit JitterBuffer(int ticksPerFrame);

  // Keeps a packet covering `span` ticks from `timestamp`, arrived now.
  Arrival Put(const std::uint8_t* payload, std::size_t size, std::uint32_t timestamp, int span,
              int payloadType);
  // What plays next, given that `buffered` ticks taken earlier are not
  // played yet (less than a frame). Called until a frame is filled, at
  // most a few times per frame.
  Result Get(int buffered, JitterPacket* packet);
  // Ends one frame period: the local clock advances by a frame.
  void Tick();
  // Whether the audio played last was quiet (a pause in speech): the delay
  // then moves to the target at once, where during speech it moves by a
  // frame every kAdjustIntervalFrames.
  void SetQuiet(bool quiet) { quiet_ = quiet; }
  void Reset();

  int Held() const { return static_cast<int>(packets_.size()); }
  // Ticks of the newest packet not yet played, counted from the playout
  // position at the last Get.
  int Backlog() const { return backlog_; }

 private:
  struct Stored {
    std::uint32_t timestamp;
    JitterPacket packet;
  };

  // Ticks from the first transit of the stream to `now - timestamp`.
  std::int32_t Relative(std::uint32_t timestamp) const;
  bool SeenRecently(std::uint32_t timestamp) const;
  void Remember(std::uint32_t timestamp);
  void UpdateTarget();
  void Insert(Stored stored);

  const int frame_;
  const std::int32_t restartTicks_;
  const std::int32_t maxDelayTicks_;
  std::uint32_t now_ = 0;
  bool started_ = false;
  bool playing_ = false;
  std::uint32_t base_ = 0;  // the stream's first transit
  std::uint32_t next_ = 0;  // the next tick to hand out
  std::int32_t lastTransit_ = 0;
  std::int32_t target_ = 0;  // relative transit the delay aims at
  bool targetStale_ = false;
  bool quiet_ = false;
  int framesSinceAdjust_ = 0;
  int backlog_ = 0;
  TransitWindow transits_;
  std::vector<Stored> packets_;                    // in timestamp order from next_
  std::array<std::uint32_t, kCapacity> recent_{};  // timestamps seen lately
  int recentCount_ = 0;
  int recentNext_ = 0;
};

}  // namespace standin
