#include "audio/mixer_volume_control.h"

namespace {

HMIXEROBJ Object(HMIXER mixer) { return reinterpret_cast<HMIXEROBJ>(mixer); }

MIXERLINE EmptyLine() {
  MIXERLINE line{};
  line.cbStruct = sizeof line;
  return line;
}

}  // namespace

MixerVolumeControl::~MixerVolumeControl() { Close(); }

void MixerVolumeControl::Close() {
  if (mixer_) mixerClose(mixer_);
  mixer_ = nullptr;
  volumeControlId_ = kNoControl;
  source_ = 0;
}

bool MixerVolumeControl::Open(UINT source, bool output, DWORD_PTR callback) {
  Close();
  source_ = source;
  DWORD flags = source == 0 ? MIXER_OBJECTF_MIXER
                : output    ? MIXER_OBJECTF_HWAVEOUT
                            : MIXER_OBJECTF_HWAVEIN;
  if (callback != 0) flags |= CALLBACK_WINDOW;
  if (mixerOpen(&mixer_, source, callback, 0, flags) != MMSYSERR_NOERROR) {
    mixer_ = nullptr;
    Close();
    return false;
  }
  MIXERLINE line = EmptyLine();
  bool found = source == 0 ? FindSpeakerDestination(&line)
               : output    ? FindWaveOutSource(&line)
                           : FindRecordingDestination(&line);
  if (!found || !FindVolumeControl(line)) {
    Close();
    return false;
  }
  return true;
}

bool MixerVolumeControl::FindSpeakerDestination(MIXERLINE* line) {
  line->dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
  return mixerGetLineInfo(Object(mixer_), line,
                          MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) ==
         MMSYSERR_NOERROR;
}

bool MixerVolumeControl::FindRecordingDestination(MIXERLINE* line) {
  line->dwComponentType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
  return mixerGetLineInfo(Object(mixer_), line,
                          MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) ==
         MMSYSERR_NOERROR;
}

bool MixerVolumeControl::FindWaveOutSource(MIXERLINE* line) {
  MIXERCAPS caps{};
  if (mixerGetDevCaps(reinterpret_cast<UINT_PTR>(mixer_), &caps, sizeof caps) != MMSYSERR_NOERROR)
    return false;
  for (DWORD d = 0; d < caps.cDestinations; ++d) {
    MIXERLINE destination = EmptyLine();
    destination.dwDestination = d;
    if (mixerGetLineInfo(Object(mixer_), &destination,
                         MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_DESTINATION) != MMSYSERR_NOERROR)
      continue;
    if (destination.dwComponentType != MIXERLINE_COMPONENTTYPE_DST_SPEAKERS) continue;
    for (DWORD s = 0; s < destination.cConnections; ++s) {
      MIXERLINE candidate = EmptyLine();
      candidate.dwDestination = d;
      candidate.dwSource = s;
      if (mixerGetLineInfo(Object(mixer_), &candidate,
                           MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_SOURCE) != MMSYSERR_NOERROR)
        continue;
      if (candidate.dwComponentType == MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT) {
        *line = candidate;
        return true;
      }
    }
    return false;  // only the first speaker destination counts
  }
  return false;
}

bool MixerVolumeControl::FindVolumeControl(const MIXERLINE& line) {
  MIXERCONTROL control{};
  control.cbStruct = sizeof control;
  MIXERLINECONTROLS controls{};
  controls.cbStruct = sizeof controls;
  controls.dwLineID = line.dwLineID;
  controls.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
  controls.cControls = 1;
  controls.cbmxctrl = sizeof control;
  controls.pamxctrl = &control;
  if (mixerGetLineControls(Object(mixer_), &controls,
                           MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) !=
      MMSYSERR_NOERROR)
    return false;
  volumeControlId_ = control.dwControlID;
  return true;
}

bool MixerVolumeControl::IsValid() {
  if (!mixer_) return false;
  MIXERCAPS caps{};
  if (mixerGetDevCaps(reinterpret_cast<UINT_PTR>(mixer_), &caps, sizeof caps) == MMSYSERR_NOERROR)
    return true;
  Close();
  return false;
}

void MixerVolumeControl::SetValue(WORD value) {
  if (!IsValid() || volumeControlId_ == kNoControl) return;
  MIXERCONTROLDETAILS_UNSIGNED detail{value};
  MIXERCONTROLDETAILS details{};
  details.cbStruct = sizeof details;
  details.dwControlID = volumeControlId_;
  details.cChannels = 1;  // the same value on every channel
  details.cbDetails = sizeof detail;
  details.paDetails = &detail;
  mixerSetControlDetails(Object(mixer_), &details,
                         MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE);
}

LONG MixerVolumeControl::GetValue() {
  if (!IsValid() || volumeControlId_ == kNoControl) return -1;
  MIXERCONTROLDETAILS_UNSIGNED detail{};
  MIXERCONTROLDETAILS details{};
  details.cbStruct = sizeof details;
  details.dwControlID = volumeControlId_;
  details.cChannels = 1;
  details.cbDetails = sizeof detail;
  details.paDetails = &detail;
  if (mixerGetControlDetails(Object(mixer_), &details,
                             MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE) !=
      MMSYSERR_NOERROR)
    return -1;
  return static_cast<LONG>(detail.dwValue);
}
