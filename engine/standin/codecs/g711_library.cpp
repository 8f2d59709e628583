// The G.711 laws and packet loss concealment of the telephony library (spandsp).
#include "engine/standin/codecs/g711_codec.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include <spandsp/telephony.h>
#include <spandsp/bit_operations.h>
#include <spandsp/g711.h>
#include <spandsp/plc.h>

namespace standin {
namespace {

std::uint8_t EncodeMu(std::int16_t sample) { return linear_to_ulaw(sample); }
std::int16_t DecodeMu(std::uint8_t code) { return ulaw_to_linear(code); }
std::uint8_t EncodeA(std::int16_t sample) { return linear_to_alaw(sample); }
std::int16_t DecodeA(std::uint8_t code) { return alaw_to_linear(code); }

// spandsp's concealer; its state is one allocation freed with the object.
// At the start of a loss spandsp rotates its history ring with memcpy on
// overlapping ranges unless the ring starts at 0; handing it the whole
// history once more just before (which changes nothing else while no loss
// is pending) puts the ring at 0, so the library never copies overlapping
// memory.
class SpandspConcealer final : public LossConcealer {
 public:
  SpandspConcealer() : state_(plc_init(nullptr)) {}
  ~SpandspConcealer() override { plc_free(state_); }
  SpandspConcealer(const SpandspConcealer&) = delete;
  SpandspConcealer& operator=(const SpandspConcealer&) = delete;

  void Received(std::int16_t* pcm, std::size_t samples) override {
    if (state_ == nullptr) return;
    plc_rx(state_, pcm, static_cast<int>(samples));
    filling_ = false;
    const std::size_t keep = std::min(samples, history_.size());
    std::copy(history_.begin() + static_cast<long>(keep), history_.end(), history_.begin());
    std::copy(pcm + samples - keep, pcm + samples, history_.end() - static_cast<long>(keep));
  }
  void Fill(std::int16_t* pcm, std::size_t samples) override {
    if (state_ == nullptr) return;
    if (!filling_) plc_rx(state_, history_.data(), static_cast<int>(history_.size()));
    filling_ = true;
    plc_fillin(state_, pcm, static_cast<int>(samples));
  }

 private:
  plc_state_t* state_;
  bool filling_ = false;
  std::array<std::int16_t, PLC_HISTORY_LEN> history_{};  // the latest samples received
};

}  // namespace

std::unique_ptr<LossConcealer> LibraryConcealer() { return std::make_unique<SpandspConcealer>(); }

G711Law LibraryMuLaw() { return {EncodeMu, DecodeMu}; }
G711Law LibraryALaw() { return {EncodeA, DecodeA}; }

}  // namespace standin
