#include "audio/audio_device_manager.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/audio_device_backend.h"
#include "platform/fake_audio_devices.h"

namespace {

using Fake = platform::FakeAudioDevices;
constexpr DWORD kWave = Fake::kWaveOutVolumeId;

class AudioDeviceManagerTest : public testing::Test {
 protected:
  AudioDeviceManager& Manager() {
    if (!manager_) manager_ = std::make_unique<AudioDeviceManager>();
    return *manager_;
  }
  // The probe device is open only inside the manager's calls.
  void ExpectNoStreamOpen() { EXPECT_EQ(devices_.OpenWaveOutStreams(), 0); }

  Fake devices_;
  platform::ScopedAudioDeviceBackendForTesting use_{devices_};
  std::unique_ptr<AudioDeviceManager> manager_;
};

TEST_F(AudioDeviceManagerTest, PercentAndMixerValueConvertWithRounding) {
  struct Row {
    LONG percent;
    WORD value;
  };
  // Outside 0..100 the value is cut to 16 bits, not clamped.
  const Row toMixer[] = {{0, 0},       {1, 655},   {50, 32768}, {99, 64880},
                         {100, 65535}, {101, 654}, {-1, 64881}};
  for (const Row& row : toMixer)
    EXPECT_EQ(AudioDeviceManager::PercentToMixerValue(row.percent), row.value) << row.percent;
  const Row toPercent[] = {{0, 0}, {0, 327}, {1, 328}, {1, 655}, {50, 32768}, {100, 65535}};
  for (const Row& row : toPercent)
    EXPECT_EQ(AudioDeviceManager::MixerValueToPercent(row.value), row.percent) << row.value;
}

TEST_F(AudioDeviceManagerTest, VolumeGoesToTheSelectedDevicesWaveLine) {
  devices_.AddCard();
  devices_.AddCard();
  ASSERT_TRUE(Manager().IsMasterOpen());
  ASSERT_TRUE(Manager().SelectDevice(1));
  EXPECT_EQ(Manager().PlaybackDevice(), 1);
  Manager().SetVolume(50);  // rounding is covered above; this checks the wiring
  EXPECT_EQ(devices_.Volume(1, kWave), 32768u);
  devices_.SetVolume(1, kWave, 655);
  EXPECT_EQ(Manager().GetVolume(), 1);
  EXPECT_EQ(devices_.Volume(0, kWave), Fake::kInitialVolume);  // other card untouched
  EXPECT_EQ(devices_.VolumeWrites(0), 0);                      // the master is only opened
  ExpectNoStreamOpen();
}

// Selecting -1 follows the system's preferred card; without any selection
// the first card is used. Either way PlaybackDevice stays -1.
TEST_F(AudioDeviceManagerTest, MinusOneOrNoSelectionUsesTheDefaultDevice) {
  for (bool select : {true, false}) {
    SCOPED_TRACE(select ? "selected -1" : "no selection");
    Fake devices;
    devices.AddCard();
    devices.AddCard();
    devices.SetPreferredCard(1);
    platform::ScopedAudioDeviceBackendForTesting use(devices);
    AudioDeviceManager manager;
    if (select) {
      ASSERT_TRUE(manager.SelectDevice(-1));
    }
    manager.SetVolume(50);
    EXPECT_EQ(devices.Volume(select ? 1 : 0, kWave), 32768u);
    EXPECT_EQ(devices.VolumeWrites(select ? 0 : 1), 0);
    EXPECT_EQ(manager.GetVolume(), 50);
    EXPECT_EQ(manager.PlaybackDevice(), -1);
    EXPECT_EQ(devices.OpenWaveOutStreams(), 0);
  }
}

TEST_F(AudioDeviceManagerTest, SelectionFailures) {
  struct Row {
    const char* what;
    bool card;
    Fake::Layout layout;
    MMRESULT openError;
    LONG device;
    LONG playbackDevice;  // after the failed selection
    bool masterOpen;
  };
  const Row rows[] = {
      {"no sound card", false, Fake::Layout::kSpeakersWithWaveOut, MMSYSERR_NOERROR, 0, -1, false},
      {"no wave-out line", true, Fake::Layout::kSpeakersOnly, MMSYSERR_NOERROR, 0, 0, true},
      {"device busy", true, Fake::Layout::kSpeakersWithWaveOut, MMSYSERR_ALLOCATED, 0, -1, true},
      {"no such device", true, Fake::Layout::kSpeakersWithWaveOut, MMSYSERR_NOERROR, 3, -1, true},
  };
  for (const Row& row : rows) {
    Fake devices;
    if (row.card) devices.AddCard(row.layout);
    if (row.openError != MMSYSERR_NOERROR) devices.SimulateWaveOutOpenError(0, row.openError);
    platform::ScopedAudioDeviceBackendForTesting use(devices);
    AudioDeviceManager manager;
    EXPECT_EQ(manager.IsMasterOpen(), row.masterOpen) << row.what;
    EXPECT_FALSE(manager.SelectDevice(row.device)) << row.what;
    EXPECT_EQ(manager.PlaybackDevice(), row.playbackDevice) << row.what;
    EXPECT_EQ(manager.GetVolume(), -1) << row.what;
    manager.SetVolume(50);
    if (row.card) {
      EXPECT_EQ(devices.VolumeWrites(0), 0) << row.what;
    }
    EXPECT_EQ(devices.OpenWaveOutStreams(), 0) << row.what;
  }
}

TEST_F(AudioDeviceManagerTest, ControlIsReopenedAfterADeviceChange) {
  devices_.AddCard();
  devices_.AddCard();
  ASSERT_TRUE(Manager().SelectDevice(1));
  int opens = devices_.WaveOutOpens(1);
  devices_.SimulateDeviceChange(1);
  Manager().SetVolume(50);  // reopened through device 1
  EXPECT_EQ(devices_.Volume(1, kWave), 32768u);
  EXPECT_EQ(devices_.WaveOutOpens(1), opens + 1);

  devices_.SetPresent(1, false);
  EXPECT_EQ(Manager().GetVolume(), -1);
  devices_.SetPresent(1, true);
  EXPECT_EQ(Manager().GetVolume(), 50);
  EXPECT_EQ(devices_.VolumeWrites(0), 0);
  ExpectNoStreamOpen();
}

TEST_F(AudioDeviceManagerTest, AFailedSelectionIsRetriedOnTheSameDevice) {
  devices_.AddCard();
  devices_.SimulateWaveOutOpenError(0, MMSYSERR_ALLOCATED);
  EXPECT_FALSE(Manager().SelectDevice(0));
  EXPECT_EQ(Manager().GetVolume(), -1);
  devices_.SimulateWaveOutOpenError(0, MMSYSERR_NOERROR);
  EXPECT_EQ(Manager().GetVolume(), Manager().MixerValueToPercent(Fake::kInitialVolume));
  EXPECT_EQ(Manager().PlaybackDevice(), -1);  // only a selection sets it
}

}  // namespace
