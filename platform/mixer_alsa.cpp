// The sound system's backend over ALSA. Every card with a playback PCM is a
// wave-out device and a mixer, numbered in card order; WAVE_MAPPER is the
// "default" PCM, whose mixer is taken to be the first card's. A card's mixer
// shows one speaker destination whose volume is the card's "Master" playback
// element (or its first element with a playback volume), and under it one
// wave-out source line whose volume is the "PCM" element (or the same element
// as the speakers). ALSA ranges are scaled to 0..65535. Without cards there
// are no devices, so every open fails.
#include <alsa/asoundlib.h>

#include <cmath>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio_device_backend.h"

namespace platform {

namespace {

constexpr DWORD kSpeakerVolumeId = 1;
constexpr DWORD kWaveOutVolumeId = 2;
constexpr unsigned kPlaybackLatencyUs = 500000;

// ALSA reports failures through its return codes; its own printing would
// only clutter a host's console.
void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsa() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(&QuietAlsaErrors); });
}

struct PlaybackDevice {
  int card;
  int pcmDevice;
};

bool FirstPlaybackPcm(int card, int* pcmDevice) {
  snd_ctl_t* control = nullptr;
  std::string name = "hw:" + std::to_string(card);
  if (snd_ctl_open(&control, name.c_str(), 0) < 0) return false;
  snd_pcm_info_t* info = nullptr;
  bool found = false;
  if (snd_pcm_info_malloc(&info) == 0) {
    int device = -1;
    while (!found && snd_ctl_pcm_next_device(control, &device) == 0 && device >= 0) {
      snd_pcm_info_set_device(info, static_cast<unsigned>(device));
      snd_pcm_info_set_subdevice(info, 0);
      snd_pcm_info_set_stream(info, SND_PCM_STREAM_PLAYBACK);
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

std::vector<PlaybackDevice> PlaybackDevices() {
  SilenceAlsa();
  std::vector<PlaybackDevice> devices;
  int card = -1;
  while (snd_card_next(&card) == 0 && card >= 0) {
    int pcmDevice = 0;
    if (FirstPlaybackPcm(card, &pcmDevice)) devices.push_back({card, pcmDevice});
  }
  return devices;
}

std::string CardName(int card) {
  char* name = nullptr;
  if (snd_card_get_name(card, &name) < 0 || !name) return "ALSA card " + std::to_string(card);
  std::string result = name;
  std::free(name);
  return result;
}

// The simple mixer of one card, open for the lifetime of the object.
class CardMixer {
 public:
  explicit CardMixer(int card) {
    std::string name = "hw:" + std::to_string(card);
    if (snd_mixer_open(&mixer_, 0) < 0) {
      mixer_ = nullptr;
      return;
    }
    if (snd_mixer_attach(mixer_, name.c_str()) < 0 ||
        snd_mixer_selem_register(mixer_, nullptr, nullptr) < 0 || snd_mixer_load(mixer_) < 0) {
      snd_mixer_close(mixer_);
      mixer_ = nullptr;
    }
  }
  ~CardMixer() {
    if (mixer_) snd_mixer_close(mixer_);
  }
  CardMixer(const CardMixer&) = delete;
  CardMixer& operator=(const CardMixer&) = delete;

  // The element behind control `controlId`, or null.
  snd_mixer_elem_t* Element(DWORD controlId) const {
    if (!mixer_) return nullptr;
    snd_mixer_elem_t* first = nullptr;
    snd_mixer_elem_t* master = nullptr;
    snd_mixer_elem_t* pcm = nullptr;
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer_); e; e = snd_mixer_elem_next(e)) {
      if (!snd_mixer_selem_is_active(e) || !snd_mixer_selem_has_playback_volume(e)) continue;
      std::string name = snd_mixer_selem_get_name(e);
      if (!first) first = e;
      if (name == "Master" && !master) master = e;
      if (name == "PCM" && !pcm) pcm = e;
    }
    snd_mixer_elem_t* speaker = master ? master : first;
    if (controlId == kSpeakerVolumeId) return speaker;
    if (controlId == kWaveOutVolumeId) return pcm ? pcm : speaker;
    return nullptr;
  }

 private:
  snd_mixer_t* mixer_ = nullptr;
};

MixerLineDescription VolumeLine(DWORD componentType, const char* name, bool hasVolume,
                                DWORD controlId) {
  MixerLineDescription line;
  line.componentType = componentType;
  line.name = AsciiToWide(name);
  if (hasVolume)
    line.controls.push_back(
        {controlId, MIXERCONTROL_CONTROLTYPE_VOLUME, AsciiToWide(std::string(name) + " Volume")});
  return line;
}

snd_pcm_format_t PcmFormat(const WAVEFORMATEX& format) {
  return format.wBitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
}

MMRESULT FromAlsaOpenError(int error) {
  switch (error) {
    case -EBUSY:
      return MMSYSERR_ALLOCATED;
    case -ENOENT:
    case -ENODEV:
      return MMSYSERR_NODRIVER;
    default:
      return MMSYSERR_ERROR;
  }
}

class AlsaAudioDevices final : public AudioDeviceBackend {
 public:
  UINT MixerCount() override { return static_cast<UINT>(PlaybackDevices().size()); }

  bool DescribeMixer(UINT mixer, MixerDescription* description) override {
    std::vector<PlaybackDevice> devices = PlaybackDevices();
    if (mixer >= devices.size()) return false;
    CardMixer card(devices[mixer].card);
    MixerDestinationDescription speakers;
    speakers.line = VolumeLine(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, "Speakers",
                               card.Element(kSpeakerVolumeId) != nullptr, kSpeakerVolumeId);
    MixerLineDescription wave = VolumeLine(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, "Wave",
                                           card.Element(kWaveOutVolumeId) != nullptr,
                                           kWaveOutVolumeId);
    wave.targetType = MIXERLINE_TARGETTYPE_WAVEOUT;
    wave.targetDevice = mixer;
    speakers.sources.push_back(std::move(wave));
    description->name = NarrowToWide(CardName(devices[mixer].card));
    description->destinations = {std::move(speakers)};
    return true;
  }

  unsigned MixerGeneration(UINT mixer) override { return mixer < MixerCount() ? 1 : 0; }

  MMRESULT GetControlValue(UINT mixer, DWORD controlId, DWORD* value) override {
    std::vector<PlaybackDevice> devices = PlaybackDevices();
    if (mixer >= devices.size()) return MMSYSERR_NODRIVER;
    CardMixer card(devices[mixer].card);
    snd_mixer_elem_t* element = card.Element(controlId);
    if (!element) return MIXERR_INVALCONTROL;
    long minimum = 0;
    long maximum = 0;
    long volume = 0;
    snd_mixer_selem_channel_id_t channel = snd_mixer_selem_is_playback_mono(element)
                                               ? SND_MIXER_SCHN_MONO
                                               : SND_MIXER_SCHN_FRONT_LEFT;
    if (snd_mixer_selem_get_playback_volume_range(element, &minimum, &maximum) < 0 ||
        snd_mixer_selem_get_playback_volume(element, channel, &volume) < 0)
      return MMSYSERR_ERROR;
    *value = maximum > minimum ? static_cast<DWORD>(std::lround(
                                     double(volume - minimum) * 65535.0 / double(maximum - minimum)))
                               : 0;
    return MMSYSERR_NOERROR;
  }

  MMRESULT SetControlValue(UINT mixer, DWORD controlId, DWORD value) override {
    std::vector<PlaybackDevice> devices = PlaybackDevices();
    if (mixer >= devices.size()) return MMSYSERR_NODRIVER;
    CardMixer card(devices[mixer].card);
    snd_mixer_elem_t* element = card.Element(controlId);
    if (!element) return MIXERR_INVALCONTROL;
    long minimum = 0;
    long maximum = 0;
    if (snd_mixer_selem_get_playback_volume_range(element, &minimum, &maximum) < 0)
      return MMSYSERR_ERROR;
    long volume = minimum + std::lround(double(value) * double(maximum - minimum) / 65535.0);
    return snd_mixer_selem_set_playback_volume_all(element, volume) < 0 ? MMSYSERR_ERROR
                                                                         : MMSYSERR_NOERROR;
  }

  UINT WaveOutCount() override { return MixerCount(); }

  bool WaveOutMixer(UINT device, UINT* mixer) override {
    UINT count = MixerCount();
    if (count == 0) return false;
    if (device == WAVE_MAPPER) device = 0;
    if (device >= count) return false;
    *mixer = device;
    return true;
  }

  MMRESULT OpenWaveOut(UINT device, const WAVEFORMATEX& format, void** stream) override {
    std::string name = "default";
    if (device != WAVE_MAPPER) {
      std::vector<PlaybackDevice> devices = PlaybackDevices();
      if (device >= devices.size()) return MMSYSERR_BADDEVICEID;
      name = "plughw:" + std::to_string(devices[device].card) + "," +
             std::to_string(devices[device].pcmDevice);
    }
    snd_pcm_t* pcm = nullptr;
    int error = snd_pcm_open(&pcm, name.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (error < 0) return FromAlsaOpenError(error);
    if (snd_pcm_set_params(pcm, PcmFormat(format), SND_PCM_ACCESS_RW_INTERLEAVED,
                           format.nChannels, format.nSamplesPerSec, 1, kPlaybackLatencyUs) < 0) {
      snd_pcm_close(pcm);
      return WAVERR_BADFORMAT;
    }
    *stream = pcm;
    return MMSYSERR_NOERROR;
  }

  MMRESULT ResetWaveOut(void* stream) override {
    return snd_pcm_drop(static_cast<snd_pcm_t*>(stream)) < 0 ? MMSYSERR_ERROR : MMSYSERR_NOERROR;
  }

  MMRESULT CloseWaveOut(void* stream) override {
    return snd_pcm_close(static_cast<snd_pcm_t*>(stream)) < 0 ? MMSYSERR_ERROR
                                                               : MMSYSERR_NOERROR;
  }
};

}  // namespace

AudioDeviceBackend& SystemAudioDeviceBackend() {
  static AlsaAudioDevices* backend = new AlsaAudioDevices;
  return *backend;
}

}  // namespace platform
