// The Linux sound path for real: a PulseAudio server of the test's own with a
// null sink stands in for a sound card, reached through ALSA's pulse plug-in.
// The engine plays a tone on the device that the handler selected, and the
// speaker volume set through IAudioControl is heard on the sink's monitor.
// Skipped where pulseaudio or ALSA's pulse plug-in is missing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/memory_audio_source.h"
#include "engine/standin/codecs/g711_tables.h"
#include "host/reference_network.h"
#include "media/gips_media_handler.h"
#include "platform/alsa_sound_devices.h"
#include "platform/mixer.h"
#include "tests/support/pulse_server.h"

namespace {

using platform::ComPtr;
using test_support::PulseServer;

constexpr int kRate = 8000;
constexpr double kToneHz = 1000;
constexpr std::size_t kWindow = kRate / 20;  // 50 ms of samples

std::string MuLawTone(double seconds, double amplitude) {
  std::string bytes;
  const int count = static_cast<int>(seconds * kRate);
  for (int n = 0; n < count; ++n)
    bytes.push_back(static_cast<char>(standin::BuiltInMuLawEncode(
        static_cast<std::int16_t>(amplitude * std::sin(2 * M_PI * kToneHz * n / kRate)))));
  return bytes;
}

class SoundServerTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!server_.Running()) GTEST_SKIP() << server_.Problem();
    alsa_ =
        std::make_unique<test_support::ScopedEnvironment>("ALSA_CONFIG_PATH", server_.AlsaConfig());
    // The client side of the plug-in keeps to the test's folder too.
    home_ = std::make_unique<test_support::ScopedEnvironment>("HOME", server_.Folder() + "/home");
    if (platform::AlsaSoundDevices(platform::SoundStream::kPlayback).empty())
      GTEST_SKIP() << "ALSA's pulse plug-in does not reach the server";
  }

  // Records until the tone is heard (bounded), then `milliseconds` more.
  std::vector<std::int16_t> RecordOnceHeard(int milliseconds) {
    for (int attempt = 0; attempt < 25; ++attempt) {
      if (test_support::RmsDb(server_.RecordMonitor(200, kRate)) > -60)
        return server_.RecordMonitor(milliseconds, kRate);
    }
    return {};
  }

  // What the monitor holds after a change has had time to reach it.
  std::vector<std::int16_t> RecordSettled() {
    server_.RecordMonitor(300, kRate);
    return server_.RecordMonitor(500, kRate);
  }

  PulseServer server_;
  std::unique_ptr<test_support::ScopedEnvironment> alsa_;
  std::unique_ptr<test_support::ScopedEnvironment> home_;
};

TEST_F(SoundServerTest, EngineAndMixerNumberTheServerAsTheSameDevice) {
  const std::vector<platform::AlsaDeviceName> expected = {{"default", "default"}};
  EXPECT_EQ(platform::AlsaSoundDevices(platform::SoundStream::kPlayback), expected);
  EXPECT_EQ(waveOutGetNumDevs(), 1u);
  EXPECT_EQ(mixerGetNumDevs(), 1u);  // the default device's control, not listed twice
  HWAVEOUT wave = nullptr;
  WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};
  for (UINT device : {0u, static_cast<UINT>(WAVE_MAPPER)}) {
    ASSERT_EQ(waveOutOpen(&wave, device, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    HMIXER mixer = nullptr;
    EXPECT_EQ(mixerOpen(&mixer, reinterpret_cast<UINT_PTR>(wave), 0, 0, MIXER_OBJECTF_HWAVEOUT),
              MMSYSERR_NOERROR)
        << device;
    if (mixer) mixerClose(mixer);
    EXPECT_EQ(waveOutClose(wave), MMSYSERR_NOERROR);
  }
  EXPECT_EQ(waveOutOpen(&wave, 1, &format, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
}

TEST_F(SoundServerTest, ToneOfACallIsHeardAtTheSpeakerVolumeSet) {
  auto network = host::ReferenceNetwork::Create();
  ComPtr<CGipsMediaHandler> handler = CGipsMediaHandler::Create();
  ASSERT_EQ(handler->Init(network.Get()), S_OK);
  IAudioControl& audio = *handler;
  ASSERT_EQ(audio.SetAudioDevices(0, 0), S_OK);
  LONG channel = -1;
  VARIANT_BOOL reserved = VARIANT_FALSE;
  ASSERT_EQ(handler->ReserveChannel(&channel, VARIANT_FALSE, nullptr, &reserved), S_OK);
  ASSERT_EQ(audio.SetSpeakerVolume(100, channel), S_OK);
  ASSERT_EQ(handler->StartPlayout(channel), S_OK);
  auto tone = host::MemoryAudioSource::Create(MuLawTone(20, 8000));
  ASSERT_EQ(audio.StartPlayAudioStream(channel, 0, tone.Get(), 100), S_OK);

  // The mixer works while the engine holds the device.
  const std::vector<std::int16_t> full = RecordOnceHeard(500);
  ASSERT_FALSE(full.empty()) << "the tone never reached the sink";
  EXPECT_NEAR(test_support::DominantFrequency(full, kRate), kToneHz, 20);
  const double fullDb = test_support::SteadyLevelDb(full, kWindow);
  EXPECT_GT(fullDb, -20);  // amplitude 8000: about -15 dB

  const struct {
    LONG percent;
    double lowDb;  // the level against full volume lies in [lowDb, highDb]
    double highDb;
  } steps[] = {{50, -24, -12}, {0, -200, -60}, {100, -1, 1}};  // the server: 50% is -18 dB
  for (const auto& step : steps) {
    ASSERT_EQ(audio.SetSpeakerVolume(step.percent, channel), S_OK);
    LONG percent = -1;
    EXPECT_EQ(audio.GetSpeakerVolume(&percent, channel), S_OK);
    EXPECT_EQ(percent, step.percent);
    const std::vector<std::int16_t> settled = RecordSettled();
    ASSERT_FALSE(settled.empty()) << "no recording";
    const double db = test_support::SteadyLevelDb(settled, kWindow);
    const double relative = db <= -200 ? -200 : db - fullDb;
    EXPECT_GE(relative, step.lowDb) << step.percent << "%";
    EXPECT_LE(relative, step.highDb) << step.percent << "%";
  }

  EXPECT_EQ(audio.StopPlayAudioStream(channel), S_OK);
  EXPECT_EQ(handler->StopPlayout(channel), S_OK);
  EXPECT_EQ(handler->ReleaseChannel(channel), S_OK);
}

}  // namespace
