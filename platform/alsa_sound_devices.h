// The numbering of the machine's ALSA sound devices, shared by the voice
// engine (the device numbers of SetSoundDevices) and the mixer emulation
// (wave-out device ids), so that a number names the same device in both:
//   0, 1, ...  the ALSA cards that have a PCM of the direction, in card
//              order: PCM "plughw:C,D" (D the card's first such PCM) and
//              control "hw:C" for its mixer.
//   -1         the default device: PCM "default" and control "default".
// A machine without such a card whose "default" control opens (a sound
// server reached through ALSA's plug-in, for example) has the default device
// as its only numbered device, 0. A machine with neither has no devices, and
// -1 names nothing either.
// Functions may be called from any thread; each call asks ALSA afresh.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class SoundStream { kPlayback, kCapture };

struct AlsaDeviceName {
  std::string pcm;      // for snd_pcm_open
  std::string control;  // for snd_ctl_open and snd_mixer_attach
  bool operator==(const AlsaDeviceName&) const = default;
};

struct AlsaCardPcm {
  int card;
  int pcmDevice;
};

// The numbering rule over what the machine has: `cards` in card order and
// whether the default control opens.
std::vector<AlsaDeviceName> NumberAlsaDevices(const std::vector<AlsaCardPcm>& cards,
                                              bool defaultOpens);

// The numbered devices of the machine for `stream`.
std::vector<AlsaDeviceName> AlsaSoundDevices(SoundStream stream);

// Device `id` of `devices` (-1: the default device); nothing when there is no
// such device.
std::optional<AlsaDeviceName> NumberedAlsaDevice(const std::vector<AlsaDeviceName>& devices,
                                                 int id);

// Keeps alsa-lib from printing its complaints (missing cards, refused
// connections) on standard error: callers report failures through their
// results. Process-wide; idempotent.
void QuietAlsaErrors();

}  // namespace platform
