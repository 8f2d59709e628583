// The winmm wave-out functions over an AudioDeviceBackend: argument and
// format checks, the handle table and the open and close notifications.
#include "platform/mixer.h"

#include "platform/mixer_state_posix.h"

namespace {

using platform::AudioDeviceBackend;
using platform::winmm_posix::BackendLocked;
using platform::winmm_posix::HandleValue;
using platform::winmm_posix::MixerState;
using platform::winmm_posix::NewHandleLocked;
using platform::winmm_posix::State;
using platform::winmm_posix::WaveOutHandle;

using WaveOutCallback = void(CALLBACK*)(HWAVEOUT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR);

void Notify(const WaveOutHandle& handle, UINT_PTR value, UINT message) {
  if (handle.callback == 0) return;
  auto callback = reinterpret_cast<WaveOutCallback>(handle.callback);
  callback(reinterpret_cast<HWAVEOUT>(value), message, handle.instance, 0, 0);
}

bool IsPlayablePcm(const WAVEFORMATEX& format) {
  return format.wFormatTag == WAVE_FORMAT_PCM && (format.nChannels == 1 || format.nChannels == 2) &&
         (format.wBitsPerSample == 8 || format.wBitsPerSample == 16) && format.nSamplesPerSec > 0 &&
         format.nBlockAlign == format.nChannels * format.wBitsPerSample / 8 &&
         format.nAvgBytesPerSec == format.nSamplesPerSec * format.nBlockAlign;
}

}  // namespace

UINT waveOutGetNumDevs() {
  MixerState& state = State();
  std::lock_guard lock(state.mutex);
  return BackendLocked(state).WaveOutCount();
}

MMRESULT waveOutOpen(LPHWAVEOUT phwo, UINT uDeviceID, LPCWAVEFORMATEX pwfx, DWORD_PTR dwCallback,
                     DWORD_PTR dwInstance, DWORD fdwOpen) {
  bool query = (fdwOpen & WAVE_FORMAT_QUERY) != 0;
  if (!pwfx || (!query && !phwo)) return MMSYSERR_INVALPARAM;
  if (phwo) *phwo = nullptr;
  DWORD callbackType = fdwOpen & CALLBACK_TYPEMASK;
  if (callbackType == CALLBACK_FUNCTION && dwCallback == 0) return MMSYSERR_INVALPARAM;
  if (callbackType != CALLBACK_NULL && callbackType != CALLBACK_FUNCTION)
    return MMSYSERR_NOTSUPPORTED;
  MixerState& state = State();
  std::unique_lock lock(state.mutex);
  AudioDeviceBackend& backend = BackendLocked(state);
  UINT count = backend.WaveOutCount();
  if (uDeviceID == WAVE_MAPPER ? count == 0 : uDeviceID >= count)
    return uDeviceID == WAVE_MAPPER ? MMSYSERR_NODRIVER : MMSYSERR_BADDEVICEID;
  if (!IsPlayablePcm(*pwfx)) return WAVERR_BADFORMAT;
  if (query) return MMSYSERR_NOERROR;
  void* stream = nullptr;
  MMRESULT result = backend.OpenWaveOut(uDeviceID, *pwfx, &stream);
  if (result != MMSYSERR_NOERROR) return result;
  UINT_PTR value = NewHandleLocked(state);
  WaveOutHandle handle{&backend, uDeviceID, stream,
                       callbackType == CALLBACK_FUNCTION ? dwCallback : 0, dwInstance};
  state.waveOuts.emplace(value, handle);
  *phwo = reinterpret_cast<HWAVEOUT>(value);
  lock.unlock();
  Notify(handle, value, WOM_OPEN);
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutReset(HWAVEOUT hwo) {
  MixerState& state = State();
  std::lock_guard lock(state.mutex);
  auto found = state.waveOuts.find(HandleValue(hwo));
  if (found == state.waveOuts.end()) return MMSYSERR_INVALHANDLE;
  return found->second.backend->ResetWaveOut(found->second.stream);
}

MMRESULT waveOutClose(HWAVEOUT hwo) {
  MixerState& state = State();
  std::unique_lock lock(state.mutex);
  auto found = state.waveOuts.find(HandleValue(hwo));
  if (found == state.waveOuts.end()) return MMSYSERR_INVALHANDLE;
  MMRESULT result = found->second.backend->CloseWaveOut(found->second.stream);
  if (result != MMSYSERR_NOERROR) return result;
  WaveOutHandle handle = found->second;
  state.waveOuts.erase(found);
  lock.unlock();
  Notify(handle, HandleValue(hwo), WOM_CLOSE);
  return MMSYSERR_NOERROR;
}
