#include <algorithm>

#include "engine/standin/sound_device.h"

namespace standin {
namespace {

class NullSoundDevice final : public SoundDevice {
 public:
  void Read(std::int16_t* pcm, int samples) override { std::fill(pcm, pcm + samples, 0); }
  void Write(const std::int16_t*, int) override {}
  bool IsNull() const override { return true; }
};

}  // namespace

std::unique_ptr<SoundDevice> OpenNullSoundDevice() { return std::make_unique<NullSoundDevice>(); }

}  // namespace standin
