// The sound-device and timer code over the real winmm and user32 of Wine:
// the playback volume through the mixer with no sound device and with ALSA's
// null device, and thread timers firing while the thread pumps messages.
#include <cstdio>
#include <string>

#include "audio/audio_device_manager.h"
#include "audio/timer.h"
#include "medley/audio_control.h"
#include "medley/media_handler.h"
#include "platform/com_ptr.h"
#include "platform/message_queue.h"
#include "platform/mixer.h"
#include "tests/wine/wine_checks.h"

namespace wine_tests {

namespace {

// GetSpeakerVolume through the object's IAudioControl, where it has one:
// without a device there is no value.
void CheckSpeakerVolumeThroughTheObject(Checks& checks, bool device) {
  if (device) return;
  platform::ComPtr<IAudioControl> audio;
  HRESULT hr = CoCreateInstance(CLSID_GipsMediaHandler, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAudioControl, audio.ReceiveVoid());
  if (!checks.ExpectHr(hr, S_OK, "no device: CoCreateInstance as IAudioControl")) return;
  LONG percent = 0;
  checks.Expect(audio->GetSpeakerVolume(&percent, 0) == S_FALSE && percent == -1,
                "no device: GetSpeakerVolume has no value");
}

class CountingCallback : public ITimerCallback {
 public:
  void OnTimer(CTimer*) override { ++fired; }
  int fired = 0;
};

}  // namespace

void CheckMixer(Checks& checks, const Options& options) {
  const bool device = options.audio == AudioSetup::kNullDevice;
  const std::string setup = device ? "null device: " : "no device: ";
  const UINT waveOuts = waveOutGetNumDevs();
  checks.Expect(device ? waveOuts >= 1 : waveOuts == 0, setup + "wave-out devices",
                std::to_string(waveOuts));

  AudioDeviceManager manager;
  checks.Expect(manager.IsMasterOpen() == device, setup + "the speaker volume of mixer 0");
  if (!device) {
    checks.Expect(
        !manager.SelectDevice(-1) && manager.PlaybackDevice() == -1 && manager.GetVolume() == -1,
        setup + "no playback device, no volume");
    CheckSpeakerVolumeThroughTheObject(checks, false);
    return;
  }

  // The master control on the real mixer: what is written reads back.
  MixerVolumeControl master;
  if (checks.Expect(master.Open(0, false, 0), setup + "mixer 0 speaker volume control opens")) {
    for (WORD value : {WORD{0x4000}, WORD{0xC000}}) {
      master.SetValue(value);
      LONG read = master.GetValue();
      checks.Expect(read >= value - 1 && read <= value + 1,
                    setup + "mixer value " + std::to_string(value) + " reads back",
                    std::to_string(read));
    }
  }
  // The device's own line: the wave-out device opens and is selected. Wine's
  // mixerOpen refuses wave-out handles (MIXER_OBJECTF_HWAVEOUT), which
  // Windows accepts; then no volume can be had for the device.
  bool controlled = manager.SelectDevice(0);
  checks.Expect(manager.PlaybackDevice() == 0, setup + "wave-out device 0 is selected");
  if (controlled) {
    manager.SetVolume(40);
    LONG volume = manager.GetVolume();
    checks.Expect(volume == 40, setup + "a device volume set through the mixer reads back",
                  std::to_string(volume));
  } else {
    std::printf(
        "note %sthis mixer does not open by wave-out handle; the device volume is "
        "unavailable (%ld)\n",
        setup.c_str(), static_cast<long>(manager.GetVolume()));
  }
}

void CheckTimers(Checks& checks) {
  CountingCallback periodic;
  CTimer timer;
  timer.Start(20, &periodic);
  checks.Expect(timer.IsRunning(), "SetTimer gives a timer");
  platform::PumpMessagesFor(250);
  checks.Expect(periodic.fired >= 3, "a periodic timer fires while messages are pumped",
                std::to_string(periodic.fired) + " times");
  timer.Stop();
  const int firedBeforeStop = periodic.fired;
  platform::PumpMessagesFor(100);
  checks.Expect(periodic.fired == firedBeforeStop && !timer.IsRunning(),
                "a stopped timer does not fire");

  CountingCallback once;
  CToneTimer tone;
  tone.Start(20, &once);
  platform::PumpMessagesFor(200);
  checks.Expect(once.fired == 1 && !tone.IsRunning(), "a one-shot timer fires once",
                std::to_string(once.fired) + " times");
}

}  // namespace wine_tests
