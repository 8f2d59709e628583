// Sound cards made up for tests, with real state, for the mixer and wave-out
// functions of platform/mixer.h:
//
//   platform::FakeAudioDevices devices;
//   devices.AddCard();                       // wave-out device 0, mixer 0
//   platform::ScopedAudioDeviceBackendForTesting use(devices);
//
// Card n is wave-out device n and mixer n. Its mixer has, in this order, a
// recording destination (MIXERLINE_COMPONENTTYPE_DST_WAVEIN, with a
// microphone source) and a speaker destination (DST_SPEAKERS) whose sources
// are a CD line and, in the kSpeakersWithWaveOut layout, the wave-out line
// of device n (SRC_WAVEOUT). Every line has one volume control; the control
// identifiers are the same on every card (k*VolumeId). No card at all is the
// machine without a sound card. Thread-safe.
#pragma once

#include <map>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/audio_device_backend.h"

namespace platform {

class FakeAudioDevices final : public AudioDeviceBackend {
 public:
  enum class Layout { kSpeakersWithWaveOut, kSpeakersOnly };

  static constexpr DWORD kRecordingVolumeId = 1;
  static constexpr DWORD kMicrophoneVolumeId = 2;
  static constexpr DWORD kSpeakerVolumeId = 3;
  static constexpr DWORD kCompactDiscVolumeId = 4;
  static constexpr DWORD kWaveOutVolumeId = 5;
  // Every volume starts here.
  static constexpr DWORD kInitialVolume = 0xC000;

  FakeAudioDevices() = default;
  FakeAudioDevices(const FakeAudioDevices&) = delete;
  FakeAudioDevices& operator=(const FakeAudioDevices&) = delete;

  // Adds a card and answers its number.
  UINT AddCard(Layout layout = Layout::kSpeakersWithWaveOut, std::string_view name = "Fake Audio");
  // WAVE_MAPPER plays on `card` (card 0 until this is called).
  void SetPreferredCard(UINT card);
  // The device behind `card` is replaced, as after a driver reload: mixer
  // handles opened on it stop being valid; the volumes stay.
  void SimulateDeviceChange(UINT card);
  // An absent card keeps its number but has no mixer, and its wave-out
  // device answers MMSYSERR_NODRIVER.
  void SetPresent(UINT card, bool present);
  // waveOutOpen of `card` answers `code` from now on; MMSYSERR_NOERROR
  // lets it open again.
  void SimulateWaveOutOpenError(UINT card, MMRESULT code);

  DWORD Volume(UINT card, DWORD controlId) const;
  void SetVolume(UINT card, DWORD controlId, DWORD value);
  // Control values written to `card` so far.
  int VolumeWrites(UINT card) const;
  // Successful opens of `card`'s wave-out device so far.
  int WaveOutOpens(UINT card) const;
  // Wave-out streams open now, on all cards.
  int OpenWaveOutStreams() const;

  // AudioDeviceBackend
  UINT MixerCount() override;
  bool DescribeMixer(UINT mixer, MixerDescription* description) override;
  unsigned MixerGeneration(UINT mixer) override;
  MMRESULT GetControlValue(UINT mixer, DWORD controlId, DWORD* value) override;
  MMRESULT SetControlValue(UINT mixer, DWORD controlId, DWORD value) override;
  UINT WaveOutCount() override;
  bool WaveOutMixer(UINT device, UINT* mixer) override;
  MMRESULT OpenWaveOut(UINT device, const WAVEFORMATEX& format, void** stream) override;
  MMRESULT ResetWaveOut(void* stream) override;
  MMRESULT CloseWaveOut(void* stream) override;

 private:
  struct Card {
    Layout layout = Layout::kSpeakersWithWaveOut;
    OleString name;
    bool present = true;
    unsigned generation = 1;
    MMRESULT openError = MMSYSERR_NOERROR;
    std::map<DWORD, DWORD> volumes;
    int volumeWrites = 0;
    int waveOutOpens = 0;
  };

  // The card of `device`, WAVE_MAPPER resolved; null when there is none.
  Card* CardOfLocked(UINT device);
  Card& CardLocked(UINT card);
  const Card& CardLocked(UINT card) const;

  mutable std::mutex mutex_;
  std::vector<Card> cards_;
  UINT preferred_ = 0;
  std::map<UINT_PTR, UINT> streams_;  // stream → card
  UINT_PTR lastStream_ = 0;
};

}  // namespace platform
