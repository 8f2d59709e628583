// The receive-side jitter buffer of a channel: packets go in as they
// arrive, in any order; the media thread takes out what is due each frame.
// Times are RTP clock ticks; timestamps may wrap.
//
// CreateJitterBuffer gives the build's buffer: speexdsp's adaptive one where
// the library exists (Linux), else PlainJitterBuffer, a fixed delay of
// kDelayFrames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace standin {

// The largest payload kept; larger ones are dropped (no codec here sends so
// much in one packet).
constexpr std::size_t kMaxJitterPayload = 2048;

struct JitterPacket {
  std::vector<std::uint8_t> payload;
  int payloadType = 0;
  int span = 0;  // ticks the packet covers
};

class JitterBuffer {
 public:
  enum class Result {
    kPacket,  // `packet` holds the payload that is due
    kGap,     // nothing is due: fill `packet->span` ticks (0 before the first packet)
  };

  virtual ~JitterBuffer() = default;
  // Keeps a packet covering `span` ticks from `timestamp`.
  virtual void Put(const std::uint8_t* payload, std::size_t size, std::uint32_t timestamp, int span,
                   std::uint16_t sequence, int payloadType) = 0;
  // What is due for the next `span` ticks.
  virtual Result Get(int span, JitterPacket* packet) = 0;
  // Ends one frame period; called once after each Get.
  virtual void Tick() = 0;
  virtual void Reset() = 0;
  // Packets held now.
  virtual int Held() const = 0;
};

std::unique_ptr<JitterBuffer> CreateJitterBuffer(int ticksPerFrame);

// A fixed-delay buffer: playout starts kDelayFrames after the first packet;
// late packets are dropped, at most kCapacity are held, and a packet more
// than kWindowFrames ahead restarts the stream at it.
class PlainJitterBuffer final : public JitterBuffer {
 public:
  static constexpr int kDelayFrames = 3;
  static constexpr int kCapacity = 64;
  static constexpr int kWindowFrames = 100;

  explicit PlainJitterBuffer(int ticksPerFrame);

  void Put(const std::uint8_t* payload, std::size_t size, std::uint32_t timestamp, int span,
           std::uint16_t sequence, int payloadType) override;
  Result Get(int span, JitterPacket* packet) override;
  void Tick() override {}
  void Reset() override;
  int Held() const override { return static_cast<int>(packets_.size()); }

 private:
  struct Stored {
    std::uint32_t timestamp;
    JitterPacket packet;
  };

  int ticksPerFrame_;
  bool started_ = false;
  int prefill_ = 0;
  int gaps_ = 0;
  std::uint32_t pointer_ = 0;  // the next tick to play
  std::vector<Stored> packets_;
};

}  // namespace standin
