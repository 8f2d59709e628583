#include "engine/standin/jitter_buffer.h"

#include <algorithm>
#include <cstdlib>

namespace standin {
namespace {

// Signed distance from `from` to `to` across the 32-bit wrap.
std::int32_t Distance(std::uint32_t from, std::uint32_t to) {
  return static_cast<std::int32_t>(to - from);
}

}  // namespace

void TransitWindow::Add(std::int32_t transit) {
  ring_[static_cast<std::size_t>(next_)] = transit;
  next_ = (next_ + 1) % kSize;
  count_ = std::min(count_ + 1, kSize);
}

std::int32_t TransitWindow::High() const {
  if (count_ == 0) return 0;
  std::array<std::int32_t, kSize> sorted = ring_;  // the first count_ entries are filled
  const auto end = sorted.begin() + count_;
  const auto nth = end - 1 - count_ * kOutlierPerMille / 1000;
  std::nth_element(sorted.begin(), nth, end);
  return *nth;
}

std::int32_t TransitWindow::Low() const {
  if (count_ == 0) return 0;
  return *std::min_element(ring_.begin(), ring_.begin() + count_);
}

JitterBuffer::JitterBuffer(int ticksPerFrame)
    : frame_(std::clamp(ticksPerFrame, 1, 48000 / 50)),
      restartTicks_(frame_ * 50 * kRestartSeconds),
      maxDelayTicks_(frame_ * kMaxDelayMs / 20) {
  packets_.reserve(kCapacity);
}

std::int32_t JitterBuffer::Relative(std::uint32_t timestamp) const {
  return static_cast<std::int32_t>(now_ - timestamp - base_);
}

bool JitterBuffer::SeenRecently(std::uint32_t timestamp) const {
  return std::find(recent_.begin(), recent_.begin() + recentCount_, timestamp) !=
         recent_.begin() + recentCount_;
}

void JitterBuffer::Remember(std::uint32_t timestamp) {
  recent_[static_cast<std::size_t>(recentNext_)] = timestamp;
  recentNext_ = (recentNext_ + 1) % kCapacity;
  recentCount_ = std::min(recentCount_ + 1, kCapacity);
}

void JitterBuffer::UpdateTarget() {
  target_ = static_cast<std::int32_t>(
      std::min<std::int64_t>(transits_.High(), std::int64_t{transits_.Low()} + maxDelayTicks_));
  targetStale_ = false;
}

void JitterBuffer::Insert(Stored stored) {
  const auto at =
      std::upper_bound(packets_.begin(), packets_.end(), stored.timestamp,
                       [&](std::uint32_t timestamp, const Stored& held) {
                         return Distance(next_, timestamp) < Distance(next_, held.timestamp);
                       });
  packets_.insert(at, std::move(stored));
}

JitterBuffer::Arrival JitterBuffer::Put(const std::uint8_t* payload, std::size_t size,
                                        std::uint32_t timestamp, int span, int payloadType) {
  if (size > kMaxJitterPayload || span <= 0 || span > restartTicks_) return Arrival::kRefused;
  const std::uint32_t transit = now_ - timestamp;
  if (started_ && std::abs(std::int64_t{static_cast<std::int32_t>(transit - base_)} -
                           lastTransit_) > restartTicks_)
    Reset();  // a new timestamp base: follow it
  if (!started_) {
    started_ = true;
    base_ = transit;
    next_ = timestamp;
  }
  if (SeenRecently(timestamp)) return Arrival::kDuplicate;
  Remember(timestamp);
  lastTransit_ = static_cast<std::int32_t>(transit - base_);
  transits_.Add(lastTransit_);  // late packets too: they show how late the path runs
  targetStale_ = true;

  if (!playing_ && Distance(next_, timestamp) < 0) next_ = timestamp;  // the earliest starts
  if (std::int64_t{Distance(next_, timestamp)} + span <= 0) return Arrival::kLate;
  for (const Stored& held : packets_)
    if (held.timestamp == timestamp) return Arrival::kDuplicate;
  if (Held() == kCapacity) {
    // Make room by dropping the packet furthest ahead, unless this one is.
    if (Distance(next_, packets_.back().timestamp) <= Distance(next_, timestamp))
      return Arrival::kRefused;
    packets_.pop_back();
  }
  Insert(Stored{timestamp, JitterPacket{{payload, payload + size}, payloadType, span, 0}});
  return Arrival::kKept;
}

JitterBuffer::Result JitterBuffer::Get(int buffered, JitterPacket* packet) {
  packet->payload.clear();
  packet->span = 0;
  packet->skip = 0;
  if (!started_) return Result::kIdle;
  if (targetStale_) UpdateTarget();
  buffered = std::clamp(buffered, 0, frame_ - 1);
  const std::uint32_t ahead = static_cast<std::uint32_t>(buffered);
  if (!playing_) {
    // A frame after the earliest transit, the packets of a clean stream
    // all arrive in time, whatever their length and phase.
    const std::int64_t start =
        std::max<std::int64_t>(target_, std::int64_t{transits_.Low()} + frame_);
    if (Relative(next_ - ahead) < start) return Result::kIdle;
    playing_ = true;
    framesSinceAdjust_ = 0;
  }
  std::erase_if(packets_, [&](const Stored& held) {
    return std::int64_t{Distance(next_, held.timestamp)} + held.packet.span <= 0;
  });
  for (int pass = 0; pass < 2; ++pass) {
    const std::uint32_t position = next_ - ahead;  // the tick playing now
    const std::int64_t excess = std::int64_t{Relative(position)} - target_;
    backlog_ = packets_.empty() ? buffered
                                : static_cast<int>(std::min<std::int64_t>(
                                      std::int64_t{Distance(position, packets_.back().timestamp)} +
                                          packets_.back().packet.span,
                                      restartTicks_));
    const bool due = !packets_.empty() && Distance(next_, packets_.front().timestamp) <= 0;
    const bool adjust = quiet_ || framesSinceAdjust_ >= kAdjustIntervalFrames;
    // In a pause the delay is brought near the top of the band (a frame
    // apart, so that a stretch is never undone by the next drop); during
    // speech only what leaves the band is corrected.
    const std::int64_t stretchBelow = quiet_ ? frame_ / 2 : 0;
    const std::int64_t dropAbove =
        quiet_ ? std::int64_t{frame_} * 3 / 2 : std::int64_t{kSpeechSlackFrames} * frame_;
    if (due && !(excess < stretchBelow && adjust)) {
      Stored& held = packets_.front();
      int skip = -Distance(next_, held.timestamp);
      if (excess > dropAbove && adjust && Held() >= 2) {
        skip = std::min(held.packet.span, skip + frame_);  // drop a frame
        framesSinceAdjust_ = 0;
      }
      next_ = held.timestamp + static_cast<std::uint32_t>(held.packet.span);
      *packet = std::move(held.packet);
      packet->skip = skip;
      packets_.erase(packets_.begin());
      return Result::kPacket;
    }
    if (packets_.empty() || excess < frame_) {
      // The stream is late, paused or ended, or a piece is missing while
      // the delay is still below the top of the band: fill without
      // consuming the stream. On a path that reorders, the missing packet
      // often comes a frame or so later.
      if (packets_.empty() && excess > restartTicks_) {
        Reset();
        return Result::kIdle;
      }
      if (due) framesSinceAdjust_ = 0;  // a deliberate stretch during speech
      packet->span = frame_ - buffered;
      return Result::kGap;
    }
    // A piece is missing while later packets are here: it is lost. What
    // the delay exceeds the band by is skipped unplayed.
    const std::int32_t gap = Distance(next_, packets_.front().timestamp);
    const std::int32_t skip =
        static_cast<std::int32_t>(std::clamp<std::int64_t>(excess - frame_, 0, gap));
    next_ += static_cast<std::uint32_t>(skip);
    if (skip == gap) continue;
    packet->span = std::min(gap - skip, frame_);
    next_ += static_cast<std::uint32_t>(packet->span);
    return Result::kGap;
  }
  packet->span = frame_ - buffered;
  return Result::kGap;
}

void JitterBuffer::Tick() {
  now_ += static_cast<std::uint32_t>(frame_);
  if (framesSinceAdjust_ < kAdjustIntervalFrames) ++framesSinceAdjust_;
}

void JitterBuffer::Reset() {
  started_ = false;
  playing_ = false;
  packets_.clear();
  transits_.Clear();
  recentCount_ = recentNext_ = 0;
  lastTransit_ = 0;
  target_ = 0;
  targetStale_ = false;
  backlog_ = 0;
}

}  // namespace standin
