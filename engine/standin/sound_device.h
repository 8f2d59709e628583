// The sound devices the engine plays to and records from: one direction of
// one device, 16-bit mono at the rate it was opened with, used in 20 ms
// frames by the media thread. Neither call blocks: the media thread keeps
// time with its own clock.
//
// Device numbers (the wave device ids of SetSoundDevices):
//   kNullDevice  the null device: silence in, sound out discarded. The
//                engine uses it until SetSoundDevices chooses another.
//   -1, 0, 1...  on Linux, ALSA devices numbered as the mixer numbers its
//                wave-out devices (platform/alsa_sound_devices.h): -1 the
//                default device, N the N-th card with a PCM of the
//                direction (or the default device when there is no card);
//                a number beyond them cannot be opened.
//                On Windows, wave devices numbered as the mixer numbers
//                them: -1 WAVE_MAPPER, N the wave device with id N.
// On a machine without any sound device (ALSA, or wave devices on Windows)
// every number gives the null device, so headless machines run calls as if
// nothing were missing.
// sound_device_posix.cpp and sound_device_win.cpp map the numbers; the
// build picks one.
#pragma once

#include <cstdint>
#include <memory>

namespace standin {

enum class SoundDirection { kCapture, kPlayback };

constexpr int kNullDevice = -2;

class SoundDevice {
 public:
  virtual ~SoundDevice() = default;
  // Capture: `samples` samples, silence for what the device had not ready.
  virtual void Read(std::int16_t* pcm, int samples) = 0;
  // Playback: queues `samples` samples; what the device has no room for is dropped.
  virtual void Write(const std::int16_t* pcm, int samples) = 0;
  // The null device: nothing to process on the way in.
  virtual bool IsNull() const { return false; }
};

// Null when device `id` cannot be opened.
std::unique_ptr<SoundDevice> OpenSoundDevice(SoundDirection direction, int id, int sampleRate);

std::unique_ptr<SoundDevice> OpenNullSoundDevice();

}  // namespace standin
