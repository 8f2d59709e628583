// The sound system's backend over ALSA. Wave-out devices are the playback
// devices of platform/alsa_sound_devices.h, numbered as the voice engine
// numbers them. Each has a mixer, the device's control; WAVE_MAPPER is the
// default device, whose mixer is its "default" control (listed after the
// devices' mixers when it is not one of them). A mixer shows one speaker
// destination whose volume is the control's "Master" playback element (or
// its first element with a playback volume), and under it one wave-out
// source line whose volume is the "PCM" element (or the same element as the
// speakers). ALSA ranges are scaled to 0..65535. Opening a wave-out device
// only checks that it exists: the PCM stays free for the engine, which may
// be playing on it. Without devices there are no mixers, so every open
// fails.
#include <alsa/asoundlib.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "platform/alsa_sound_devices.h"
#include "platform/audio_device_backend.h"

namespace platform {

namespace {

constexpr DWORD kSpeakerVolumeId = 1;
constexpr DWORD kWaveOutVolumeId = 2;

// The mixers: the devices' controls, then the default control when it is not
// one of them. `defaultMixer` receives the index of the default control.
std::vector<std::string> Mixers(const std::vector<AlsaDeviceName>& devices, UINT* defaultMixer) {
  std::vector<std::string> mixers;
  mixers.reserve(devices.size() + 1);
  for (const AlsaDeviceName& device : devices) mixers.push_back(device.control);
  if (devices.empty()) return mixers;
  const AlsaDeviceName mapper = *NumberedAlsaDevice(devices, -1);
  auto found = std::find(mixers.begin(), mixers.end(), mapper.control);
  *defaultMixer = static_cast<UINT>(found - mixers.begin());
  if (found == mixers.end()) mixers.push_back(mapper.control);
  return mixers;
}

std::vector<std::string> Mixers() {
  UINT defaultMixer = 0;
  return Mixers(AlsaSoundDevices(SoundStream::kPlayback), &defaultMixer);
}

std::string MixerName(const std::string& control) {
  snd_ctl_t* handle = nullptr;
  std::string name = control;
  snd_ctl_card_info_t* info = nullptr;
  if (snd_ctl_open(&handle, control.c_str(), 0) < 0) return name;
  if (snd_ctl_card_info_malloc(&info) == 0) {
    if (snd_ctl_card_info(handle, info) >= 0 && *snd_ctl_card_info_get_name(info))
      name = snd_ctl_card_info_get_name(info);
    snd_ctl_card_info_free(info);
  }
  snd_ctl_close(handle);
  return name;
}

// The simple mixer of one ALSA control, open for the lifetime of the object.
class ControlMixer {
 public:
  explicit ControlMixer(const std::string& control) {
    const char* name = control.c_str();
    if (snd_mixer_open(&mixer_, 0) < 0) {
      mixer_ = nullptr;
      return;
    }
    if (snd_mixer_attach(mixer_, name) < 0 ||
        snd_mixer_selem_register(mixer_, nullptr, nullptr) < 0 || snd_mixer_load(mixer_) < 0) {
      snd_mixer_close(mixer_);
      mixer_ = nullptr;
    }
  }
  ~ControlMixer() {
    if (mixer_) snd_mixer_close(mixer_);
  }
  ControlMixer(const ControlMixer&) = delete;
  ControlMixer& operator=(const ControlMixer&) = delete;

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

// What a wave-out handle of this backend holds: the device it names.
struct WaveOutProbe {
  AlsaDeviceName device;
};

class AlsaAudioDevices final : public AudioDeviceBackend {
 public:
  UINT MixerCount() override { return static_cast<UINT>(Mixers().size()); }

  bool DescribeMixer(UINT mixer, MixerDescription* description) override {
    const std::vector<std::string> mixers = Mixers();
    if (mixer >= mixers.size()) return false;
    ControlMixer card(mixers[mixer]);
    MixerDestinationDescription speakers;
    speakers.line = VolumeLine(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, "Speakers",
                               card.Element(kSpeakerVolumeId) != nullptr, kSpeakerVolumeId);
    MixerLineDescription wave =
        VolumeLine(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, "Wave",
                   card.Element(kWaveOutVolumeId) != nullptr, kWaveOutVolumeId);
    wave.targetType = MIXERLINE_TARGETTYPE_WAVEOUT;
    wave.targetDevice = mixer;
    speakers.sources.push_back(std::move(wave));
    description->name = NarrowToWide(MixerName(mixers[mixer]));
    description->destinations = {std::move(speakers)};
    return true;
  }

  unsigned MixerGeneration(UINT mixer) override { return mixer < MixerCount() ? 1 : 0; }

  MMRESULT GetControlValue(UINT mixer, DWORD controlId, DWORD* value) override {
    const std::vector<std::string> mixers = Mixers();
    if (mixer >= mixers.size()) return MMSYSERR_NODRIVER;
    ControlMixer card(mixers[mixer]);
    snd_mixer_elem_t* element = card.Element(controlId);
    if (!element) return MIXERR_INVALCONTROL;
    long minimum = 0;
    long maximum = 0;
    long volume = 0;
    snd_mixer_selem_channel_id_t channel =
        snd_mixer_selem_is_playback_mono(element) ? SND_MIXER_SCHN_MONO : SND_MIXER_SCHN_FRONT_LEFT;
    if (snd_mixer_selem_get_playback_volume_range(element, &minimum, &maximum) < 0 ||
        snd_mixer_selem_get_playback_volume(element, channel, &volume) < 0)
      return MMSYSERR_ERROR;
    *value = maximum > minimum ? static_cast<DWORD>(std::lround(double(volume - minimum) * 65535.0 /
                                                                double(maximum - minimum)))
                               : 0;
    return MMSYSERR_NOERROR;
  }

  MMRESULT SetControlValue(UINT mixer, DWORD controlId, DWORD value) override {
    const std::vector<std::string> mixers = Mixers();
    if (mixer >= mixers.size()) return MMSYSERR_NODRIVER;
    ControlMixer card(mixers[mixer]);
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

  UINT WaveOutCount() override {
    return static_cast<UINT>(AlsaSoundDevices(SoundStream::kPlayback).size());
  }

  bool WaveOutMixer(UINT device, UINT* mixer) override {
    const std::vector<AlsaDeviceName> devices = AlsaSoundDevices(SoundStream::kPlayback);
    UINT defaultMixer = 0;
    const std::vector<std::string> mixers = Mixers(devices, &defaultMixer);
    if (devices.empty()) return false;
    if (device == WAVE_MAPPER) {
      *mixer = defaultMixer;
      return true;
    }
    if (device >= devices.size()) return false;
    *mixer = device;  // device N's control is mixer N
    return true;
  }

  MMRESULT OpenWaveOut(UINT device, const WAVEFORMATEX&, void** stream) override {
    const std::vector<AlsaDeviceName> devices = AlsaSoundDevices(SoundStream::kPlayback);
    const int id = device == WAVE_MAPPER ? -1 : static_cast<int>(device);
    const std::optional<AlsaDeviceName> found = device == WAVE_MAPPER || device < devices.size()
                                                    ? NumberedAlsaDevice(devices, id)
                                                    : std::nullopt;
    if (!found) return devices.empty() ? MMSYSERR_NODRIVER : MMSYSERR_BADDEVICEID;
    *stream = new WaveOutProbe{*found};
    return MMSYSERR_NOERROR;
  }

  MMRESULT ResetWaveOut(void*) override { return MMSYSERR_NOERROR; }

  MMRESULT CloseWaveOut(void* stream) override {
    delete static_cast<WaveOutProbe*>(stream);
    return MMSYSERR_NOERROR;
  }
};

}  // namespace

AudioDeviceBackend& SystemAudioDeviceBackend() {
  static AlsaAudioDevices* backend = new AlsaAudioDevices;
  return *backend;
}

}  // namespace platform
