#include "audio/wave_out_device.h"

WaveOutDevice::WaveOutDevice() : format_{} {
  format_.wFormatTag = WAVE_FORMAT_PCM;
  format_.nChannels = 1;
  format_.nSamplesPerSec = 8000;
  format_.nAvgBytesPerSec = 8000;
  format_.nBlockAlign = 1;
  format_.wBitsPerSample = 8;
  format_.cbSize = 0;
}

WaveOutDevice::~WaveOutDevice() { Close(); }

bool WaveOutDevice::Open() {
  if (open_) return true;
  MMRESULT result = waveOutOpen(&handle_, deviceId_, &format_,
                                reinterpret_cast<DWORD_PTR>(&WaveOutDevice::WaveOutProc),
                                reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION);
  if (result != MMSYSERR_NOERROR) {
    lastError_ = result;
    handle_ = nullptr;
    return false;
  }
  open_ = true;
  return true;
}

bool WaveOutDevice::Close() {
  if (!open_) return true;
  waveOutReset(handle_);
  MMRESULT result = waveOutClose(handle_);
  if (result != MMSYSERR_NOERROR) {
    lastError_ = result;
    return false;
  }
  open_ = false;
  handle_ = nullptr;
  return true;
}

// The device only opens and closes, so its notifications need no answer.
void CALLBACK WaveOutDevice::WaveOutProc(HWAVEOUT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}
