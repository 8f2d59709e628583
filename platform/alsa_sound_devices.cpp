#include "platform/alsa_sound_devices.h"

#include <alsa/asoundlib.h>

#include <mutex>

namespace platform {

namespace {

constexpr const char* kDefaultName = "default";

void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// The first PCM of `card` in `stream`'s direction.
bool FirstPcm(int card, SoundStream stream, int* pcmDevice) {
  snd_ctl_t* control = nullptr;
  const std::string name = "hw:" + std::to_string(card);
  if (snd_ctl_open(&control, name.c_str(), 0) < 0) return false;
  snd_pcm_info_t* info = nullptr;
  bool found = false;
  if (snd_pcm_info_malloc(&info) == 0) {
    int device = -1;
    while (!found && snd_ctl_pcm_next_device(control, &device) == 0 && device >= 0) {
      snd_pcm_info_set_device(info, static_cast<unsigned>(device));
      snd_pcm_info_set_subdevice(info, 0);
      snd_pcm_info_set_stream(info, stream == SoundStream::kPlayback ? SND_PCM_STREAM_PLAYBACK
                                                                     : SND_PCM_STREAM_CAPTURE);
      if (snd_ctl_pcm_info(control, info) >= 0) {
        *pcmDevice = device;
        found = true;
      }
    }
    snd_pcm_info_free(info);
  }
  snd_ctl_close(control);
  return found;
}

bool DefaultControlOpens() {
  snd_ctl_t* control = nullptr;
  if (snd_ctl_open(&control, kDefaultName, 0) < 0) return false;
  snd_ctl_close(control);
  return true;
}

}  // namespace

std::vector<AlsaDeviceName> NumberAlsaDevices(const std::vector<AlsaCardPcm>& cards,
                                              bool defaultOpens) {
  std::vector<AlsaDeviceName> devices;
  devices.reserve(cards.size() + 1);
  for (const AlsaCardPcm& card : cards) {
    devices.push_back({"plughw:" + std::to_string(card.card) + "," + std::to_string(card.pcmDevice),
                       "hw:" + std::to_string(card.card)});
  }
  if (devices.empty() && defaultOpens) devices.push_back({kDefaultName, kDefaultName});
  return devices;
}

std::vector<AlsaDeviceName> AlsaSoundDevices(SoundStream stream) {
  QuietAlsaErrors();
  std::vector<AlsaCardPcm> cards;
  int card = -1;
  while (snd_card_next(&card) == 0 && card >= 0) {
    int pcmDevice = 0;
    if (FirstPcm(card, stream, &pcmDevice)) cards.push_back({card, pcmDevice});
  }
  // Only asked without cards: a sound server's control connects to it.
  return NumberAlsaDevices(cards, cards.empty() && DefaultControlOpens());
}

std::optional<AlsaDeviceName> NumberedAlsaDevice(const std::vector<AlsaDeviceName>& devices,
                                                 int id) {
  if (devices.empty() || id < -1 || id >= static_cast<int>(devices.size())) return std::nullopt;
  if (id == -1) return AlsaDeviceName{kDefaultName, kDefaultName};
  return devices[static_cast<std::size_t>(id)];
}

void QuietAlsaErrors() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(&IgnoreAlsaError); });
}

}  // namespace platform
