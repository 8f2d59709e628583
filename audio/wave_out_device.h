// WaveOutDevice: one wave-out device, opened only to learn which mixer serves
// it (its handle is a mixer source for MixerVolumeControl). Nothing is played.
// Used on the handler's thread.
#pragma once

#include "platform/mixer.h"

class WaveOutDevice {
 public:
  WaveOutDevice();
  // Closes the device.
  ~WaveOutDevice();
  WaveOutDevice(const WaveOutDevice&) = delete;
  WaveOutDevice& operator=(const WaveOutDevice&) = delete;

  // WAVE_MAPPER (-1 as a LONG) is the preferred device. Takes effect at the
  // next Open.
  void SetDeviceId(UINT deviceId) { deviceId_ = deviceId; }
  UINT DeviceId() const { return deviceId_; }

  // Opens the device in 8 kHz 8-bit mono PCM; true when it is open (also
  // when it already was). A failure's code is kept in LastError.
  bool Open();
  // Stops any playback and closes the device; true when it is closed. On
  // failure the device stays open.
  bool Close();
  bool IsOpen() const { return open_; }
  // The open device's handle; null when closed.
  HWAVEOUT Handle() const { return open_ ? handle_ : nullptr; }
  MMRESULT LastError() const { return lastError_; }

 private:
  static void CALLBACK WaveOutProc(HWAVEOUT handle, UINT message, DWORD_PTR instance,
                                   DWORD_PTR param1, DWORD_PTR param2);

  UINT deviceId_ = 0;
  HWAVEOUT handle_ = nullptr;
  bool open_ = false;
  MMRESULT lastError_ = MMSYSERR_NOERROR;
  WAVEFORMATEX format_;
};
