// The handle tables that the POSIX mixer and wave-out functions share: one
// process-wide state whose mutex every function holds while it reads or
// changes the tables or calls the backend (functions ending in Locked expect
// it held). Internal to medley_platform_audio.
#pragma once

#include <map>
#include <mutex>

#include "platform/audio_device_backend.h"
#include "platform/mixer.h"

namespace platform::winmm_posix {

// Handles start above every plausible device identifier, so that
// mixerGetDevCaps can tell a handle from an identifier.
constexpr UINT_PTR kFirstHandle = 0x1000;

struct MixerHandle {
  AudioDeviceBackend* backend;
  UINT mixer;
  unsigned generation;
};

struct WaveOutHandle {
  AudioDeviceBackend* backend;
  UINT device;
  void* stream;
  DWORD_PTR callback;  // a function, or 0
  DWORD_PTR instance;
};

struct MixerState {
  std::mutex mutex;
  AudioDeviceBackend* override = nullptr;
  std::map<UINT_PTR, MixerHandle> mixers;
  std::map<UINT_PTR, WaveOutHandle> waveOuts;
  UINT_PTR lastHandle = kFirstHandle;
};

MixerState& State();

// The backend a test put in place, else the system's.
AudioDeviceBackend& BackendLocked(MixerState& state);

// A new handle value that fits 32 bits, used by neither table.
UINT_PTR NewHandleLocked(MixerState& state);

template <class Handle>
UINT_PTR HandleValue(Handle handle) {
  return reinterpret_cast<UINT_PTR>(handle);
}

}  // namespace platform::winmm_posix
