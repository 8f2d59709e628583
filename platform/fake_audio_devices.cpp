#include "platform/fake_audio_devices.h"

#include <stdexcept>

namespace platform {

namespace {

MixerLineDescription Line(DWORD componentType, const char* name, DWORD controlId,
                          const char* controlName) {
  MixerLineDescription line;
  line.componentType = componentType;
  line.name = AsciiToWide(name);
  line.controls.push_back({controlId, MIXERCONTROL_CONTROLTYPE_VOLUME, AsciiToWide(controlName)});
  return line;
}

}  // namespace

UINT FakeAudioDevices::AddCard(Layout layout, std::string_view name) {
  std::lock_guard lock(mutex_);
  Card card;
  card.layout = layout;
  card.name = NarrowToWide(name);
  for (DWORD id : {kRecordingVolumeId, kMicrophoneVolumeId, kSpeakerVolumeId, kCompactDiscVolumeId,
                   kWaveOutVolumeId})
    card.volumes[id] = kInitialVolume;
  if (layout == Layout::kSpeakersOnly) card.volumes.erase(kWaveOutVolumeId);
  cards_.push_back(std::move(card));
  return static_cast<UINT>(cards_.size() - 1);
}

void FakeAudioDevices::SetPreferredCard(UINT card) {
  std::lock_guard lock(mutex_);
  CardLocked(card);
  preferred_ = card;
}

void FakeAudioDevices::SimulateDeviceChange(UINT card) {
  std::lock_guard lock(mutex_);
  ++CardLocked(card).generation;
}

void FakeAudioDevices::SetPresent(UINT card, bool present) {
  std::lock_guard lock(mutex_);
  Card& entry = CardLocked(card);
  if (entry.present != present) ++entry.generation;
  entry.present = present;
}

void FakeAudioDevices::SimulateWaveOutOpenError(UINT card, MMRESULT code) {
  std::lock_guard lock(mutex_);
  CardLocked(card).openError = code;
}

DWORD FakeAudioDevices::Volume(UINT card, DWORD controlId) const {
  std::lock_guard lock(mutex_);
  return CardLocked(card).volumes.at(controlId);
}

void FakeAudioDevices::SetVolume(UINT card, DWORD controlId, DWORD value) {
  std::lock_guard lock(mutex_);
  CardLocked(card).volumes.at(controlId) = value;
}

int FakeAudioDevices::VolumeWrites(UINT card) const {
  std::lock_guard lock(mutex_);
  return CardLocked(card).volumeWrites;
}

int FakeAudioDevices::WaveOutOpens(UINT card) const {
  std::lock_guard lock(mutex_);
  return CardLocked(card).waveOutOpens;
}

int FakeAudioDevices::OpenWaveOutStreams() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(streams_.size());
}

UINT FakeAudioDevices::MixerCount() {
  std::lock_guard lock(mutex_);
  return static_cast<UINT>(cards_.size());
}

bool FakeAudioDevices::DescribeMixer(UINT mixer, MixerDescription* description) {
  std::lock_guard lock(mutex_);
  if (mixer >= cards_.size() || !cards_[mixer].present) return false;
  const Card& card = cards_[mixer];
  MixerDestinationDescription recording;
  recording.line = Line(MIXERLINE_COMPONENTTYPE_DST_WAVEIN, "Recording Control", kRecordingVolumeId,
                        "Recording Volume");
  recording.sources.push_back(Line(MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, "Microphone",
                                   kMicrophoneVolumeId, "Microphone Volume"));
  MixerDestinationDescription speakers;
  speakers.line =
      Line(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, "Speakers", kSpeakerVolumeId, "Master Volume");
  speakers.sources.push_back(
      Line(MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, "CD Audio", kCompactDiscVolumeId, "CD Volume"));
  if (card.layout == Layout::kSpeakersWithWaveOut) {
    MixerLineDescription wave =
        Line(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, "Wave", kWaveOutVolumeId, "Wave Volume");
    wave.targetType = MIXERLINE_TARGETTYPE_WAVEOUT;
    wave.targetDevice = mixer;
    speakers.sources.push_back(std::move(wave));
  }
  description->name = card.name;
  description->destinations = {std::move(recording), std::move(speakers)};
  return true;
}

unsigned FakeAudioDevices::MixerGeneration(UINT mixer) {
  std::lock_guard lock(mutex_);
  if (mixer >= cards_.size() || !cards_[mixer].present) return 0;
  return cards_[mixer].generation;
}

MMRESULT FakeAudioDevices::GetControlValue(UINT mixer, DWORD controlId, DWORD* value) {
  std::lock_guard lock(mutex_);
  if (mixer >= cards_.size() || !cards_[mixer].present) return MMSYSERR_NODRIVER;
  auto found = cards_[mixer].volumes.find(controlId);
  if (found == cards_[mixer].volumes.end()) return MIXERR_INVALCONTROL;
  *value = found->second;
  return MMSYSERR_NOERROR;
}

MMRESULT FakeAudioDevices::SetControlValue(UINT mixer, DWORD controlId, DWORD value) {
  std::lock_guard lock(mutex_);
  if (mixer >= cards_.size() || !cards_[mixer].present) return MMSYSERR_NODRIVER;
  auto found = cards_[mixer].volumes.find(controlId);
  if (found == cards_[mixer].volumes.end()) return MIXERR_INVALCONTROL;
  found->second = value;
  ++cards_[mixer].volumeWrites;
  return MMSYSERR_NOERROR;
}

UINT FakeAudioDevices::WaveOutCount() {
  std::lock_guard lock(mutex_);
  return static_cast<UINT>(cards_.size());
}

bool FakeAudioDevices::WaveOutMixer(UINT device, UINT* mixer) {
  std::lock_guard lock(mutex_);
  Card* card = CardOfLocked(device);
  if (!card || !card->present) return false;
  *mixer = static_cast<UINT>(card - cards_.data());
  return true;
}

MMRESULT FakeAudioDevices::OpenWaveOut(UINT device, const WAVEFORMATEX& /*format*/, void** stream) {
  std::lock_guard lock(mutex_);
  Card* card = CardOfLocked(device);
  if (!card) return MMSYSERR_BADDEVICEID;
  if (!card->present) return MMSYSERR_NODRIVER;
  if (card->openError != MMSYSERR_NOERROR) return card->openError;
  ++card->waveOutOpens;
  streams_.emplace(++lastStream_, static_cast<UINT>(card - cards_.data()));
  *stream = reinterpret_cast<void*>(lastStream_);
  return MMSYSERR_NOERROR;
}

MMRESULT FakeAudioDevices::ResetWaveOut(void* stream) {
  std::lock_guard lock(mutex_);
  return streams_.count(reinterpret_cast<UINT_PTR>(stream)) != 0 ? MMSYSERR_NOERROR
                                                                 : MMSYSERR_INVALHANDLE;
}

MMRESULT FakeAudioDevices::CloseWaveOut(void* stream) {
  std::lock_guard lock(mutex_);
  return streams_.erase(reinterpret_cast<UINT_PTR>(stream)) != 0 ? MMSYSERR_NOERROR
                                                                 : MMSYSERR_INVALHANDLE;
}

FakeAudioDevices::Card* FakeAudioDevices::CardOfLocked(UINT device) {
  UINT card = device == WAVE_MAPPER ? preferred_ : device;
  return card < cards_.size() ? &cards_[card] : nullptr;
}

FakeAudioDevices::Card& FakeAudioDevices::CardLocked(UINT card) {
  if (card >= cards_.size()) throw std::out_of_range("FakeAudioDevices: no such card");
  return cards_[card];
}

const FakeAudioDevices::Card& FakeAudioDevices::CardLocked(UINT card) const {
  if (card >= cards_.size()) throw std::out_of_range("FakeAudioDevices: no such card");
  return cards_[card];
}

}  // namespace platform
