#include "engine/standin/alsa_sound_device.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/alsa_sound_devices.h"

namespace standin {
namespace {

constexpr unsigned kLatencyMicroseconds = 60000;

class AlsaSoundDevice final : public SoundDevice {
 public:
  AlsaSoundDevice(snd_pcm_t* pcm, SoundDirection direction) : pcm_(pcm), direction_(direction) {}
  ~AlsaSoundDevice() override { snd_pcm_close(pcm_); }
  AlsaSoundDevice(const AlsaSoundDevice&) = delete;
  AlsaSoundDevice& operator=(const AlsaSoundDevice&) = delete;

  void Read(std::int16_t* pcm, int samples) override {
    int got = 0;
    if (direction_ == SoundDirection::kCapture) {
      snd_pcm_sframes_t frames = snd_pcm_readi(pcm_, pcm, static_cast<snd_pcm_uframes_t>(samples));
      if (frames < 0 && frames != -EAGAIN &&
          snd_pcm_recover(pcm_, static_cast<int>(frames), 1) == 0)
        snd_pcm_start(pcm_);
      got = frames > 0 ? static_cast<int>(frames) : 0;
    }
    std::fill(pcm + got, pcm + samples, 0);
  }

  void Write(const std::int16_t* pcm, int samples) override {
    if (direction_ != SoundDirection::kPlayback) return;
    snd_pcm_sframes_t frames = snd_pcm_writei(pcm_, pcm, static_cast<snd_pcm_uframes_t>(samples));
    if (frames < 0 && frames != -EAGAIN && snd_pcm_recover(pcm_, static_cast<int>(frames), 1) == 0)
      snd_pcm_writei(pcm_, pcm, static_cast<snd_pcm_uframes_t>(samples));
  }

 private:
  snd_pcm_t* pcm_;
  SoundDirection direction_;
};

}  // namespace

std::unique_ptr<SoundDevice> OpenAlsaDevice(const char* name, SoundDirection direction,
                                            int sampleRate) {
  snd_pcm_t* pcm = nullptr;
  const snd_pcm_stream_t stream =
      direction == SoundDirection::kCapture ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK;
  if (snd_pcm_open(&pcm, name, stream, SND_PCM_NONBLOCK) < 0) return nullptr;
  if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED, 1,
                         static_cast<unsigned>(sampleRate), 1, kLatencyMicroseconds) < 0) {
    snd_pcm_close(pcm);
    return nullptr;
  }
  if (direction == SoundDirection::kCapture) snd_pcm_start(pcm);
  return std::make_unique<AlsaSoundDevice>(pcm, direction);
}

std::unique_ptr<SoundDevice> OpenSoundDevice(SoundDirection direction, int id, int sampleRate) {
  if (id == kNullDevice) return OpenNullSoundDevice();
  // The mixer numbers devices by the same rule, so its volume controls are
  // those of the device played here.
  const std::vector<platform::AlsaDeviceName> devices = platform::AlsaSoundDevices(
      direction == SoundDirection::kCapture ? platform::SoundStream::kCapture
                                            : platform::SoundStream::kPlayback);
  // Without any sound device every number is the null device.
  if (devices.empty()) return OpenNullSoundDevice();
  const std::optional<platform::AlsaDeviceName> device = platform::NumberedAlsaDevice(devices, id);
  if (!device) return nullptr;
  return OpenAlsaDevice(device->pcm.c_str(), direction, sampleRate);
}

}  // namespace standin
