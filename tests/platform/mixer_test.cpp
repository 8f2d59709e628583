#include "platform/mixer.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/audio_device_backend.h"
#include "platform/fake_audio_devices.h"

namespace platform {
namespace {

using Fake = FakeAudioDevices;

HMIXEROBJ Object(HMIXER mixer) { return reinterpret_cast<HMIXEROBJ>(mixer); }
HMIXEROBJ Object(UINT_PTR value) { return reinterpret_cast<HMIXEROBJ>(value); }

MIXERLINE Line() {
  MIXERLINE line{};
  line.cbStruct = sizeof line;
  return line;
}

class MixerTest : public testing::Test {
 protected:
  MixerTest() {
    devices_.AddCard(Fake::Layout::kSpeakersWithWaveOut, "Card Zero");
    devices_.AddCard(Fake::Layout::kSpeakersOnly, "Card One");
  }
  ~MixerTest() override {
    if (mixer_) mixerClose(mixer_);
  }
  HMIXER OpenMixer(UINT id) {
    EXPECT_EQ(mixerOpen(&mixer_, id, 0, 0, MIXER_OBJECTF_MIXER), MMSYSERR_NOERROR);
    return mixer_;
  }
  HWAVEOUT OpenWave(UINT device, MMRESULT expected = MMSYSERR_NOERROR) {
    HWAVEOUT wave = nullptr;
    EXPECT_EQ(waveOutOpen(&wave, device, &format_, 0, 0, CALLBACK_NULL), expected);
    return wave;
  }

  Fake devices_;
  ScopedAudioDeviceBackendForTesting use_{devices_};
  HMIXER mixer_ = nullptr;
  WAVEFORMATEX format_{WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0};
};

TEST_F(MixerTest, OpenResolvesWhatTheFlagsName) {
  HWAVEOUT wave1 = OpenWave(1);
  devices_.SetPreferredCard(1);
  struct Row {
    UINT object;
    DWORD flags;
    MMRESULT result;
    const char* mixerName;  // of the opened mixer
  };
  const Row rows[] = {
      {0, MIXER_OBJECTF_MIXER, MMSYSERR_NOERROR, "Card Zero"},
      {1, MIXER_OBJECTF_MIXER, MMSYSERR_NOERROR, "Card One"},
      {2, MIXER_OBJECTF_MIXER, MMSYSERR_BADDEVICEID, nullptr},
      {0, MIXER_OBJECTF_WAVEOUT, MMSYSERR_NOERROR, "Card Zero"},
      {WAVE_MAPPER, MIXER_OBJECTF_WAVEOUT, MMSYSERR_NOERROR, "Card One"},
      {static_cast<UINT>(reinterpret_cast<UINT_PTR>(wave1)), MIXER_OBJECTF_HWAVEOUT,
       MMSYSERR_NOERROR, "Card One"},
      {0x7777, MIXER_OBJECTF_HWAVEOUT, MMSYSERR_INVALHANDLE, nullptr},
      {0, MIXER_OBJECTF_WAVEIN, MMSYSERR_BADDEVICEID, nullptr},
      {0, MIXER_OBJECTF_MIXER | 0x40000 /* CALLBACK_EVENT-like */, MMSYSERR_INVALFLAG, nullptr},
      {0, MIXER_OBJECTF_MIXER | CALLBACK_WINDOW, MMSYSERR_NOERROR, "Card Zero"},
  };
  for (const Row& row : rows) {
    HMIXER mixer = nullptr;
    ASSERT_EQ(mixerOpen(&mixer, row.object, 0, 0, row.flags), row.result)
        << row.object << " " << std::hex << row.flags;
    if (!row.mixerName) {
      EXPECT_EQ(mixer, nullptr);
      continue;
    }
    MIXERCAPS caps{};
    ASSERT_EQ(mixerGetDevCaps(reinterpret_cast<UINT_PTR>(mixer), &caps, sizeof caps),
              MMSYSERR_NOERROR);
    EXPECT_EQ(OleString(caps.szPname), AsciiToWide(row.mixerName));
    EXPECT_EQ(caps.cDestinations, 2u);
    EXPECT_EQ(mixerClose(mixer), MMSYSERR_NOERROR);
    EXPECT_EQ(mixerClose(mixer), MMSYSERR_INVALHANDLE);
  }
  EXPECT_EQ(waveOutClose(wave1), MMSYSERR_NOERROR);
}

TEST_F(MixerTest, LinesAreFoundByEachQueryKind) {
  HMIXEROBJ mixer = Object(OpenMixer(0));
  struct Row {
    DWORD query;
    DWORD destination, source, lineId, componentType;
    MMRESULT result;
    DWORD foundType, foundLineId, connections, target;
  };
  constexpr DWORD kSpeakers = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
  constexpr DWORD kWave = MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
  const Row rows[] = {
      {MIXER_GETLINEINFOF_COMPONENTTYPE, 0, 0, 0, kSpeakers, 0, kSpeakers, 0xFFFF0001, 2, 0},
      {MIXER_GETLINEINFOF_COMPONENTTYPE, 0, 0, 0, kWave, 0, kWave, 0x00010001, 0, 1},
      {MIXER_GETLINEINFOF_DESTINATION, 1, 0, 0, 0, 0, kSpeakers, 0xFFFF0001, 2, 0},
      {MIXER_GETLINEINFOF_SOURCE, 1, 1, 0, 0, 0, kWave, 0x00010001, 0, 1},
      {MIXER_GETLINEINFOF_LINEID, 0, 0, 0x00010001, 0, 0, kWave, 0x00010001, 0, 1},
      {MIXER_GETLINEINFOF_DESTINATION, 2, 0, 0, 0, MIXERR_INVALLINE, 0, 0, 0, 0},
      {MIXER_GETLINEINFOF_SOURCE, 1, 2, 0, 0, MIXERR_INVALLINE, 0, 0, 0, 0},
      {MIXER_GETLINEINFOF_COMPONENTTYPE, 0, 0, 0, 0x1234, MIXERR_INVALLINE, 0, 0, 0, 0},
      {0x7, 0, 0, 0, 0, MMSYSERR_INVALFLAG, 0, 0, 0, 0},
  };
  for (const Row& row : rows) {
    MIXERLINE line = Line();
    line.dwDestination = row.destination;
    line.dwSource = row.source;
    line.dwLineID = row.lineId;
    line.dwComponentType = row.componentType;
    ASSERT_EQ(mixerGetLineInfo(mixer, &line, MIXER_OBJECTF_HMIXER | row.query), row.result);
    if (row.result != MMSYSERR_NOERROR) continue;
    EXPECT_EQ(line.dwComponentType, row.foundType);
    EXPECT_EQ(line.dwLineID, row.foundLineId);
    EXPECT_EQ(line.cConnections, row.connections);
    EXPECT_EQ(line.Target.dwType, row.target);
    EXPECT_EQ(line.cControls, 1u);
  }
  MIXERLINE tooSmall = Line();
  tooSmall.cbStruct = sizeof(MIXERLINE) - 1;
  EXPECT_EQ(mixerGetLineInfo(mixer, &tooSmall, MIXER_OBJECTF_HMIXER), MMSYSERR_INVALPARAM);
}

TEST_F(MixerTest, ControlsAndValues) {
  HMIXEROBJ mixer = Object(OpenMixer(0));
  MIXERCONTROL control{};
  MIXERLINECONTROLS controls{sizeof controls, 0x00010001, {MIXERCONTROL_CONTROLTYPE_VOLUME}, 1,
                             sizeof control,  &control};
  auto lineControls = [&](DWORD how) {
    return mixerGetLineControls(mixer, &controls, MIXER_OBJECTF_HMIXER | how);
  };
  ASSERT_EQ(lineControls(MIXER_GETLINECONTROLSF_ONEBYTYPE), MMSYSERR_NOERROR);
  EXPECT_EQ(control.dwControlID, Fake::kWaveOutVolumeId);
  EXPECT_EQ(control.Bounds.dwMaximum, 0xFFFFu);
  controls.dwControlID = Fake::kSpeakerVolumeId;
  ASSERT_EQ(lineControls(MIXER_GETLINECONTROLSF_ONEBYID), MMSYSERR_NOERROR);
  EXPECT_EQ(controls.dwLineID, 0xFFFF0001u);
  controls.dwControlID = 99;
  EXPECT_EQ(lineControls(MIXER_GETLINECONTROLSF_ONEBYID), MIXERR_INVALCONTROL);
  controls.cControls = 2;
  EXPECT_EQ(lineControls(MIXER_GETLINECONTROLSF_ALL), MMSYSERR_INVALPARAM);

  MIXERCONTROLDETAILS_UNSIGNED values[2] = {{70000}, {1}};
  MIXERCONTROLDETAILS details{sizeof details, Fake::kWaveOutVolumeId, 1,
                              {nullptr},      sizeof values[0],       values};
  const DWORD set = MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE;
  const DWORD get = MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE;
  ASSERT_EQ(mixerSetControlDetails(mixer, &details, set), MMSYSERR_NOERROR);
  EXPECT_EQ(devices_.Volume(0, Fake::kWaveOutVolumeId), 0xFFFFu);  // clamped
  devices_.SetVolume(0, Fake::kWaveOutVolumeId, 655);
  details.cChannels = 2;  // one value per channel
  ASSERT_EQ(mixerGetControlDetails(mixer, &details, get), MMSYSERR_NOERROR);
  EXPECT_EQ(values[0].dwValue, 655u);
  EXPECT_EQ(values[1].dwValue, 655u);
  details.cChannels = 3;
  EXPECT_EQ(mixerGetControlDetails(mixer, &details, get), MMSYSERR_INVALPARAM);
  details.cChannels = 1;
  details.dwControlID = 99;
  EXPECT_EQ(mixerGetControlDetails(mixer, &details, get), MIXERR_INVALCONTROL);
  // The identifier form reaches the same control.
  details.dwControlID = Fake::kWaveOutVolumeId;
  EXPECT_EQ(mixerGetControlDetails(Object(UINT_PTR{0}), &details, MIXER_OBJECTF_MIXER),
            MMSYSERR_NOERROR);
  EXPECT_EQ(values[0].dwValue, 655u);
}

TEST_F(MixerTest, HandlesOfAChangedOrRemovedDeviceStopWorking) {
  HMIXER mixer = OpenMixer(0);
  MIXERCAPS caps{};
  auto devCaps = [&] {
    return mixerGetDevCaps(reinterpret_cast<UINT_PTR>(mixer), &caps, sizeof caps);
  };
  EXPECT_EQ(devCaps(), MMSYSERR_NOERROR);
  devices_.SimulateDeviceChange(0);
  EXPECT_EQ(devCaps(), MMSYSERR_NODRIVER);
  MIXERLINE line = Line();
  EXPECT_EQ(mixerGetLineInfo(Object(mixer), &line, MIXER_OBJECTF_HMIXER), MMSYSERR_NODRIVER);
  EXPECT_EQ(mixerClose(mixer), MMSYSERR_NOERROR);
  mixer_ = nullptr;

  mixer = OpenMixer(0);  // a new handle works again
  EXPECT_EQ(devCaps(), MMSYSERR_NOERROR);
  devices_.SetPresent(0, false);
  EXPECT_EQ(devCaps(), MMSYSERR_NODRIVER);
  HMIXER another = nullptr;
  EXPECT_EQ(mixerOpen(&another, 0, 0, 0, MIXER_OBJECTF_MIXER), MMSYSERR_NODRIVER);
  OpenWave(0, MMSYSERR_NODRIVER);
}

std::vector<UINT> waveMessages;
void CALLBACK RecordWaveMessage(HWAVEOUT, UINT message, DWORD_PTR instance, DWORD_PTR, DWORD_PTR) {
  EXPECT_EQ(instance, 42u);
  waveMessages.push_back(message);
}

TEST_F(MixerTest, WaveOutOpensChecksAndCloses) {
  waveMessages.clear();
  HWAVEOUT wave = nullptr;
  ASSERT_EQ(waveOutOpen(&wave, 0, &format_, reinterpret_cast<DWORD_PTR>(&RecordWaveMessage), 42,
                        CALLBACK_FUNCTION),
            MMSYSERR_NOERROR);
  EXPECT_LE(reinterpret_cast<UINT_PTR>(wave), 0xFFFFFFFFu);  // fits a mixer source
  EXPECT_EQ(devices_.OpenWaveOutStreams(), 1);
  EXPECT_EQ(waveOutReset(wave), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutClose(wave), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutClose(wave), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveOutReset(wave), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveMessages, (std::vector<UINT>{WOM_OPEN, WOM_CLOSE}));
  EXPECT_EQ(devices_.OpenWaveOutStreams(), 0);

  WAVEFORMATEX badAlign = format_;
  badAlign.nBlockAlign = 2;
  WAVEFORMATEX notPcm = format_;
  notPcm.wFormatTag = 2;
  struct Row {
    UINT device;
    const WAVEFORMATEX* format;
    DWORD flags;
    MMRESULT result;
  };
  const Row rows[] = {
      {2, &format_, CALLBACK_NULL, MMSYSERR_BADDEVICEID},
      {0, &badAlign, CALLBACK_NULL, WAVERR_BADFORMAT},
      {0, &notPcm, WAVE_FORMAT_QUERY, WAVERR_BADFORMAT},
      {0, &format_, WAVE_FORMAT_QUERY, MMSYSERR_NOERROR},
      {0, nullptr, CALLBACK_NULL, MMSYSERR_INVALPARAM},
      {0, &format_, CALLBACK_FUNCTION, MMSYSERR_INVALPARAM},  // no function given
  };
  for (const Row& row : rows) {
    HWAVEOUT other = nullptr;
    EXPECT_EQ(waveOutOpen(&other, row.device, row.format, 0, 0, row.flags), row.result);
    EXPECT_EQ(other, nullptr);
  }
  EXPECT_EQ(devices_.WaveOutOpens(0), 1);

  devices_.SimulateWaveOutOpenError(1, MMSYSERR_ALLOCATED);
  OpenWave(1, MMSYSERR_ALLOCATED);
}

// The sound system's own backend, on a machine without a sound card.
TEST(SystemMixer, WithoutSoundCardEverythingFails) {
  if (SystemAudioDeviceBackend().WaveOutCount() != 0) GTEST_SKIP() << "this machine has sound";
  EXPECT_EQ(mixerGetNumDevs(), 0u);
  EXPECT_EQ(waveOutGetNumDevs(), 0u);
  HMIXER mixer = nullptr;
  EXPECT_EQ(mixerOpen(&mixer, 0, 0, 0, MIXER_OBJECTF_MIXER), MMSYSERR_BADDEVICEID);
  WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0};
  HWAVEOUT wave = nullptr;
  EXPECT_NE(waveOutOpen(&wave, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  EXPECT_NE(waveOutOpen(&wave, 0, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
}

}  // namespace
}  // namespace platform
