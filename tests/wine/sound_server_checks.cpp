// A real sound path under Wine: Wine's PulseAudio driver plays into the
// null sink "Speaker" of a server that scripts/wine-tests.sh started (the
// default sink; the default source is a second, silent sink's monitor, so
// microphones hear nothing back). This host records the Speaker's monitor
// through winmm and checks frequency and level: of a tone an object plays on
// the default device, at each speaker volume set through IAudioControl
// (where the mixer offers one), and of a tone sent through a call between
// two objects with each codec of the catalogue.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/standin/codecs/g711_tables.h"
#include "host/call_session.h"
#include "host/memory_audio_source.h"
#include "host/reference_network.h"
#include "medley/audio_control.h"
#include "medley/media_handler.h"
#include "platform/com_ptr.h"
#include "platform/message_queue.h"
#include "platform/mixer.h"
#include "tests/support/free_port.h"
#include "tests/wine/wine_checks.h"

namespace wine_tests {

namespace {

constexpr int kRate = 8000;
constexpr double kToneHz = 1000;
constexpr double kPi = 3.14159265358979323846;

std::string MuLawTone(double seconds, double amplitude) {
  std::string bytes;
  const int count = static_cast<int>(seconds * kRate);
  for (int n = 0; n < count; ++n)
    bytes.push_back(static_cast<char>(standin::BuiltInMuLawEncode(
        static_cast<std::int16_t>(amplitude * std::sin(2 * kPi * kToneHz * n / kRate)))));
  return bytes;
}

// dB below full scale of 50 ms windows, their median: a late frame on a
// loaded machine does not count. -200 for silence.
double SteadyLevelDb(const std::vector<std::int16_t>& pcm) {
  constexpr std::size_t kWindow = kRate / 20;
  std::vector<double> levels;
  for (std::size_t start = 0; start + kWindow <= pcm.size(); start += kWindow) {
    double sum = 0;
    for (std::size_t i = start; i < start + kWindow; ++i) sum += double(pcm[i]) * pcm[i];
    const double rms = std::sqrt(sum / kWindow);
    levels.push_back(rms < 1 ? -200 : 20 * std::log10(rms / 32768));
  }
  if (levels.empty()) return -200;
  std::sort(levels.begin(), levels.end());
  return levels[levels.size() / 2];
}

// The frequency from 100 Hz to 3990 Hz (10 Hz steps) with the most energy.
double DominantFrequency(const std::vector<std::int16_t>& pcm) {
  double best = 0;
  double bestPower = -1;
  for (double hz = 100; hz < kRate / 2; hz += 10) {
    const double coefficient = 2 * std::cos(2 * kPi * hz / kRate);
    double s1 = 0, s2 = 0;
    for (std::int16_t sample : pcm) {
      const double s0 = sample + coefficient * s1 - s2;
      s2 = s1;
      s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    if (power > bestPower) {
      bestPower = power;
      best = hz;
    }
  }
  return best;
}

// `milliseconds` from the default recording device; empty when it cannot be
// opened or the recording does not complete within a bound.
// The wave-in device of the speaker sink's monitor; WAVE_MAPPER when no
// device has its name.
UINT SpeakerMonitor() {
  for (UINT id = 0; id < waveInGetNumDevs(); ++id) {
    WAVEINCAPSW caps{};
    if (waveInGetDevCapsW(id, &caps, sizeof caps) == MMSYSERR_NOERROR &&
        Narrow(caps.szPname).find("Monitor of Speaker") != std::string::npos)
      return id;
  }
  return WAVE_MAPPER;
}

std::vector<std::int16_t> Record(int milliseconds) {
  WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, kRate, kRate * 2, 2, 16, 0};
  HWAVEIN in = nullptr;
  if (waveInOpen(&in, SpeakerMonitor(), &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR)
    return {};
  std::vector<std::int16_t> pcm(static_cast<std::size_t>(kRate / 1000 * milliseconds));
  WAVEHDR header{};
  header.lpData = reinterpret_cast<LPSTR>(pcm.data());
  header.dwBufferLength = static_cast<DWORD>(pcm.size() * 2);
  bool done = false;
  if (waveInPrepareHeader(in, &header, sizeof header) == MMSYSERR_NOERROR &&
      waveInAddBuffer(in, &header, sizeof header) == MMSYSERR_NOERROR &&
      waveInStart(in) == MMSYSERR_NOERROR) {
    for (int waited = 0; waited < milliseconds + 5000 && !done; waited += 10) {
      platform::PumpMessagesFor(10);
      done = (*static_cast<volatile DWORD*>(&header.dwFlags) & WHDR_DONE) != 0;
    }
  }
  waveInReset(in);
  waveInUnprepareHeader(in, &header, sizeof header);
  waveInClose(in);
  if (!done) return {};
  pcm.resize(header.dwBytesRecorded / 2);
  return pcm;
}

// Records until something is heard (bounded), then `milliseconds` more;
// empty when nothing came.
std::vector<std::int16_t> RecordOnceHeard(int milliseconds) {
  for (int attempt = 0; attempt < 25; ++attempt)
    if (SteadyLevelDb(Record(200)) > -60) return Record(milliseconds);
  return {};
}

// A call between two objects with one codec: the caller sends the tone,
// the callee plays what it receives on the default device.
void CheckToneThroughCodec(Checks& checks, const std::string& codec) {
  const std::string what = "sound server: call with " + codec;
  tools::CallParty caller;
  tools::CallParty callee;
  caller.name = "caller";
  callee.name = "callee";
  for (tools::CallParty* party : {&caller, &callee}) {
    CoCreateInstance(CLSID_GipsMediaHandler, nullptr, CLSCTX_INPROC_SERVER, IID_IMediaHandler,
                     party->handler.ReceiveVoid());
    party->preferredCodecs = {codec};
  }
  platform::ComPtr<IAudioControl> callerAudio;
  platform::ComPtr<IAudioControl> calleeAudio;
  if (!checks.Expect(caller.handler && callee.handler &&
                         SUCCEEDED(caller.handler.As(&callerAudio)) &&
                         SUCCEEDED(callee.handler.As(&calleeAudio)),
                     what + ": two objects"))
    return;
  callerAudio->SetAudioDevices(-1, -1);
  calleeAudio->SetAudioDevices(-1, -1);
  // Each object searches from the same first port: each starts at a free
  // port of its own instead.
  const std::vector<int> ports = test_support::FreeRtpPorts(2);
  if (!checks.Expect(ports.size() == 2, what + ": two free loopback ports")) return;
  caller.network->Settings().preferred_audio_rtp_port = ports[0];
  callee.network->Settings().preferred_audio_rtp_port = ports[1];
  tools::CallSession session(caller, callee, [&checks, &what](const tools::CallStep& step) {
    if (FAILED(step.result))
      checks.ExpectHr(step.result, S_OK, what + ": " + step.party + " " + step.operation);
  });
  HRESULT hr = session.Prepare(caller);
  if (SUCCEEDED(hr)) hr = session.Prepare(callee);
  if (SUCCEEDED(hr)) hr = session.Connect();
  if (checks.ExpectHr(hr, S_OK, what + ": connected")) {
    auto tone = host::MemoryAudioSource::Create(MuLawTone(20, 8000));
    checks.ExpectHr(callerAudio->StartSendAudioStream(caller.channel, 0, tone.Get(), 100), S_OK,
                    what + ": the caller sends a tone");
    const std::vector<std::int16_t> heard = RecordOnceHeard(600);
    const double hz = heard.empty() ? 0 : DominantFrequency(heard);
    const double db = SteadyLevelDb(heard);
    // Amplitude 8000 is about -15 dB; lossy codecs keep it within a few dB.
    checks.Expect(std::fabs(hz - kToneHz) <= 20 && db > -24 && db < -9,
                  what + ": the tone is heard at its frequency and level",
                  std::to_string(hz) + " Hz, " + std::to_string(db) + " dB");
    callerAudio->StopSendAudioStream(caller.channel);
  }
  session.HangUp();
}

}  // namespace

void CheckSoundServer(Checks& checks) {
  platform::ComPtr<IMediaHandler> handler;
  HRESULT hr = CoCreateInstance(CLSID_GipsMediaHandler, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IMediaHandler, handler.ReceiveVoid());
  if (!checks.ExpectHr(hr, S_OK, "sound server: CoCreateInstance")) return;
  platform::ComPtr<IAudioControl> audio;
  handler.As(&audio);
  auto network = host::ReferenceNetwork::Create();
  LONG channel = -1;
  VARIANT_BOOL reserved = VARIANT_FALSE;
  if (!checks.Expect(
          handler->Init(network.Get()) == S_OK && audio && audio->SetAudioDevices(-1, -1) == S_OK &&
              handler->ReserveChannel(&channel, VARIANT_FALSE, nullptr, &reserved) == S_OK &&
              audio->SetSpeakerVolume(100, channel) == S_OK &&
              handler->StartPlayout(channel) == S_OK,
          "sound server: a channel plays on the default wave device"))
    return;
  auto tone = host::MemoryAudioSource::Create(MuLawTone(20, 8000));
  checks.ExpectHr(audio->StartPlayAudioStream(channel, 0, tone.Get(), 100), S_OK,
                  "sound server: a mu-law tone plays");

  // Recordings start once the tone is heard (bounded).
  const std::vector<std::int16_t> full = RecordOnceHeard(500);
  if (checks.Expect(!full.empty(), "sound server: the tone reaches the sink")) {
    const double hz = DominantFrequency(full);
    checks.Expect(std::fabs(hz - kToneHz) <= 20, "sound server: the tone is heard at 1000 Hz",
                  std::to_string(hz));
    const double fullDb = SteadyLevelDb(full);
    checks.Expect(fullDb > -20, "sound server: amplitude 8000 is heard above -20 dB",
                  std::to_string(fullDb));
    const struct {
      LONG percent;
      double lowDb;  // the level against full volume lies in [lowDb, highDb]
      double highDb;
    } steps[] = {{50, -24, -3}, {0, -200, -60}, {100, -1.5, 1.5}};
    LONG percent = -1;
    audio->SetSpeakerVolume(50, channel);
    const bool hasVolume = audio->GetSpeakerVolume(&percent, channel) == S_OK;
    if (!hasVolume)
      std::printf(
          "note sound server: the mixer offers no playback volume for the device; "
          "the speaker volume steps are skipped\n");
    for (const auto& step : steps) {
      if (!hasVolume) break;
      checks.Expect(
          audio->SetSpeakerVolume(step.percent, channel) == S_OK &&
              audio->GetSpeakerVolume(&percent, channel) == S_OK && percent == step.percent,
          "sound server: speaker volume " + std::to_string(step.percent) + "% is set on the device",
          "reads " + std::to_string(percent));
      Record(300);
      const double db = SteadyLevelDb(Record(500));
      const double relative = db <= -200 ? -200 : db - fullDb;
      checks.Expect(relative >= step.lowDb && relative <= step.highDb,
                    "sound server: speaker volume " + std::to_string(step.percent) +
                        "% changes the level heard",
                    std::to_string(relative) + " dB");
    }
  }
  audio->StopPlayAudioStream(channel);
  handler->StopPlayout(channel);
  handler->ReleaseChannel(channel);
  handler.Reset();
  audio.Reset();

  for (const char* codec : {"PCMU", "PCMA", "G722", "G729", "GSM", "AMR", "AMRWB", "IPCMWB"})
    CheckToneThroughCodec(checks, codec);
}

}  // namespace wine_tests
