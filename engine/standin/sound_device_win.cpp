// The Windows sound devices, numbered as the mixer numbers them
// (WAVE_MAPPER for -1, the wave device id otherwise), so that
// SetSoundDevices, the mixer's volume and its levels act on one device:
// WASAPI where the endpoint opens (sound_device_wasapi.cpp), else winmm
// wave-in and wave-out, whose buffers the media thread polls for WHDR_DONE
// (nothing here blocks or calls back). A machine without wave devices gets
// the null device.
#include "engine/standin/sound_device.h"

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <vector>

#include "engine/standin/sound_device_wasapi.h"

namespace standin {
namespace {

constexpr int kBuffers = 8;                // 160 ms of 20 ms buffers in flight at most
constexpr int kFramesPerSecond = 50;       // 20 ms frames
constexpr int kCaptureBacklogFrames = 10;  // what capture keeps before dropping the oldest

WAVEFORMATEX MonoFormat(int sampleRate) {
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 1;
  format.nSamplesPerSec = static_cast<DWORD>(sampleRate);
  format.wBitsPerSample = 16;
  format.nBlockAlign = 2;
  format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
  return format;
}

// The driver sets WHDR_DONE on its own thread.
bool Done(const WAVEHDR& header) {
  return (*static_cast<const volatile DWORD*>(&header.dwFlags) & WHDR_DONE) != 0;
}

struct Buffer {
  WAVEHDR header{};
  std::vector<std::int16_t> samples;
  bool queued = false;
};

class WaveOutDevice final : public SoundDevice {
 public:
  explicit WaveOutDevice(HWAVEOUT device) : device_(device) {}
  ~WaveOutDevice() override {
    waveOutReset(device_);
    for (Buffer& buffer : buffers_)
      if (buffer.header.dwFlags & WHDR_PREPARED)
        waveOutUnprepareHeader(device_, &buffer.header, sizeof buffer.header);
    waveOutClose(device_);
  }
  WaveOutDevice(const WaveOutDevice&) = delete;
  WaveOutDevice& operator=(const WaveOutDevice&) = delete;

  void Read(std::int16_t* pcm, int samples) override { std::fill(pcm, pcm + samples, 0); }

  void Write(const std::int16_t* pcm, int samples) override {
    if (samples <= 0) return;
    // One frame of silence ahead of the first, so that the next frame is
    // queued before the device runs dry.
    if (!started_) {
      started_ = true;
      const std::vector<std::int16_t> silence(static_cast<std::size_t>(samples), 0);
      Queue(silence.data(), samples);
    }
    Queue(pcm, samples);
  }

 private:
  void Queue(const std::int16_t* pcm, int samples) {
    for (Buffer& buffer : buffers_) {
      if (buffer.queued && !Done(buffer.header)) continue;
      const std::size_t count = static_cast<std::size_t>(samples);
      if (buffer.samples.size() != count) {
        if (buffer.header.dwFlags & WHDR_PREPARED)
          waveOutUnprepareHeader(device_, &buffer.header, sizeof buffer.header);
        buffer.samples.assign(count, 0);
        buffer.header = WAVEHDR{};
        buffer.header.lpData = reinterpret_cast<LPSTR>(buffer.samples.data());
        buffer.header.dwBufferLength = static_cast<DWORD>(count * sizeof(std::int16_t));
        if (waveOutPrepareHeader(device_, &buffer.header, sizeof buffer.header) != MMSYSERR_NOERROR)
          return;
      }
      std::memcpy(buffer.samples.data(), pcm, count * sizeof(std::int16_t));
      buffer.header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
      buffer.queued =
          waveOutWrite(device_, &buffer.header, sizeof buffer.header) == MMSYSERR_NOERROR;
      return;
    }
    // Every buffer is still playing: the frame is dropped.
  }

  HWAVEOUT device_;
  std::array<Buffer, kBuffers> buffers_;
  bool started_ = false;
};

class WaveInDevice final : public SoundDevice {
 public:
  WaveInDevice(HWAVEIN device, int frameSamples) : device_(device), frameSamples_(frameSamples) {}
  ~WaveInDevice() override {
    waveInReset(device_);
    for (Buffer& buffer : buffers_)
      if (buffer.header.dwFlags & WHDR_PREPARED)
        waveInUnprepareHeader(device_, &buffer.header, sizeof buffer.header);
    waveInClose(device_);
  }
  WaveInDevice(const WaveInDevice&) = delete;
  WaveInDevice& operator=(const WaveInDevice&) = delete;

  bool Start() {
    for (Buffer& buffer : buffers_) {
      buffer.samples.assign(static_cast<std::size_t>(frameSamples_), 0);
      buffer.header.lpData = reinterpret_cast<LPSTR>(buffer.samples.data());
      buffer.header.dwBufferLength = static_cast<DWORD>(frameSamples_ * sizeof(std::int16_t));
      if (waveInPrepareHeader(device_, &buffer.header, sizeof buffer.header) != MMSYSERR_NOERROR ||
          waveInAddBuffer(device_, &buffer.header, sizeof buffer.header) != MMSYSERR_NOERROR)
        return false;
    }
    return waveInStart(device_) == MMSYSERR_NOERROR;
  }

  // Takes the filled buffers in the order they were queued, gives them back
  // to the device, and answers from what was recorded.
  void Read(std::int16_t* pcm, int samples) override {
    for (int taken = 0; taken < kBuffers; ++taken) {
      Buffer& buffer = buffers_[next_];
      if (!Done(buffer.header)) break;
      const std::int16_t* data = buffer.samples.data();
      recorded_.insert(recorded_.end(), data, data + buffer.header.dwBytesRecorded / 2);
      buffer.header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
      buffer.header.dwBytesRecorded = 0;
      waveInAddBuffer(device_, &buffer.header, sizeof buffer.header);
      next_ = (next_ + 1) % kBuffers;
    }
    const std::size_t backlog = static_cast<std::size_t>(frameSamples_) * kCaptureBacklogFrames;
    if (recorded_.size() > backlog) recorded_.erase(recorded_.begin(), recorded_.end() - backlog);
    const std::size_t got = std::min(recorded_.size(), static_cast<std::size_t>(samples));
    std::copy_n(recorded_.begin(), got, pcm);
    recorded_.erase(recorded_.begin(), recorded_.begin() + static_cast<std::ptrdiff_t>(got));
    std::fill(pcm + got, pcm + samples, 0);
  }

  void Write(const std::int16_t*, int) override {}

 private:
  HWAVEIN device_;
  int frameSamples_;
  std::array<Buffer, kBuffers> buffers_;
  int next_ = 0;
  std::deque<std::int16_t> recorded_;
};

}  // namespace

std::unique_ptr<SoundDevice> OpenSoundDevice(SoundDirection direction, int id, int sampleRate) {
  if (id == kNullDevice) return OpenNullSoundDevice();
  const bool capture = direction == SoundDirection::kCapture;
  const UINT count = capture ? waveInGetNumDevs() : waveOutGetNumDevs();
  // Without any wave device every number is the null device.
  if (count == 0) return OpenNullSoundDevice();
  if (id < -1 || id >= static_cast<int>(count) || sampleRate < 8000) return nullptr;
  const UINT device = id == -1 ? WAVE_MAPPER : static_cast<UINT>(id);
  if (std::unique_ptr<SoundDevice> wasapi = OpenWasapiDevice(direction, device, sampleRate))
    return wasapi;
  const WAVEFORMATEX format = MonoFormat(sampleRate);
  if (capture) {
    HWAVEIN in = nullptr;
    if (waveInOpen(&in, device, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return nullptr;
    auto opened = std::make_unique<WaveInDevice>(in, sampleRate / kFramesPerSecond);
    if (!opened->Start()) return nullptr;
    return opened;
  }
  HWAVEOUT out = nullptr;
  if (waveOutOpen(&out, device, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return nullptr;
  return std::make_unique<WaveOutDevice>(out);
}

}  // namespace standin
