// The shared handle tables of the POSIX mixer and wave-out functions, and
// the choice of the audio device backend behind them.
#include "platform/mixer_state_posix.h"

namespace platform::winmm_posix {

MixerState& State() {
  static MixerState* state = new MixerState;
  return *state;
}

AudioDeviceBackend& BackendLocked(MixerState& state) {
  return state.override ? *state.override : platform::SystemAudioDeviceBackend();
}

// A new handle value that fits 32 bits.
UINT_PTR NewHandleLocked(MixerState& state) {
  do {
    if (++state.lastHandle > 0xFFFFFFFFu) state.lastHandle = kFirstHandle;
  } while (state.mixers.count(state.lastHandle) != 0 ||
           state.waveOuts.count(state.lastHandle) != 0);
  return state.lastHandle;
}

}  // namespace platform::winmm_posix

namespace platform {

using winmm_posix::BackendLocked;
using winmm_posix::MixerState;
using winmm_posix::State;

AudioDeviceBackend& CurrentAudioDeviceBackend() {
  MixerState& state = State();
  std::lock_guard lock(state.mutex);
  return BackendLocked(state);
}

ScopedAudioDeviceBackendForTesting::ScopedAudioDeviceBackendForTesting(AudioDeviceBackend& backend)
    : backend_(&backend) {
  MixerState& state = State();
  std::lock_guard lock(state.mutex);
  previous_ = state.override;
  state.override = backend_;
}

ScopedAudioDeviceBackendForTesting::~ScopedAudioDeviceBackendForTesting() {
  MixerState& state = State();
  std::lock_guard lock(state.mutex);
  state.override = previous_;
  std::erase_if(state.mixers, [&](const auto& entry) { return entry.second.backend == backend_; });
  std::erase_if(state.waveOuts, [&](const auto& entry) {
    if (entry.second.backend != backend_) return false;
    backend_->CloseWaveOut(entry.second.stream);
    return true;
  });
}

}  // namespace platform
