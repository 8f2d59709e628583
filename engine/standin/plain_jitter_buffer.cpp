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

PlainJitterBuffer::PlainJitterBuffer(int ticksPerFrame)
    : ticksPerFrame_(std::max(ticksPerFrame, 1)) {}

void PlainJitterBuffer::Put(const std::uint8_t* payload, std::size_t size, std::uint32_t timestamp,
                            int span, std::uint16_t, int payloadType) {
  if (size > kMaxJitterPayload || span <= 0) return;
  if (started_ && std::abs(static_cast<std::int64_t>(Distance(pointer_, timestamp))) >
                      std::int64_t{kWindowFrames} * ticksPerFrame_)
    Reset();  // the stream jumped: follow it
  if (!started_) {
    started_ = true;
    pointer_ = timestamp;
    prefill_ = kDelayFrames;
  }
  if (prefill_ > 0 && Distance(pointer_, timestamp) < 0)
    pointer_ = timestamp;  // not playing yet: an earlier packet still comes first
  if (Distance(pointer_, timestamp) + span <= 0) return;  // too late to play
  for (const Stored& held : packets_)
    if (held.timestamp == timestamp) return;  // a duplicate
  if (static_cast<int>(packets_.size()) == kCapacity) {
    // Make room by dropping the packet furthest ahead.
    auto furthest = std::max_element(packets_.begin(), packets_.end(), [&](auto& a, auto& b) {
      return Distance(pointer_, a.timestamp) < Distance(pointer_, b.timestamp);
    });
    if (Distance(pointer_, furthest->timestamp) <= Distance(pointer_, timestamp)) return;
    packets_.erase(furthest);
  }
  packets_.push_back(Stored{timestamp, JitterPacket{{payload, payload + size}, payloadType, span}});
}

JitterBuffer::Result PlainJitterBuffer::Get(int span, JitterPacket* packet) {
  packet->payload.clear();
  packet->span = started_ ? span : 0;
  if (!started_) return Result::kGap;
  if (prefill_ > 0) {
    --prefill_;
    return Result::kGap;
  }
  // Drop what can no longer play, then take the packet starting at the pointer.
  std::erase_if(packets_, [&](const Stored& held) {
    return Distance(pointer_, held.timestamp) + held.packet.span <= 0;
  });
  auto due = std::find_if(packets_.begin(), packets_.end(), [&](const Stored& held) {
    return Distance(pointer_, held.timestamp) <= 0;
  });
  if (due == packets_.end()) {
    pointer_ += static_cast<std::uint32_t>(span);
    if (++gaps_ > kWindowFrames) Reset();  // the stream has ended
    return Result::kGap;
  }
  gaps_ = 0;
  *packet = std::move(due->packet);
  pointer_ = due->timestamp + static_cast<std::uint32_t>(packet->span);
  packets_.erase(due);
  return Result::kPacket;
}

void PlainJitterBuffer::Reset() {
  started_ = false;
  prefill_ = 0;
  gaps_ = 0;
  packets_.clear();
}

}  // namespace standin
