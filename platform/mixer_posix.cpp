// The winmm mixer functions over an AudioDeviceBackend: argument checks and
// the mapping of the backend's device description onto MIXERLINE and
// MIXERCONTROL. The wave-out functions are in wave_out_posix.cpp.
#include "platform/mixer.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/mixer_state_posix.h"

namespace {

using platform::AudioDeviceBackend;
using platform::MixerControlDescription;
using platform::MixerDescription;
using platform::MixerLineDescription;
using platform::winmm_posix::BackendLocked;
using platform::winmm_posix::HandleValue;
using platform::winmm_posix::MixerHandle;
using platform::winmm_posix::MixerState;
using platform::winmm_posix::NewHandleLocked;
using platform::winmm_posix::State;

constexpr DWORD kObjectTypeMask = 0xF0000000;
constexpr DWORD kMaximumValue = 0xFFFF;

MMRESULT CheckMixerHandleLocked(MixerState& state, UINT_PTR value, UINT* mixer) {
  auto found = state.mixers.find(value);
  if (found == state.mixers.end()) return MMSYSERR_INVALHANDLE;
  const MixerHandle& handle = found->second;
  if (handle.backend != &BackendLocked(state) ||
      handle.backend->MixerGeneration(handle.mixer) != handle.generation)
    return MMSYSERR_NODRIVER;
  *mixer = handle.mixer;
  return MMSYSERR_NOERROR;
}

MMRESULT WaveOutMixerLocked(AudioDeviceBackend& backend, UINT device, UINT* mixer) {
  if (device == WAVE_MAPPER ? backend.WaveOutCount() == 0 : device >= backend.WaveOutCount())
    return MMSYSERR_BADDEVICEID;
  return backend.WaveOutMixer(device, mixer) ? MMSYSERR_NOERROR : MMSYSERR_NODRIVER;
}

// The mixer that `object` stands for, read as the MIXER_OBJECTF_* part of
// `flags` says. There are no wave-in devices.
MMRESULT ResolveMixerLocked(MixerState& state, UINT_PTR object, DWORD flags, UINT* mixer) {
  AudioDeviceBackend& backend = BackendLocked(state);
  switch (flags & kObjectTypeMask) {
    case MIXER_OBJECTF_MIXER:
      if (object >= backend.MixerCount()) return MMSYSERR_BADDEVICEID;
      *mixer = static_cast<UINT>(object);
      return MMSYSERR_NOERROR;
    case MIXER_OBJECTF_HMIXER:
      return CheckMixerHandleLocked(state, object, mixer);
    case MIXER_OBJECTF_WAVEOUT:
      return WaveOutMixerLocked(backend, static_cast<UINT>(object), mixer);
    case MIXER_OBJECTF_HWAVEOUT: {
      auto found = state.waveOuts.find(object);
      if (found == state.waveOuts.end() || found->second.backend != &backend)
        return MMSYSERR_INVALHANDLE;
      return WaveOutMixerLocked(backend, found->second.device, mixer);
    }
    case MIXER_OBJECTF_WAVEIN:
      return MMSYSERR_BADDEVICEID;
    case MIXER_OBJECTF_HWAVEIN:
      return MMSYSERR_INVALHANDLE;
    default:
      return MMSYSERR_INVALFLAG;
  }
}

// Resolves the object to its mixer and describes that.
MMRESULT DescribeLocked(MixerState& state, HMIXEROBJ object, DWORD flags, UINT* mixer,
                        MixerDescription* description) {
  MMRESULT result = ResolveMixerLocked(state, HandleValue(object), flags, mixer);
  if (result != MMSYSERR_NOERROR) return result;
  return BackendLocked(state).DescribeMixer(*mixer, description) ? MMSYSERR_NOERROR
                                                                 : MMSYSERR_NODRIVER;
}

template <size_t N>
void CopyName(WCHAR (&out)[N], const platform::OleString& text) {
  size_t count = std::min(text.size(), N - 1);
  std::copy_n(text.begin(), count, out);
  out[count] = 0;
}

// One line of a mixer with its place: destinations have the line
// identifiers 0xFFFF0000 + destination, sources (source << 16) + destination.
struct LineRef {
  const MixerLineDescription* line;
  DWORD destination;
  DWORD source;
  bool isSource;
  DWORD connections;

  DWORD Id() const { return isSource ? (source << 16) | destination : 0xFFFF0000u | destination; }
};

// Every line: the destinations first, then the sources of each destination.
std::vector<LineRef> AllLines(const MixerDescription& description) {
  std::vector<LineRef> lines;
  for (DWORD d = 0; d < description.destinations.size(); ++d) {
    const auto& destination = description.destinations[d];
    lines.push_back(
        {&destination.line, d, 0, false, static_cast<DWORD>(destination.sources.size())});
  }
  for (DWORD d = 0; d < description.destinations.size(); ++d) {
    const auto& sources = description.destinations[d].sources;
    for (DWORD s = 0; s < sources.size(); ++s) lines.push_back({&sources[s], d, s, true, 0});
  }
  return lines;
}

std::optional<LineRef> FindLine(const MixerDescription& description,
                                bool (*matches)(const LineRef&, const MIXERLINE&),
                                const MIXERLINE& query) {
  for (const LineRef& ref : AllLines(description))
    if (matches(ref, query)) return ref;
  return std::nullopt;
}

std::optional<LineRef> FindLineById(const MixerDescription& description, DWORD lineId) {
  for (const LineRef& ref : AllLines(description))
    if (ref.Id() == lineId) return ref;
  return std::nullopt;
}

void FillLine(const MixerDescription& description, const LineRef& ref, MIXERLINE* out) {
  const MixerLineDescription& line = *ref.line;
  DWORD size = out->cbStruct;
  *out = MIXERLINE{};
  out->cbStruct = size;
  out->dwDestination = ref.destination;
  out->dwSource = ref.source;
  out->dwLineID = ref.Id();
  out->fdwLine = MIXERLINE_LINEF_ACTIVE | (ref.isSource ? MIXERLINE_LINEF_SOURCE : 0);
  out->dwComponentType = line.componentType;
  out->cChannels = line.channels;
  out->cConnections = ref.connections;
  out->cControls = static_cast<DWORD>(line.controls.size());
  CopyName(out->szShortName, line.name);
  CopyName(out->szName, line.name);
  out->Target.dwType = line.targetType;
  out->Target.dwDeviceID = line.targetDevice;
  CopyName(out->Target.szPname, description.name);
}

void FillControl(const MixerControlDescription& control, MIXERCONTROL* out) {
  *out = MIXERCONTROL{};
  out->cbStruct = sizeof(MIXERCONTROL);
  out->dwControlID = control.id;
  out->dwControlType = control.type;
  CopyName(out->szShortName, control.name);
  CopyName(out->szName, control.name);
  out->Bounds.dwMinimum = 0;
  out->Bounds.dwMaximum = kMaximumValue;
  out->Metrics.cSteps = kMaximumValue;
}

struct ControlRef {
  const MixerControlDescription* control;
  LineRef line;
};

std::optional<ControlRef> FindControlById(const MixerDescription& description, DWORD controlId) {
  for (const LineRef& ref : AllLines(description))
    for (const auto& control : ref.line->controls)
      if (control.id == controlId) return ControlRef{&control, ref};
  return std::nullopt;
}

// Checks a MIXERCONTROLDETAILS for one unsigned value per channel (or one
// for all) of a control of `description`.
MMRESULT CheckValueDetails(const MixerDescription& description,
                           const MIXERCONTROLDETAILS& details) {
  if (details.cMultipleItems != 0 || details.paDetails == nullptr ||
      details.cbDetails < sizeof(MIXERCONTROLDETAILS_UNSIGNED))
    return MMSYSERR_INVALPARAM;
  std::optional<ControlRef> found = FindControlById(description, details.dwControlID);
  if (!found) return MIXERR_INVALCONTROL;
  if (details.cChannels != 1 && details.cChannels != found->line.line->channels)
    return MMSYSERR_INVALPARAM;
  return MMSYSERR_NOERROR;
}

MIXERCONTROLDETAILS_UNSIGNED* ValueOfChannel(const MIXERCONTROLDETAILS& details, DWORD channel) {
  auto* bytes = static_cast<BYTE*>(details.paDetails) + size_t{channel} * details.cbDetails;
  return reinterpret_cast<MIXERCONTROLDETAILS_UNSIGNED*>(bytes);
}

}  // namespace

UINT mixerGetNumDevs() {
  MixerState& state = State();
  std::lock_guard lock(state.mutex);
  return BackendLocked(state).MixerCount();
}

MMRESULT mixerOpen(LPHMIXER phmx, UINT uMxId, DWORD_PTR /*dwCallback*/, DWORD_PTR /*dwInstance*/,
                   DWORD fdwOpen) {
  if (!phmx) return MMSYSERR_INVALPARAM;
  *phmx = nullptr;
  DWORD callbackType = fdwOpen & CALLBACK_TYPEMASK;
  if (callbackType != CALLBACK_NULL && callbackType != CALLBACK_WINDOW) return MMSYSERR_INVALFLAG;
  MixerState& state = State();
  std::lock_guard lock(state.mutex);
  UINT mixer = 0;
  MMRESULT result = ResolveMixerLocked(state, uMxId, fdwOpen, &mixer);
  if (result != MMSYSERR_NOERROR) return result;
  AudioDeviceBackend& backend = BackendLocked(state);
  unsigned generation = backend.MixerGeneration(mixer);
  if (generation == 0) return MMSYSERR_NODRIVER;
  UINT_PTR value = NewHandleLocked(state);
  state.mixers.emplace(value, MixerHandle{&backend, mixer, generation});
  *phmx = reinterpret_cast<HMIXER>(value);
  return MMSYSERR_NOERROR;
}

MMRESULT mixerClose(HMIXER hmx) {
  MixerState& state = State();
  std::lock_guard lock(state.mutex);
  return state.mixers.erase(HandleValue(hmx)) != 0 ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

MMRESULT mixerGetDevCaps(UINT_PTR uMxId, MIXERCAPS* pmxcaps, UINT cbmxcaps) {
  if (!pmxcaps || cbmxcaps == 0) return MMSYSERR_INVALPARAM;
  MixerState& state = State();
  std::lock_guard lock(state.mutex);
  UINT mixer = 0;
  MMRESULT result = state.mixers.count(uMxId) != 0
                        ? CheckMixerHandleLocked(state, uMxId, &mixer)
                        : ResolveMixerLocked(state, uMxId, MIXER_OBJECTF_MIXER, &mixer);
  if (result != MMSYSERR_NOERROR) return result;
  MixerDescription description;
  if (!BackendLocked(state).DescribeMixer(mixer, &description)) return MMSYSERR_NODRIVER;
  MIXERCAPS caps{};
  caps.vDriverVersion = 0x0100;
  CopyName(caps.szPname, description.name);
  caps.cDestinations = static_cast<DWORD>(description.destinations.size());
  std::copy_n(reinterpret_cast<const BYTE*>(&caps), std::min<size_t>(cbmxcaps, sizeof caps),
              reinterpret_cast<BYTE*>(pmxcaps));
  return MMSYSERR_NOERROR;
}

MMRESULT mixerGetLineInfo(HMIXEROBJ hmxobj, MIXERLINE* pmxl, DWORD fdwInfo) {
  if (!pmxl || pmxl->cbStruct < sizeof(MIXERLINE)) return MMSYSERR_INVALPARAM;
  MixerState& state = State();
  std::lock_guard lock(state.mutex);
  UINT mixer = 0;
  MixerDescription description;
  MMRESULT result = DescribeLocked(state, hmxobj, fdwInfo, &mixer, &description);
  if (result != MMSYSERR_NOERROR) return result;
  std::optional<LineRef> line;
  switch (fdwInfo & MIXER_GETLINEINFOF_QUERYMASK) {
    case MIXER_GETLINEINFOF_DESTINATION:
      line = FindLine(
          description,
          [](const LineRef& r, const MIXERLINE& q) {
            return !r.isSource && r.destination == q.dwDestination;
          },
          *pmxl);
      break;
    case MIXER_GETLINEINFOF_SOURCE:
      line = FindLine(
          description,
          [](const LineRef& r, const MIXERLINE& q) {
            return r.isSource && r.destination == q.dwDestination && r.source == q.dwSource;
          },
          *pmxl);
      break;
    case MIXER_GETLINEINFOF_LINEID:
      line = FindLineById(description, pmxl->dwLineID);
      break;
    case MIXER_GETLINEINFOF_COMPONENTTYPE:
      line = FindLine(
          description,
          [](const LineRef& r, const MIXERLINE& q) {
            return r.line->componentType == q.dwComponentType;
          },
          *pmxl);
      break;
    default:
      return MMSYSERR_INVALFLAG;
  }
  if (!line) return MIXERR_INVALLINE;
  FillLine(description, *line, pmxl);
  return MMSYSERR_NOERROR;
}

MMRESULT mixerGetLineControls(HMIXEROBJ hmxobj, MIXERLINECONTROLS* pmxlc, DWORD fdwControls) {
  if (!pmxlc || pmxlc->cbStruct < sizeof(MIXERLINECONTROLS) || !pmxlc->pamxctrl ||
      pmxlc->cbmxctrl < sizeof(MIXERCONTROL))
    return MMSYSERR_INVALPARAM;
  MixerState& state = State();
  std::lock_guard lock(state.mutex);
  UINT mixer = 0;
  MixerDescription description;
  MMRESULT result = DescribeLocked(state, hmxobj, fdwControls, &mixer, &description);
  if (result != MMSYSERR_NOERROR) return result;
  switch (fdwControls & MIXER_GETLINECONTROLSF_QUERYMASK) {
    case MIXER_GETLINECONTROLSF_ALL: {
      std::optional<LineRef> line = FindLineById(description, pmxlc->dwLineID);
      if (!line) return MIXERR_INVALLINE;
      const auto& controls = line->line->controls;
      if (controls.empty() || pmxlc->cControls != controls.size()) return MMSYSERR_INVALPARAM;
      for (size_t i = 0; i < controls.size(); ++i) {
        auto* bytes = reinterpret_cast<BYTE*>(pmxlc->pamxctrl) + i * pmxlc->cbmxctrl;
        FillControl(controls[i], reinterpret_cast<MIXERCONTROL*>(bytes));
      }
      return MMSYSERR_NOERROR;
    }
    case MIXER_GETLINECONTROLSF_ONEBYID: {
      std::optional<ControlRef> found = FindControlById(description, pmxlc->dwControlID);
      if (!found) return MIXERR_INVALCONTROL;
      pmxlc->dwLineID = found->line.Id();
      FillControl(*found->control, pmxlc->pamxctrl);
      return MMSYSERR_NOERROR;
    }
    case MIXER_GETLINECONTROLSF_ONEBYTYPE: {
      std::optional<LineRef> line = FindLineById(description, pmxlc->dwLineID);
      if (!line) return MIXERR_INVALLINE;
      for (const auto& control : line->line->controls) {
        if (control.type != pmxlc->dwControlType) continue;
        FillControl(control, pmxlc->pamxctrl);
        return MMSYSERR_NOERROR;
      }
      return MIXERR_INVALCONTROL;
    }
    default:
      return MMSYSERR_INVALFLAG;
  }
}

MMRESULT mixerGetControlDetails(HMIXEROBJ hmxobj, MIXERCONTROLDETAILS* pmxcd, DWORD fdwDetails) {
  if (!pmxcd || pmxcd->cbStruct < sizeof(MIXERCONTROLDETAILS)) return MMSYSERR_INVALPARAM;
  if ((fdwDetails & MIXER_GETCONTROLDETAILSF_QUERYMASK) != MIXER_GETCONTROLDETAILSF_VALUE)
    return MMSYSERR_NOTSUPPORTED;
  MixerState& state = State();
  std::lock_guard lock(state.mutex);
  UINT mixer = 0;
  MixerDescription description;
  MMRESULT result = DescribeLocked(state, hmxobj, fdwDetails, &mixer, &description);
  if (result == MMSYSERR_NOERROR) result = CheckValueDetails(description, *pmxcd);
  DWORD value = 0;
  if (result == MMSYSERR_NOERROR)
    result = BackendLocked(state).GetControlValue(mixer, pmxcd->dwControlID, &value);
  if (result != MMSYSERR_NOERROR) return result;
  for (DWORD channel = 0; channel < pmxcd->cChannels; ++channel)
    ValueOfChannel(*pmxcd, channel)->dwValue = value;
  return MMSYSERR_NOERROR;
}

// One value is kept per control: that of the first channel.
MMRESULT mixerSetControlDetails(HMIXEROBJ hmxobj, MIXERCONTROLDETAILS* pmxcd, DWORD fdwDetails) {
  if (!pmxcd || pmxcd->cbStruct < sizeof(MIXERCONTROLDETAILS)) return MMSYSERR_INVALPARAM;
  if ((fdwDetails & MIXER_SETCONTROLDETAILSF_QUERYMASK) != MIXER_SETCONTROLDETAILSF_VALUE)
    return MMSYSERR_NOTSUPPORTED;
  MixerState& state = State();
  std::lock_guard lock(state.mutex);
  UINT mixer = 0;
  MixerDescription description;
  MMRESULT result = DescribeLocked(state, hmxobj, fdwDetails, &mixer, &description);
  if (result == MMSYSERR_NOERROR) result = CheckValueDetails(description, *pmxcd);
  if (result != MMSYSERR_NOERROR) return result;
  DWORD value = std::min(ValueOfChannel(*pmxcd, 0)->dwValue, kMaximumValue);
  return BackendLocked(state).SetControlValue(mixer, pmxcd->dwControlID, value);
}
